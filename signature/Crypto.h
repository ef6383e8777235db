#pragma once
// The signature check's crypto: digests, certificates and signature values,
// through the platform (CNG and crypt32 on Windows, OpenSSL 3's libcrypto
// elsewhere). Everything else of the check is portable.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace tolv::signature {

using Bytes = std::vector<std::uint8_t>;

enum class HashAlgorithm { Sha1, Sha224, Sha256, Sha384, Sha512 };

// Length of the algorithm's digest in bytes.
std::size_t HashLength(HashAlgorithm algorithm);

class Hasher {
public:
    virtual ~Hasher() = default;
    virtual void Update(const void* data, std::size_t size) = 0;
    // The digest; the hasher cannot be used afterwards.
    virtual Bytes Finish() = 0;
};

// Throws std::runtime_error only when the platform cannot make one at all.
std::unique_ptr<Hasher> NewHasher(HashAlgorithm algorithm);

// What the check shows of a certificate. Times are seconds since 1970-01-01 UTC.
struct CertificateInfo {
    std::string subject; // the subject's CN, else the whole subject as text
    std::string issuer;  // the issuer's CN, else the whole issuer as text
    Bytes subjectName;   // DER of the subject Name, to match issuers
    Bytes issuerName;    // DER of the issuer Name
    std::int64_t notBefore = 0;
    std::int64_t notAfter = 0;
    std::string keyType; // "RSA", "EC P-256", "EC P-384", "EC P-521", or the OID
    unsigned keyBits = 0;
    std::string organization;  // the subject's O, when it has one
    std::string subjectSerial; // the subject's serialNumber (a national identity number, say)
    std::string serial;        // the certificate's serial number, upper-case hex
    // The digest its issuer signed it with, as OpenSSL names it ("SHA1",
    // "SHA256", "MD5"...); empty when the signature algorithm names none.
    std::string signatureDigest;
};

// "rsa-2048", "ec-256": the key's kind and size as the check's details name
// it; empty for another kind of key or a size that could not be read.
std::string KeyName(const CertificateInfo& info);
bool IsRsaKey(const CertificateInfo& info);
bool IsEcKey(const CertificateInfo& info);

// nullopt when der is not an X.509 certificate the platform can read.
std::optional<CertificateInfo> ReadCertificate(std::span<const std::uint8_t> der);

enum class SignatureScheme { RsaPkcs1, RsaPss, Ecdsa };

struct SignatureAlgorithm {
    SignatureScheme scheme;
    HashAlgorithm hash;
};

struct VerifyOutcome {
    enum class Kind {
        Valid,    // the value verifies over message with the certificate's key
        Invalid,  // key and value are usable and it does not verify
        Unusable, // the key cannot be used for this: wrong type, curve not
                  // supported, key too large, a point not on the curve...
    };
    Kind kind = Kind::Unusable;
    std::string reason; // for Unusable: why, in Turkish, as the end of a sentence
};

// Largest RSA modulus accepted, in bits; larger keys are Unusable.
constexpr unsigned kMaxRsaBits = 8192;

// Verifies value (as XML-DSig writes it: PKCS#1 or PSS bytes for RSA, r||s for
// ECDSA) over message with the public key of certificate der. RSA-PSS uses
// MGF1 with the same digest and a salt as long as the digest.
VerifyOutcome VerifySignature(std::span<const std::uint8_t> certificate,
                              const SignatureAlgorithm& algorithm,
                              std::span<const std::uint8_t> message,
                              std::span<const std::uint8_t> value);

// Whether certificate (the signer's) chains to a root this computer trusts,
// with others (the rest of KeyInfo's certificates) as intermediates; at the
// current time, without any revocation look-up or network access.
bool ChainIsTrusted(std::span<const std::uint8_t> certificate, const std::vector<Bytes>& others);

// The same with the system's roots read once, for a process that checks many
// reports; ChainIsTrusted alone reads them anew each time, so that a viewer
// sees a root trusted or distrusted a moment ago. Trusts may be called from
// several threads at once.
class SystemTrust {
public:
    SystemTrust();
    ~SystemTrust();
    SystemTrust(const SystemTrust&) = delete;
    SystemTrust& operator=(const SystemTrust&) = delete;

    bool Trusts(std::span<const std::uint8_t> certificate, const std::vector<Bytes>& others) const;

    struct Platform;

private:
    std::unique_ptr<Platform> platform_;
};

} // namespace tolv::signature
