#include "signature/Evaluation.h"

#include "signature/Algorithms.h"

#include <cstring>
#include <memory>
#include <new>

namespace tolv::signature {
namespace {

// Key sizes below which a signature proves nothing.
constexpr unsigned kMinRsaBits = 1024;
constexpr unsigned kMinEcBits = 256;

// The certificates of KeyInfo, decoded, and which of them is the signer's.
struct Certificates {
    std::vector<Bytes> der;
    std::vector<std::optional<CertificateInfo>> infos;
    std::size_t signer = 0;
};

std::size_t ChooseSigner(const std::vector<std::optional<CertificateInfo>>& infos) {
    // The signer's certificate is the one that issued none of the others.
    for (std::size_t i = 0; i < infos.size(); ++i) {
        if (!infos[i])
            continue;
        bool issuer = false;
        for (std::size_t j = 0; j < infos.size(); ++j)
            if (j != i && infos[j] && infos[j]->issuerName == infos[i]->subjectName)
                issuer = true;
        if (!issuer)
            return i;
    }
    return 0;
}

Certificates ReadCertificates(const std::vector<std::string>& texts) {
    Certificates result;
    for (const std::string& text : texts) {
        auto der = DecodeBase64(text);
        result.der.push_back(der ? std::move(*der) : Bytes());
        result.infos.push_back(der ? ReadCertificate(result.der.back()) : std::nullopt);
    }
    result.signer = ChooseSigner(result.infos);
    return result;
}

class Evaluation {
public:
    explicit Evaluation(const ReadFacts& facts)
        : facts_(facts), signedInfo_(facts.signature.SignedInfo()),
          certificates_(ReadCertificates(facts.signature.Certificates())) {}

    SignatureReport Run() {
        DescribeAlgorithms();
        DescribeSigner();
        DescribeSigningTime();
        // First whatever makes the check impossible, then a definite mismatch.
        if (CannotCheckStructure() || CannotCheckSigner() || CannotCompareSigningCertificate() ||
            KeyTooShort() || CannotVerify() || Mismatch())
            return report_;
        report_.status = Status::Intact;
        report_.cause = UnknownCause::None;
        return report_;
    }

private:
    // Each of these answers and returns true.
    bool Unknown(std::string reason, UnknownCause cause = UnknownCause::Structure,
                 std::string_view name = {}) {
        report_.status = Status::Unknown;
        report_.reason = std::move(reason);
        report_.cause = cause;
        report_.causeName = ShortName(name);
        return true;
    }
    bool UnknownMethod(const std::string& what, const std::string& name) {
        return Unknown(what + ": " + name, UnknownCause::Method, name);
    }
    bool Altered(std::string reason, SignatureReport::Mismatch mismatch) {
        report_.status = Status::Altered;
        report_.reason = std::move(reason);
        report_.mismatch = mismatch;
        return true;
    }

    void DescribeAlgorithms();
    void DescribeSigner();
    void DescribeSigningTime();
    bool CannotCheckStructure();
    bool CannotCheckSigner();
    bool CannotCompareSigningCertificate();
    bool KeyTooShort();
    bool CannotVerify();
    bool Mismatch();
    bool PayloadCovered() const;

    const ReadFacts& facts_;
    const SignedInfoReader& signedInfo_;
    SignatureReport report_;
    std::optional<C14nAlgorithm> c14n_;
    std::optional<SignatureAlgorithm> method_;
    Certificates certificates_;
    Bytes value_;
    std::string canonical_; // SignedInfo as signed
    bool certificateListed_ = false;
    VerifyOutcome outcome_;
};

// What can be told whatever the outcome.
void Evaluation::DescribeAlgorithms() {
    c14n_ = C14nFromUri(signedInfo_.CanonicalizationMethod());
    method_ = SignatureFromUri(signedInfo_.SignatureMethod());
    if (c14n_)
        report_.canonicalization = C14nName(*c14n_);
    if (method_) {
        report_.signatureMethod = SignatureName(*method_);
        report_.usesSha1 = method_->hash == HashAlgorithm::Sha1;
    }
    for (const Reference& ref : signedInfo_.References()) {
        const auto hash = DigestFromUri(ref.digestMethod);
        if (!hash)
            continue;
        report_.usesSha1 = report_.usesSha1 || *hash == HashAlgorithm::Sha1;
        const std::string name = HashName(*hash);
        if (("," + report_.digestMethods + ",").find("," + name + ",") == std::string::npos)
            report_.digestMethods += (report_.digestMethods.empty() ? "" : ",") + name;
    }
}

void Evaluation::DescribeSigner() {
    const std::size_t signer = certificates_.signer;
    if (certificates_.infos.empty() || !certificates_.infos[signer])
        return;
    const CertificateInfo& info = *certificates_.infos[signer];
    report_.signer = info.subject;
    report_.issuer = info.issuer;
    report_.notBefore = info.notBefore;
    report_.notAfter = info.notAfter;
    std::vector<Bytes> others;
    for (std::size_t i = 0; i < certificates_.der.size(); ++i)
        if (i != signer && certificates_.infos[i])
            others.push_back(certificates_.der[i]);
    report_.trusted = ChainIsTrusted(certificates_.der[signer], others);
    report_.key = KeyName(info);
    report_.keyBits = info.keyBits;
    report_.rsaKey = IsRsaKey(info);
    report_.signerCertificate = certificates_.der[signer];
    report_.otherCertificates = std::move(others);
}

void Evaluation::DescribeSigningTime() {
    const std::string* written = facts_.signature.SigningTime();
    if (written == nullptr)
        return;
    std::string_view text = *written;
    while (!text.empty() && std::strchr(" \t\r\n", text.front()) != nullptr)
        text.remove_prefix(1);
    while (!text.empty() && std::strchr(" \t\r\n", text.back()) != nullptr)
        text.remove_suffix(1);
    report_.signingTimeText = text;
    report_.signingTime = ParseDateTime(text);
}

bool Evaluation::CannotCheckStructure() {
    if (facts_.signature.Ordinal() == 0)
        return Unknown("raporda imza yok", UnknownCause::NoSignature);
    const Obstacle& obstacle = facts_.obstacle;
    if (obstacle.Found())
        return Unknown(obstacle.Reason(), obstacle.Cause(), obstacle.Name());
    if (!signedInfo_.Seen())
        return Unknown("imzada SignedInfo yok");
    if (!c14n_)
        return UnknownMethod("desteklenmeyen kurallı biçimleme algoritması",
                             signedInfo_.CanonicalizationMethod());
    if (!method_)
        return UnknownMethod("desteklenmeyen imza algoritması", signedInfo_.SignatureMethod());
    const std::vector<Reference>& references = signedInfo_.References();
    for (const Reference& ref : references)
        if (!ref.wholeDocument && facts_.document.Repeated(ref.id))
            return Unknown("başvurulan kimlik (Id) birden çok öğede var: " + ref.uri);
    for (std::size_t i = 0; i < references.size(); ++i)
        if (!facts_.digests.Digest(i).actual)
            return Unknown("başvurulan öğe raporda yok: " + references[i].uri);
    return false;
}

bool Evaluation::CannotCheckSigner() {
    if (certificates_.der.empty())
        return Unknown("imzada imzalayanın sertifikası yok", UnknownCause::NoCertificate);
    if (!certificates_.infos[certificates_.signer])
        return Unknown("imzalayanın sertifikası okunamadı", UnknownCause::NoCertificate);
    const auto value = DecodeBase64(facts_.signature.SignatureValue());
    if (!value || value->empty())
        return Unknown("imza değeri geçerli Base64 değil");
    value_ = *value;
    try {
        // Never nullopt here: the canonicalization method is known.
        canonical_ = signedInfo_.Canonical().value_or(std::string());
    } catch (const Unsupported& e) {
        return UnknownMethod("desteklenmeyen kurallı biçimleme", e.what());
    }
    return false;
}

// Signing-certificate digests count only where a reference signs them; with
// none counted, any certificate is the one named.
bool Evaluation::CannotCompareSigningCertificate() {
    const std::vector<Reference>& references = signedInfo_.References();
    std::vector<const CertDigest*> signedDigests;
    for (const CertDigest& entry : facts_.signature.CertDigests())
        for (std::size_t i = 0; i < references.size(); ++i) {
            const ReferenceDigest& digest = facts_.digests.Digest(i);
            if (references[i].wholeDocument ||
                (digest.firstOrdinal <= entry.ordinal && entry.ordinal <= digest.lastOrdinal)) {
                signedDigests.push_back(&entry);
                break;
            }
        }
    certificateListed_ = signedDigests.empty();
    const Bytes& certificate = certificates_.der[certificates_.signer];
    for (const CertDigest* entry : signedDigests) {
        const auto hash = DigestFromUri(entry->method);
        if (!hash)
            return UnknownMethod("desteklenmeyen özet algoritması", entry->method);
        const auto expected = DecodeBase64(entry->value);
        if (!expected)
            return Unknown("imzalayan sertifikasının özeti geçerli Base64 değil");
        std::unique_ptr<Hasher> hasher;
        try {
            hasher = NewHasher(*hash);
        } catch (const std::bad_alloc&) {
            throw;
        } catch (const std::exception&) {
            return Unknown(std::string("bu sistem ") + HashName(*hash) + " özetini hesaplayamıyor",
                           UnknownCause::Method, HashName(*hash));
        }
        hasher->Update(certificate.data(), certificate.size());
        certificateListed_ = certificateListed_ || hasher->Finish() == *expected;
    }
    return false;
}

// A key this short can be broken by anyone who cares to: its signature says
// nothing of who made it.
bool Evaluation::KeyTooShort() {
    const CertificateInfo& key = *certificates_.infos[certificates_.signer];
    const unsigned minimum = IsRsaKey(key) ? kMinRsaBits : kMinEcBits;
    if (report_.key.empty() || key.keyBits >= minimum)
        return false;
    const std::string kind = IsRsaKey(key) ? "RSA" : "EC";
    return Unknown("imzalayanın anahtarı çok kısa: " + std::to_string(key.keyBits) + " bitlik " +
                       kind + " (en az " + std::to_string(minimum) + " bit)",
                   UnknownCause::Method,
                   std::to_string(key.keyBits) + " bitlik " + kind + " anahtarı");
}

bool Evaluation::CannotVerify() {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(canonical_.data());
    outcome_ = VerifySignature(certificates_.der[certificates_.signer], *method_,
                               {bytes, canonical_.size()}, value_);
    if (outcome_.kind != VerifyOutcome::Kind::Unusable)
        return false;
    return Unknown(outcome_.reason, UnknownCause::Method,
                   report_.key.empty() ? report_.signatureMethod : report_.key);
}

bool Evaluation::Mismatch() {
    if (outcome_.kind == VerifyOutcome::Kind::Invalid)
        return Altered("imza değeri imzalanan bilgilerle uyuşmuyor",
                       SignatureReport::Mismatch::SignatureValue);
    const std::vector<Reference>& references = signedInfo_.References();
    for (std::size_t i = 0; i < references.size(); ++i)
        if (*facts_.digests.Digest(i).actual != references[i].expected)
            return Altered("imzalanan içerik değiştirilmiş (başvuru " +
                               (references[i].uri.empty() ? std::string("\"\" (belgenin tümü)")
                                                          : references[i].uri) +
                               ")",
                           SignatureReport::Mismatch::Digest);
    if (!certificateListed_)
        return Altered("imzalayanın sertifikası, imzalı özelliklerde adı geçen sertifika değil",
                       SignatureReport::Mismatch::SigningCertificate);
    if (facts_.payload != 0 && !PayloadCovered())
        return Altered("gösterilen içerik imzalanan içerik değil: PDF'yi taşıyan öğe imzanın "
                       "kapsamında değil",
                       SignatureReport::Mismatch::NotCovered);
    return false;
}

// Whether a reference digested the element that carries the PDF, as the
// viewer decodes it.
bool Evaluation::PayloadCovered() const {
    const std::uint64_t payload = facts_.payload;
    const std::vector<Reference>& references = signedInfo_.References();
    for (std::size_t i = 0; i < references.size(); ++i) {
        const ReferenceDigest& digest = facts_.digests.Digest(i);
        const bool inside = references[i].wholeDocument ||
                            (digest.firstOrdinal <= payload && payload <= digest.lastOrdinal);
        const bool excluded = digest.excludedFirst != 0 && digest.excludedFirst <= payload &&
                              payload <= digest.excludedLast;
        if (inside && !excluded && digest.decodesAsShown)
            return true;
    }
    return false;
}

} // namespace

SignatureReport Evaluate(const ReadFacts& facts) {
    return Evaluation(facts).Run();
}

} // namespace tolv::signature
