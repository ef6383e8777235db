// OCSP responses and CRLs through crypt32's decoders and signature checks.
// Where this system's crypt32 cannot do a step (Wine lacks some), that
// answer does not count, and its reason names the call.

#include "validation/Crypt32_win.h"
#include "validation/RevocationAnswer.h"

#include "validation/ChainOutcome.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <utility>

namespace tolv::validation {
namespace {

using detail::NotCounted;
using detail::RevocationAnswer;
using detail::UniqueCertificate;
using detail::UniqueLocal;
using UniqueCrl = detail::Unique<PCCRL_CONTEXT, CertFreeCRLContext>;

std::string Hex(DWORD value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(value));
    return text;
}

std::int64_t Seconds(const FILETIME& time) {
    const std::uint64_t ticks =
        (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    return static_cast<std::int64_t>(ticks / 10000000) - 11644473600LL;
}

// The structure type decodes blob into, owned by memory; null on failure, with
// GetLastError's code kept.
template <class T> const T* Decode(LPCSTR type, const CRYPT_DATA_BLOB& blob, UniqueLocal& memory) {
    void* decoded = nullptr;
    DWORD size = 0;
    if (!CryptDecodeObjectEx(X509_ASN_ENCODING, type, blob.pbData, blob.cbData,
                             CRYPT_DECODE_ALLOC_FLAG | CRYPT_DECODE_NOCOPY_FLAG, nullptr, &decoded,
                             &size))
        return nullptr;
    memory.reset(decoded);
    return static_cast<const T*>(decoded);
}

// Why a response could not be decoded. Past its outer envelope, which any
// crypt32 with OCSP support reads, that is this system's doing as likely as the
// response's: Wine 8 fails on every basic response that carries certificates.
RevocationAnswer Undecodable(const char* type, bool outer) {
    const DWORD error = GetLastError();
    const std::string call =
        " (CryptDecodeObjectEx " + std::string(type) + ", hata " + Hex(error) + ")";
    if (outer && error != ERROR_FILE_NOT_FOUND)
        return NotCounted("okunamadı" + call);
    return NotCounted("bu sistem OCSP yanıtını okuyamıyor" + call);
}

std::string Quoted(PCCERT_CONTEXT certificate) {
    const Bytes der(certificate->pbCertEncoded,
                    certificate->pbCertEncoded + certificate->cbCertEncoded);
    return "“" + detail::NameOf(der) + "”";
}

Bytes Hash(LPCWSTR algorithm, const BYTE* data, DWORD size) {
    BYTE hash[64];
    DWORD length = sizeof hash;
    if (!CryptHashCertificate2(algorithm, 0, nullptr, data, size, hash, &length))
        return {};
    return Bytes(hash, hash + length);
}

bool Equal(const Bytes& bytes, const CRYPT_DATA_BLOB& blob) {
    return !bytes.empty() && bytes.size() == blob.cbData &&
           std::memcmp(bytes.data(), blob.pbData, blob.cbData) == 0;
}

// CNG's name of a CertID's hash; null for one it does not know.
LPCWSTR HashName(const char* oid) {
    static const std::pair<const char*, LPCWSTR> kNames[] = {
        {szOID_OIWSEC_sha1, L"SHA1"},
        {szOID_NIST_sha256, L"SHA256"},
        {szOID_NIST_sha384, L"SHA384"},
        {szOID_NIST_sha512, L"SHA512"},
    };
    for (const auto& [id, name] : kNames)
        if (oid && std::strcmp(oid, id) == 0)
            return name;
    return nullptr;
}

bool Names(const OCSP_BASIC_RESPONSE_ENTRY& entry, PCCERT_CONTEXT certificate,
           PCCERT_CONTEXT issuer) {
    const LPCWSTR hash = HashName(entry.CertId.HashAlgorithm.pszObjId);
    const CERT_INFO& info = *issuer->pCertInfo;
    return hash &&
           CertCompareIntegerBlob(const_cast<CRYPT_INTEGER_BLOB*>(&entry.CertId.SerialNumber),
                                  &certificate->pCertInfo->SerialNumber) &&
           Equal(Hash(hash, info.Subject.pbData, info.Subject.cbData),
                 entry.CertId.IssuerNameHash) &&
           Equal(Hash(hash, info.SubjectPublicKeyInfo.PublicKey.pbData,
                      info.SubjectPublicKeyInfo.PublicKey.cbData),
                 entry.CertId.IssuerKeyHash);
}

bool IsResponder(const OCSP_BASIC_RESPONSE_INFO& basic, PCCERT_CONTEXT candidate) {
    CERT_INFO& info = *candidate->pCertInfo;
    if (basic.dwResponderIdChoice == OCSP_BASIC_BY_NAME_RESPONDER_ID)
        return CertCompareCertificateName(X509_ASN_ENCODING, &info.Subject,
                                          const_cast<CERT_NAME_BLOB*>(&basic.ByNameResponderId));
    const CRYPT_BIT_BLOB& key = info.SubjectPublicKeyInfo.PublicKey;
    return basic.dwResponderIdChoice == OCSP_BASIC_BY_KEY_RESPONDER_ID &&
           Equal(Hash(L"SHA1", key.pbData, key.cbData), basic.ByKeyResponderId);
}

bool SignedBy(DWORD subjectType, const void* subject, PCCERT_CONTEXT signer) {
    return CryptVerifyCertificateSignatureEx(
        0, X509_ASN_ENCODING, subjectType, const_cast<void*>(subject),
        CRYPT_VERIFY_CERT_SIGN_ISSUER_CERT, const_cast<CERT_CONTEXT*>(signer), 0, nullptr);
}

// The basic response's ToBeSigned with its signature, as the signed blob
// CryptVerifyCertificateSignatureEx takes; empty when it cannot be made.
Bytes SignedBlob(const OCSP_BASIC_SIGNED_RESPONSE_INFO& signed_) {
    CERT_SIGNED_CONTENT_INFO content{};
    content.ToBeSigned = signed_.ToBeSigned;
    content.SignatureAlgorithm = signed_.SignatureInfo.SignatureAlgorithm;
    content.Signature = signed_.SignatureInfo.Signature;
    constexpr DWORD kAsItIs = CRYPT_ENCODE_NO_SIGNATURE_BYTE_REVERSAL_FLAG;
    DWORD size = 0;
    if (!CryptEncodeObjectEx(X509_ASN_ENCODING, X509_CERT, &content, kAsItIs, nullptr, nullptr,
                             &size))
        return {};
    Bytes blob(size);
    if (!CryptEncodeObjectEx(X509_ASN_ENCODING, X509_CERT, &content, kAsItIs, nullptr, blob.data(),
                             &size))
        return {};
    blob.resize(size);
    return blob;
}

// Why signer may not speak for issuer; empty when it may: the issuer itself, or
// a certificate the issuer signed for OCSP signing.
std::string Unauthorized(PCCERT_CONTEXT signer, PCCERT_CONTEXT issuer) {
    // Byte for byte: a certificate of the issuer's name and serial is not yet the issuer's.
    if (signer->cbCertEncoded == issuer->cbCertEncoded &&
        std::memcmp(signer->pbCertEncoded, issuer->pbCertEncoded, issuer->cbCertEncoded) == 0)
        return {};
    if (!CertCompareCertificateName(X509_ASN_ENCODING, &signer->pCertInfo->Issuer,
                                    &issuer->pCertInfo->Subject) ||
        !SignedBy(CRYPT_VERIFY_CERT_SIGN_SUBJECT_CERT, signer, issuer))
        return "yanıtı imzalayan " + Quoted(signer) +
               " sertifikasını, denetlenen sertifikayı düzenleyen düzenlememiş";
    DWORD size = 0;
    if (CertGetEnhancedKeyUsage(signer, CERT_FIND_EXT_ONLY_ENHKEY_USAGE_FLAG, nullptr, &size)) {
        Bytes buffer(size);
        auto* usage = reinterpret_cast<CERT_ENHKEY_USAGE*>(buffer.data());
        if (CertGetEnhancedKeyUsage(signer, CERT_FIND_EXT_ONLY_ENHKEY_USAGE_FLAG, usage, &size))
            for (DWORD i = 0; i < usage->cUsageIdentifier; ++i)
                if (std::strcmp(usage->rgpszUsageIdentifier[i], szOID_PKIX_KP_OCSP_SIGNING) == 0)
                    return {};
    }
    return "yanıtı imzalayan " + Quoted(signer) + " OCSP imzalama yetkisi taşımıyor";
}

struct Signer {
    UniqueCertificate certificate;
    bool signatureFailed = false; // a candidate named by the responder id did not verify
};

// The certificate that signed the response: the issuer, one inside the
// response, or one of others, named by the responder id.
Signer FindSigner(const OCSP_BASIC_SIGNED_RESPONSE_INFO& signed_,
                  const OCSP_BASIC_RESPONSE_INFO& basic, PCCERT_CONTEXT issuer,
                  const std::vector<Bytes>& others) {
    std::vector<UniqueCertificate> candidates;
    candidates.emplace_back(CertDuplicateCertificateContext(issuer));
    const OCSP_SIGNATURE_INFO& signature = signed_.SignatureInfo;
    for (DWORD i = 0; i < signature.cCertEncoded; ++i)
        candidates.push_back(detail::ParseCertificate(
            Bytes(signature.rgCertEncoded[i].pbData,
                  signature.rgCertEncoded[i].pbData + signature.rgCertEncoded[i].cbData)));
    for (const Bytes& other : others)
        candidates.push_back(detail::ParseCertificate(other));
    const Bytes blob = SignedBlob(signed_);
    Signer found;
    for (UniqueCertificate& candidate : candidates) {
        if (!candidate || !IsResponder(basic, candidate.get()))
            continue;
        CRYPT_DATA_BLOB subject{static_cast<DWORD>(blob.size()), const_cast<BYTE*>(blob.data())};
        if (!blob.empty() &&
            SignedBy(CRYPT_VERIFY_CERT_SIGN_SUBJECT_BLOB, &subject, candidate.get())) {
            found.certificate = std::move(candidate);
            return found;
        }
        found.signatureFailed = true;
    }
    return found;
}

// An absent nextUpdate decodes as a zero FILETIME.
std::int64_t NextUpdate(const FILETIME& time) {
    return time.dwLowDateTime == 0 && time.dwHighDateTime == 0 ? 0 : Seconds(time);
}

RevocationAnswer ReadOcsp(const Bytes& der, PCCERT_CONTEXT certificate, PCCERT_CONTEXT issuer,
                          const std::vector<Bytes>& others, std::int64_t notBefore) {
    UniqueLocal responseMemory, signedMemory, basicMemory;
    const CRYPT_DATA_BLOB whole{static_cast<DWORD>(der.size()), const_cast<BYTE*>(der.data())};
    const auto* response = Decode<OCSP_RESPONSE_INFO>(OCSP_RESPONSE, whole, responseMemory);
    if (!response)
        return Undecodable("OCSP_RESPONSE", true);
    if (response->dwStatus != OCSP_SUCCESSFUL_RESPONSE)
        return NotCounted("yanıt başarılı değil (durum " + std::to_string(response->dwStatus) +
                          ")");
    if (!response->pszObjId ||
        std::strcmp(response->pszObjId, szOID_PKIX_OCSP_BASIC_SIGNED_RESPONSE) != 0)
        return NotCounted("temel OCSP yanıtı değil");
    const auto* signed_ = Decode<OCSP_BASIC_SIGNED_RESPONSE_INFO>(OCSP_BASIC_SIGNED_RESPONSE,
                                                                  response->Value, signedMemory);
    if (!signed_)
        return Undecodable("OCSP_BASIC_SIGNED_RESPONSE", false);
    const auto* basic =
        Decode<OCSP_BASIC_RESPONSE_INFO>(OCSP_BASIC_RESPONSE, signed_->ToBeSigned, basicMemory);
    if (!basic)
        return Undecodable("OCSP_BASIC_RESPONSE", false);

    const Signer signer = FindSigner(*signed_, *basic, issuer, others);
    if (!signer.certificate)
        return NotCounted(signer.signatureFailed
                              ? "imzası doğrulanmıyor (CryptVerifyCertificateSignatureEx, hata " +
                                    Hex(GetLastError()) + ")"
                              : "yanıtı imzalayanın sertifikası bulunamadı");
    if (std::string why = Unauthorized(signer.certificate.get(), issuer); !why.empty())
        return NotCounted(std::move(why));

    for (DWORD i = 0; i < basic->cResponseEntry; ++i) {
        const OCSP_BASIC_RESPONSE_ENTRY& entry = basic->rgResponseEntry[i];
        if (!Names(entry, certificate, issuer))
            continue;
        // The status as known at ThisUpdate: a responder may sign a status
        // it cached before the signature, and that says nothing of it.
        if (Seconds(basic->ProducedAt) < notBefore || Seconds(entry.ThisUpdate) < notBefore)
            return NotCounted("imza zamanından önce üretilmiş");
        const std::int64_t next = NextUpdate(entry.NextUpdate);
        if (entry.dwCertStatus == OCSP_BASIC_GOOD_CERT_STATUS)
            return {RevocationAnswer::Says::Good, 0, {}, next};
        if (entry.dwCertStatus == OCSP_BASIC_REVOKED_CERT_STATUS && entry.pRevokedInfo)
            return {RevocationAnswer::Says::Revoked, Seconds(entry.pRevokedInfo->RevocationDate),
                    {}, next};
        return NotCounted("yanıtı veren sertifikanın durumunu bilmiyor");
    }
    return NotCounted("bu sertifika için değil");
}

RevocationAnswer ReadCrl(const Bytes& der, PCCERT_CONTEXT certificate, PCCERT_CONTEXT issuer,
                         std::int64_t notBefore) {
    const UniqueCrl crl(
        CertCreateCRLContext(X509_ASN_ENCODING, der.data(), static_cast<DWORD>(der.size())));
    if (!crl)
        return NotCounted("okunamadı");
    if (!CertCompareCertificateName(X509_ASN_ENCODING, &crl.get()->pCrlInfo->Issuer,
                                    &issuer->pCertInfo->Subject))
        return NotCounted("sertifikayı düzenleyenin listesi değil");
    if (!SignedBy(CRYPT_VERIFY_CERT_SIGN_SUBJECT_CRL, crl.get(), issuer))
        return NotCounted("imzası sertifikayı düzenleyenin anahtarıyla doğrulanmıyor");
    // Only a complete list speaks for every certificate of its issuer: a delta
    // list or a partition (issuing distribution point), each marked critical,
    // or any other critical extension, may leave the certificate out.
    const CRL_INFO& info = *crl.get()->pCrlInfo;
    for (DWORD i = 0; i < info.cExtension; ++i)
        if (info.rgExtension[i].fCritical)
            return NotCounted("tam bir iptal listesi değil (kritik uzantısı var)");
    if (Seconds(crl.get()->pCrlInfo->ThisUpdate) < notBefore)
        return NotCounted("imza zamanından önce yayımlanmış");
    PCRL_ENTRY entry = nullptr;
    if (!CertFindCertificateInCRL(certificate, crl.get(), 0, nullptr, &entry))
        return NotCounted("sertifika listede aranamadı (CertFindCertificateInCRL, hata " +
                          Hex(GetLastError()) + ")");
    const std::int64_t next = NextUpdate(crl.get()->pCrlInfo->NextUpdate);
    if (entry)
        return {RevocationAnswer::Says::Revoked, Seconds(entry->RevocationDate), {}, next};
    return {RevocationAnswer::Says::Good, 0, {}, next};
}

} // namespace

RevocationFacts CheckRevocation(const Bytes& certificate, const Bytes& issuer,
                                const RevocationData& data, const std::vector<Bytes>& others,
                                std::int64_t bestSignatureTime) {
    const UniqueCertificate subject = detail::ParseCertificate(certificate);
    const UniqueCertificate authority = detail::ParseCertificate(issuer);
    std::vector<RevocationAnswer> ocsp, crl;
    for (const Bytes& der : data.ocspResponses)
        ocsp.push_back(subject && authority ? ReadOcsp(der, subject.get(), authority.get(), others,
                                                       bestSignatureTime)
                                            : NotCounted("sertifika ya da düzenleyeni okunamadı"));
    for (const Bytes& der : data.crls)
        crl.push_back(subject && authority
                          ? ReadCrl(der, subject.get(), authority.get(), bestSignatureTime)
                          : NotCounted("sertifika ya da düzenleyeni okunamadı"));
    return detail::Combine(ocsp, crl);
}

} // namespace tolv::validation
