// The signature check's crypto through OpenSSL 3's libcrypto (EVP API only),
// the same on every edition.

#include "signature/Crypto.h"
#include "signature/OpenSsl.h"
#include "signature/SystemRoots.h"

#include <openssl/asn1.h>
#include <openssl/bio.h>
#include <openssl/core_names.h>
#include <openssl/ec.h>
#include <openssl/evp.h>
#include <openssl/objects.h>
#include <openssl/rsa.h>
#include <openssl/x509.h>
#include <openssl/x509_vfy.h>

#include <array>
#include <stdexcept>
#include <string>
#include <string_view>

namespace tolv::signature {
namespace {

using namespace openssl;
using UniqueMdCtx = Owner<EVP_MD_CTX, EVP_MD_CTX_free>;
using UniquePkeyCtx = Owner<EVP_PKEY_CTX, EVP_PKEY_CTX_free>;
using UniqueEcdsaSig = Owner<ECDSA_SIG, ECDSA_SIG_free>;
using UniqueBignum = Owner<BIGNUM, BN_free>;

// Fetched once: OpenSSL 3 otherwise looks a digest up again, under its lock,
// each time one starts, which threads checking reports side by side queue on.
const EVP_MD* Digest(HashAlgorithm algorithm) {
    static const auto digests = [] {
        constexpr const char* kNames[] = {"SHA1", "SHA224", "SHA256", "SHA384", "SHA512"};
        std::array<const EVP_MD*, 5> fetched{};
        for (std::size_t i = 0; i < fetched.size(); ++i)
            fetched[i] = EVP_MD_fetch(nullptr, kNames[i], nullptr);
        return fetched;
    }();
    static_assert(static_cast<int>(HashAlgorithm::Sha512) == 4);
    return digests[static_cast<std::size_t>(algorithm)];
}

class OpenSslHasher final : public Hasher {
public:
    explicit OpenSslHasher(HashAlgorithm algorithm) : context_(EVP_MD_CTX_new()) {
        if (!context_ || EVP_DigestInit_ex(context_.get(), Digest(algorithm), nullptr) != 1)
            throw std::runtime_error("OpenSSL cannot start a digest");
    }
    void Update(const void* data, std::size_t size) override {
        EVP_DigestUpdate(context_.get(), data, size);
    }
    Bytes Finish() override {
        Bytes digest(EVP_MAX_MD_SIZE);
        unsigned length = 0;
        EVP_DigestFinal_ex(context_.get(), digest.data(), &length);
        digest.resize(length);
        return digest;
    }

private:
    UniqueMdCtx context_;
};

// The CN when the name has one, else the whole name as RFC 2253 text, in UTF-8.
std::string NameText(const X509_NAME* name) {
    const int index = X509_NAME_get_index_by_NID(name, NID_commonName, -1);
    if (index >= 0) {
        unsigned char* text = nullptr;
        const int length =
            ASN1_STRING_to_UTF8(&text, X509_NAME_ENTRY_get_data(X509_NAME_get_entry(name, index)));
        UniqueText owner(text);
        if (length >= 0)
            return std::string(reinterpret_cast<const char*>(text), length);
    }
    UniqueBio bio(BIO_new(BIO_s_mem()));
    const unsigned long flags =
        (XN_FLAG_RFC2253 | ASN1_STRFLGS_UTF8_CONVERT) & ~ASN1_STRFLGS_ESC_MSB;
    if (!bio || X509_NAME_print_ex(bio.get(), name, 0, flags) < 0)
        return {};
    char* data = nullptr;
    const long length = BIO_get_mem_data(bio.get(), &data);
    return std::string(data, length > 0 ? length : 0);
}

// One attribute of a name, in UTF-8; empty when the name has none.
std::string Attribute(const X509_NAME* name, int nid) {
    const int index = X509_NAME_get_index_by_NID(name, nid, -1);
    if (index < 0)
        return {};
    unsigned char* text = nullptr;
    const int length =
        ASN1_STRING_to_UTF8(&text, X509_NAME_ENTRY_get_data(X509_NAME_get_entry(name, index)));
    UniqueText owner(text);
    return length > 0 ? std::string(reinterpret_cast<const char*>(text), length) : std::string();
}

std::string SerialText(const X509* certificate) {
    BIGNUM* number = ASN1_INTEGER_to_BN(X509_get0_serialNumber(certificate), nullptr);
    char* hex = number != nullptr ? BN_bn2hex(number) : nullptr;
    BN_free(number);
    UniqueText owner(reinterpret_cast<unsigned char*>(hex));
    return hex != nullptr ? std::string(hex) : std::string();
}

Bytes NameDer(const X509_NAME* name) {
    unsigned char* der = nullptr;
    const int length = i2d_X509_NAME(name, &der);
    UniqueText owner(der);
    return length > 0 ? Bytes(der, der + length) : Bytes{};
}

// "EC P-256"..., "RSA", or the key algorithm's OID; taken from the certificate's
// SubjectPublicKeyInfo, so that a key that does not decode still has a type.
std::string KeyType(const X509* certificate) {
    const ASN1_OBJECT* algorithm = nullptr;
    const void* parameter = nullptr;
    int parameterType = 0;
    X509_ALGOR* algor = nullptr;
    X509_PUBKEY_get0_param(nullptr, nullptr, nullptr, &algor, X509_get_X509_PUBKEY(certificate));
    X509_ALGOR_get0(&algorithm, &parameterType, &parameter, algor);
    const int nid = OBJ_obj2nid(algorithm);
    if (nid == NID_rsaEncryption)
        return "RSA";
    if (nid == NID_X9_62_id_ecPublicKey && parameterType == V_ASN1_OBJECT) {
        switch (OBJ_obj2nid(static_cast<const ASN1_OBJECT*>(parameter))) {
        case NID_X9_62_prime256v1:
            return "EC P-256";
        case NID_secp384r1:
            return "EC P-384";
        case NID_secp521r1:
            return "EC P-521";
        }
    }
    char oid[128] = {};
    OBJ_obj2txt(oid, sizeof oid, algorithm, 1);
    return oid;
}

VerifyOutcome Unusable(std::string reason) {
    return {VerifyOutcome::Kind::Unusable, std::move(reason)};
}

// The key as the scheme needs it, or why it cannot be used.
std::optional<VerifyOutcome> CheckKey(EVP_PKEY* key, const std::string& type,
                                      SignatureScheme scheme) {
    // OpenSSL does not decode an EC point that is off its curve.
    if (!key && type.rfind("EC P-", 0) == 0)
        return Unusable("sertifikadaki EC anahtarının noktası geçersiz");
    if (!key)
        return Unusable("sertifikadaki açık anahtar okunamadı");
    const bool rsa = EVP_PKEY_get_base_id(key) == EVP_PKEY_RSA;
    const bool ec = EVP_PKEY_get_base_id(key) == EVP_PKEY_EC;
    if (scheme == SignatureScheme::Ecdsa ? !ec : !rsa)
        return Unusable("sertifikadaki anahtarın türü (" + type + ") imza yöntemine uymuyor");
    if (rsa && EVP_PKEY_get_bits(key) > static_cast<int>(kMaxRsaBits))
        return Unusable("RSA anahtarı çok büyük (" + std::to_string(EVP_PKEY_get_bits(key)) +
                        " bit; en çok " + std::to_string(kMaxRsaBits) + " bit desteklenir)");
    if (ec && type.rfind("EC P-", 0) != 0)
        return Unusable("sertifikadaki anahtarın eğrisi desteklenmiyor");
    // The quick check (the point is on the curve) is the whole check on the
    // NIST curves: their cofactor is 1, so every point on them is in the
    // group; the full one multiplies by the order, as dear as a verification.
    UniquePkeyCtx check(EVP_PKEY_CTX_new(key, nullptr));
    if (ec && (!check || EVP_PKEY_public_check_quick(check.get()) != 1))
        return Unusable("sertifikadaki EC anahtarının noktası geçersiz");
    return std::nullopt;
}

// XML-DSig's r||s as the DER Ecdsa-Sig-Value OpenSSL verifies; empty when the
// value does not have the curve's length.
Bytes EcdsaDer(EVP_PKEY* key, std::span<const std::uint8_t> value) {
    const std::size_t half = (static_cast<std::size_t>(EVP_PKEY_get_bits(key)) + 7) / 8;
    if (value.size() != 2 * half)
        return {};
    UniqueEcdsaSig signature(ECDSA_SIG_new());
    UniqueBignum r(BN_bin2bn(value.data(), static_cast<int>(half), nullptr));
    UniqueBignum s(BN_bin2bn(value.data() + half, static_cast<int>(half), nullptr));
    if (!signature || !r || !s || ECDSA_SIG_set0(signature.get(), r.get(), s.get()) != 1)
        return {};
    r.release();
    s.release();
    unsigned char* der = nullptr;
    const int length = i2d_ECDSA_SIG(signature.get(), &der);
    UniqueText owner(der);
    return length > 0 ? Bytes(der, der + length) : Bytes{};
}

} // namespace

std::size_t HashLength(HashAlgorithm algorithm) {
    return static_cast<std::size_t>(EVP_MD_get_size(Digest(algorithm)));
}

std::unique_ptr<Hasher> NewHasher(HashAlgorithm algorithm) {
    return std::make_unique<OpenSslHasher>(algorithm);
}

std::optional<CertificateInfo> ReadCertificate(std::span<const std::uint8_t> der) {
    const UniqueX509 certificate = ParseCertificate(der);
    if (!certificate)
        return std::nullopt;
    const auto notBefore = Seconds(X509_get0_notBefore(certificate.get()));
    const auto notAfter = Seconds(X509_get0_notAfter(certificate.get()));
    if (!notBefore || !notAfter)
        return std::nullopt;
    CertificateInfo info;
    info.subject = NameText(X509_get_subject_name(certificate.get()));
    info.issuer = NameText(X509_get_issuer_name(certificate.get()));
    info.subjectName = NameDer(X509_get_subject_name(certificate.get()));
    info.issuerName = NameDer(X509_get_issuer_name(certificate.get()));
    info.notBefore = *notBefore;
    info.notAfter = *notAfter;
    info.keyType = KeyType(certificate.get());
    info.organization = Attribute(X509_get_subject_name(certificate.get()), NID_organizationName);
    info.subjectSerial = Attribute(X509_get_subject_name(certificate.get()), NID_serialNumber);
    info.serial = SerialText(certificate.get());
    int digest = NID_undef;
    if (X509_get_signature_info(certificate.get(), &digest, nullptr, nullptr, nullptr) == 1 &&
        digest != NID_undef)
        info.signatureDigest = OBJ_nid2sn(digest);
    if (const EVP_PKEY* key = X509_get0_pubkey(certificate.get()))
        info.keyBits = static_cast<unsigned>(EVP_PKEY_get_bits(key));
    else if (info.keyType.rfind("EC P-", 0) == 0) // a point off its curve
        info.keyBits = static_cast<unsigned>(std::stoul(info.keyType.substr(5)));
    return info;
}

VerifyOutcome VerifySignature(std::span<const std::uint8_t> certificate,
                              const SignatureAlgorithm& algorithm,
                              std::span<const std::uint8_t> message,
                              std::span<const std::uint8_t> value) {
    const UniqueX509 parsed = ParseCertificate(certificate);
    if (!parsed)
        return Unusable("imzacının sertifikası okunamadı");
    EVP_PKEY* key = X509_get0_pubkey(parsed.get());
    if (auto unusable = CheckKey(key, KeyType(parsed.get()), algorithm.scheme))
        return *unusable;

    Bytes der;
    if (algorithm.scheme == SignatureScheme::Ecdsa) {
        der = EcdsaDer(key, value);
        if (der.empty())
            return {VerifyOutcome::Kind::Invalid, {}};
        value = der;
    }
    UniqueMdCtx context(EVP_MD_CTX_new());
    EVP_PKEY_CTX* keyContext = nullptr; // owned by context
    const EVP_MD* digest = Digest(algorithm.hash);
    if (!context || EVP_DigestVerifyInit(context.get(), &keyContext, digest, nullptr, key) != 1)
        return Unusable("imza doğrulaması başlatılamadı");
    if (algorithm.scheme == SignatureScheme::RsaPss &&
        (EVP_PKEY_CTX_set_rsa_padding(keyContext, RSA_PKCS1_PSS_PADDING) != 1 ||
         EVP_PKEY_CTX_set_rsa_mgf1_md(keyContext, digest) != 1 ||
         EVP_PKEY_CTX_set_rsa_pss_saltlen(keyContext, RSA_PSS_SALTLEN_DIGEST) != 1))
        return Unusable("RSA-PSS ayarları yapılamadı");
    const int verified =
        EVP_DigestVerify(context.get(), value.data(), value.size(), message.data(), message.size());
    return {verified == 1 ? VerifyOutcome::Kind::Valid : VerifyOutcome::Kind::Invalid, {}};
}

struct SystemTrust::Platform {
    UniqueStore store = NewStore();
    bool usable = false;
};

// OpenSSL's store locks its own cache: one store serves every thread, and a
// root looked up in the certificate folder once stays in it.
SystemTrust::SystemTrust() : platform_(std::make_unique<Platform>()) {
    platform_->usable = platform_->store && AddSystemRoots(platform_->store.get());
}
SystemTrust::~SystemTrust() = default;

bool SystemTrust::Trusts(std::span<const std::uint8_t> certificate,
                         const std::vector<Bytes>& others) const {
    const UniqueX509 leaf = ParseCertificate(certificate);
    const UniqueCertificates untrusted = StackOf(others);
    if (!platform_->usable || !leaf || !untrusted)
        return false;
    // The system's roots; no CRLs.
    UniqueStoreCtx context(X509_STORE_CTX_new());
    if (!context || X509_STORE_CTX_init(context.get(), platform_->store.get(), leaf.get(),
                                        untrusted.get()) != 1)
        return false;
    return X509_verify_cert(context.get()) == 1;
}

bool ChainIsTrusted(std::span<const std::uint8_t> certificate, const std::vector<Bytes>& others) {
    return SystemTrust().Trusts(certificate, others);
}

} // namespace tolv::signature
