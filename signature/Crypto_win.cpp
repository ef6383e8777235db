// The signature check's crypto through CNG (bcrypt) and crypt32. CNG has no
// SHA-224: digests and signatures with it are out of reach here.

#include "signature/Crypto.h"
#include "signature/UniqueHandle.h"

#include <windows.h>

#include <bcrypt.h>
#include <wincrypt.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tolv::signature {
namespace {

void CloseAlgorithm(BCRYPT_ALG_HANDLE handle) noexcept {
    BCryptCloseAlgorithmProvider(handle, 0);
}
void CloseStore(HCERTSTORE store) noexcept {
    CertCloseStore(store, 0);
}
using UniqueAlgorithm = Unique<BCRYPT_ALG_HANDLE, CloseAlgorithm>;
using UniqueHash = Unique<BCRYPT_HASH_HANDLE, BCryptDestroyHash>;
using UniqueKey = Unique<BCRYPT_KEY_HANDLE, BCryptDestroyKey>;
using UniqueCertificate = Unique<PCCERT_CONTEXT, CertFreeCertificateContext>;
using UniqueStore = Unique<HCERTSTORE, CloseStore>;
using UniqueChain = Unique<PCCERT_CHAIN_CONTEXT, CertFreeCertificateChain>;
using UniqueChainEngine = Unique<HCERTCHAINENGINE, CertFreeCertificateChainEngine>;

constexpr NTSTATUS kInvalidSignature = static_cast<NTSTATUS>(0xC000A000L);

// CNG's name of the algorithm; null for SHA-224, which CNG does not have.
const wchar_t* AlgorithmId(HashAlgorithm algorithm) {
    switch (algorithm) {
    case HashAlgorithm::Sha1:
        return BCRYPT_SHA1_ALGORITHM;
    case HashAlgorithm::Sha224:
        return nullptr;
    case HashAlgorithm::Sha256:
        return BCRYPT_SHA256_ALGORITHM;
    case HashAlgorithm::Sha384:
        return BCRYPT_SHA384_ALGORITHM;
    case HashAlgorithm::Sha512:
        break;
    }
    return BCRYPT_SHA512_ALGORITHM;
}

// Opening a provider costs more than digesting a small report: each is opened
// once per process, and CNG lets several threads make hashes from one.
BCRYPT_ALG_HANDLE Provider(HashAlgorithm algorithm) {
    static const auto providers = [] {
        std::array<UniqueAlgorithm, 5> opened;
        for (std::size_t i = 0; i < opened.size(); ++i)
            if (const wchar_t* id = AlgorithmId(static_cast<HashAlgorithm>(i)))
                BCryptOpenAlgorithmProvider(opened[i].put(), id, nullptr, 0);
        return opened;
    }();
    return providers[static_cast<std::size_t>(algorithm)].get();
}

class CngHasher final : public Hasher {
public:
    explicit CngHasher(HashAlgorithm algorithm) : length_(HashLength(algorithm)) {
        BCRYPT_ALG_HANDLE provider = Provider(algorithm);
        if (!provider || BCryptCreateHash(provider, hash_.put(), nullptr, 0, nullptr, 0, 0) != 0)
            throw std::runtime_error("CNG cannot make this digest");
    }
    void Update(const void* data, std::size_t size) override {
        // BCryptHashData takes at most 4 GiB at a time.
        auto* bytes = static_cast<PUCHAR>(const_cast<void*>(data));
        while (size > 0) {
            const ULONG part = static_cast<ULONG>(std::min<std::size_t>(size, 1u << 30));
            BCryptHashData(hash_.get(), bytes, part, 0);
            bytes += part;
            size -= part;
        }
    }
    Bytes Finish() override {
        Bytes digest(length_);
        BCryptFinishHash(hash_.get(), digest.data(), static_cast<ULONG>(digest.size()), 0);
        return digest;
    }

private:
    std::size_t length_;
    UniqueHash hash_;
};

UniqueCertificate ParseCertificate(std::span<const std::uint8_t> der) {
    return UniqueCertificate(CertCreateCertificateContext(X509_ASN_ENCODING, der.data(),
                                                          static_cast<DWORD>(der.size())));
}

std::string Utf8(const std::wstring& text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string utf8(size > 0 ? size : 0, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(), size,
                        nullptr, nullptr);
    return utf8;
}

std::wstring NameString(PCCERT_CONTEXT certificate, DWORD type, DWORD flags, void* parameter) {
    const DWORD size = CertGetNameStringW(certificate, type, flags, parameter, nullptr, 0);
    std::wstring text(size, L'\0');
    CertGetNameStringW(certificate, type, flags, parameter, text.data(), size);
    text.resize(size > 0 ? size - 1 : 0);
    return text;
}

// The CN when the name has one, else the whole name, last part first as RFC
// 2253 writes it.
std::string NameText(PCCERT_CONTEXT certificate, DWORD issuerFlag) {
    std::wstring text = NameString(certificate, CERT_NAME_ATTR_TYPE, issuerFlag,
                                   const_cast<char*>(szOID_COMMON_NAME));
    if (text.empty()) {
        DWORD format = CERT_X500_NAME_STR | CERT_NAME_STR_REVERSE_FLAG;
        text = NameString(certificate, CERT_NAME_RDN_TYPE, issuerFlag, &format);
    }
    return Utf8(text);
}

std::string Attribute(PCCERT_CONTEXT certificate, const char* oid) {
    return Utf8(NameString(certificate, CERT_NAME_ATTR_TYPE, 0, const_cast<char*>(oid)));
}

// The serial number is kept least significant byte first, with the sign
// byte DER puts before a high bit; written as OpenSSL writes it, without it.
std::string SerialText(const CRYPT_INTEGER_BLOB& serial) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    DWORD size = serial.cbData;
    while (size > 1 && serial.pbData[size - 1] == 0)
        --size;
    std::string text;
    for (DWORD i = size; i-- > 0;) {
        text += kDigits[serial.pbData[i] >> 4];
        text += kDigits[serial.pbData[i] & 15];
    }
    return text;
}

Bytes Blob(const CRYPT_DATA_BLOB& blob) {
    return Bytes(blob.pbData, blob.pbData + blob.cbData);
}

std::int64_t Seconds(const FILETIME& time) {
    const std::int64_t ticks =
        (static_cast<std::int64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    return (ticks - 116444736000000000LL) / 10000000;
}

using namespace std::string_view_literals;

// The three curves XML-DSig names: OID as DER, prime p and b of y² = x³ − 3x + b.
struct Curve {
    std::string_view der;
    const char* type;
    unsigned bits;
    std::string_view p;
    std::string_view b;
};
const Curve kCurves[] = {
    {"\x06\x08\x2a\x86\x48\xce\x3d\x03\x01\x07"sv, "EC P-256", 256,
     "ffffffff00000001000000000000000000000000ffffffffffffffffffffffff",
     "5ac635d8aa3a93e7b3ebbd55769886bc651d06b0cc53b0f63bce3c3e27d2604b"},
    {"\x06\x05\x2b\x81\x04\x00\x22"sv, "EC P-384", 384,
     "fffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffeffffffff0000000000000000f"
     "fffffff",
     "b3312fa7e23ee7e4988e056be3f82d19181d9c6efe8141120314088f5013875ac656398d8a2ed19d2a85c8edd"
     "3ec2aef"},
    {"\x06\x05\x2b\x81\x04\x00\x23"sv, "EC P-521", 521,
     "1ffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff"
     "ffffffffffffffffffffffffffffffffffffffffff",
     "51953eb9618e1c9a1f929a21a0b68540eea2da725b99b315f3b8b489918ef109e156193951ec7e937b1652c0b"
     "d3bb1bf073573df883d2c34f1ef451fd46b503f00"},
};

struct KeyKind {
    std::string type;
    unsigned bits = 0;
    bool rsa = false;
    const Curve* curve = nullptr; // for EC keys on one of the three
};

// From the SubjectPublicKeyInfo, without importing the key.
KeyKind KindOf(PCCERT_CONTEXT certificate) {
    CERT_PUBLIC_KEY_INFO& key = certificate->pCertInfo->SubjectPublicKeyInfo;
    const std::string oid = key.Algorithm.pszObjId ? key.Algorithm.pszObjId : "";
    if (oid == szOID_RSA_RSA)
        return {"RSA", CertGetPublicKeyLength(X509_ASN_ENCODING, &key), true};
    const std::string_view parameters(
        reinterpret_cast<const char*>(key.Algorithm.Parameters.pbData),
        key.Algorithm.Parameters.cbData);
    if (oid == szOID_ECC_PUBLIC_KEY) {
        for (const Curve& curve : kCurves)
            if (parameters == curve.der)
                return {curve.type, curve.bits, false, &curve};
        // Another curve: its size from the uncompressed point 04 || x || y,
        // so that a weak key can be named.
        const DWORD point = key.PublicKey.cbData;
        return {oid, point > 1 && point % 2 == 1 ? (point - 1) / 2 * 8 : 0};
    }
    return {oid};
}

// Numbers modulo a curve's prime, as little-endian 32-bit limbs with one limb
// to spare, so that a sum of two never overflows.
using Limbs = std::vector<std::uint32_t>;

Limbs FromBytes(const std::uint8_t* bytes, std::size_t size, std::size_t limbs) {
    Limbs number(limbs);
    for (std::size_t i = 0; i < size; ++i) {
        const std::size_t bit = (size - 1 - i) * 8;
        number[bit / 32] |= static_cast<std::uint32_t>(bytes[i]) << (bit % 32);
    }
    return number;
}

Limbs FromHex(std::string_view hex, std::size_t limbs) {
    Limbs number(limbs);
    for (std::size_t i = 0; i < hex.size(); ++i) {
        const std::size_t bit = (hex.size() - 1 - i) * 4;
        const std::uint32_t nibble = hex[i] <= '9' ? hex[i] - '0' : hex[i] - 'a' + 10;
        number[bit / 32] |= nibble << (bit % 32);
    }
    return number;
}

bool Less(const Limbs& a, const Limbs& b) {
    for (std::size_t i = a.size(); i-- > 0;)
        if (a[i] != b[i])
            return a[i] < b[i];
    return false;
}

void Subtract(Limbs& a, const Limbs& b) {
    std::uint64_t borrow = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const std::uint64_t difference = std::uint64_t{a[i]} - b[i] - borrow;
        a[i] = static_cast<std::uint32_t>(difference);
        borrow = difference >> 63;
    }
}

// a + b mod p, for a and b below p.
Limbs AddMod(Limbs a, const Limbs& b, const Limbs& p) {
    std::uint64_t carry = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const std::uint64_t sum = std::uint64_t{a[i]} + b[i] + carry;
        a[i] = static_cast<std::uint32_t>(sum);
        carry = sum >> 32;
    }
    if (!Less(a, p))
        Subtract(a, p);
    return a;
}

Limbs MulMod(const Limbs& a, const Limbs& b, const Limbs& p) {
    Limbs product(a.size());
    for (std::size_t bit = a.size() * 32; bit-- > 0;) {
        product = AddMod(product, product, p);
        if ((a[bit / 32] >> (bit % 32)) & 1)
            product = AddMod(product, b, p);
    }
    return product;
}

// Whether the SubjectPublicKeyInfo's point 04||x||y lies on the curve. CNG
// checks this when it imports a key; Wine's does not, and a point off the
// curve would pass for a key whose signatures merely fail.
bool PointOnCurve(const CRYPT_BIT_BLOB& point, const Curve& curve) {
    const std::size_t size = (curve.bits + 7) / 8;
    if (point.cbData != 1 + 2 * size || point.pbData[0] != 0x04)
        return false;
    const std::size_t limbs = (curve.bits + 31) / 32 + 1;
    const Limbs p = FromHex(curve.p, limbs);
    const Limbs x = FromBytes(point.pbData + 1, size, limbs);
    const Limbs y = FromBytes(point.pbData + 1 + size, size, limbs);
    if (!Less(x, p) || !Less(y, p))
        return false;
    Limbs minusThreeX = p;
    Subtract(minusThreeX, AddMod(AddMod(x, x, p), x, p));
    if (!Less(minusThreeX, p))
        Subtract(minusThreeX, p); // x was 0
    const Limbs right =
        AddMod(AddMod(MulMod(MulMod(x, x, p), x, p), minusThreeX, p), FromHex(curve.b, limbs), p);
    return MulMod(y, y, p) == right;
}

VerifyOutcome Unusable(std::string reason) {
    return {VerifyOutcome::Kind::Unusable, std::move(reason)};
}

std::string HexCode(NTSTATUS status) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(status));
    return text;
}

// Why the key cannot be used for the scheme, or nullopt when it can.
std::optional<VerifyOutcome> CheckKey(const CERT_PUBLIC_KEY_INFO& key, const KeyKind& kind,
                                      SignatureScheme scheme) {
    if (scheme == SignatureScheme::Ecdsa ? !kind.curve : !kind.rsa) {
        if (scheme == SignatureScheme::Ecdsa && kind.type == szOID_ECC_PUBLIC_KEY)
            return Unusable("sertifikadaki anahtarın eğrisi desteklenmiyor");
        return Unusable("sertifikadaki anahtarın türü (" + kind.type + ") imza yöntemine uymuyor");
    }
    if (kind.curve && !PointOnCurve(key.PublicKey, *kind.curve))
        return Unusable("sertifikadaki EC anahtarının noktası geçersiz");
    if (kind.rsa && kind.bits > kMaxRsaBits)
        return Unusable("RSA anahtarı çok büyük (" + std::to_string(kind.bits) + " bit; en çok " +
                        std::to_string(kMaxRsaBits) + " bit desteklenir)");
    return std::nullopt;
}

Bytes Digest(HashAlgorithm algorithm, std::span<const std::uint8_t> message) {
    CngHasher hasher(algorithm);
    hasher.Update(message.data(), message.size());
    return hasher.Finish();
}

} // namespace

std::size_t HashLength(HashAlgorithm algorithm) {
    switch (algorithm) {
    case HashAlgorithm::Sha1:
        return 20;
    case HashAlgorithm::Sha224:
        return 28;
    case HashAlgorithm::Sha256:
        return 32;
    case HashAlgorithm::Sha384:
        return 48;
    case HashAlgorithm::Sha512:
        break;
    }
    return 64;
}

std::unique_ptr<Hasher> NewHasher(HashAlgorithm algorithm) {
    return std::make_unique<CngHasher>(algorithm);
}

std::optional<CertificateInfo> ReadCertificate(std::span<const std::uint8_t> der) {
    const UniqueCertificate certificate = ParseCertificate(der);
    if (!certificate)
        return std::nullopt;
    const CERT_INFO& fields = *certificate.get()->pCertInfo;
    const KeyKind kind = KindOf(certificate.get());
    CertificateInfo info;
    info.subject = NameText(certificate.get(), 0);
    info.issuer = NameText(certificate.get(), CERT_NAME_ISSUER_FLAG);
    info.subjectName = Blob(fields.Subject);
    info.issuerName = Blob(fields.Issuer);
    info.notBefore = Seconds(fields.NotBefore);
    info.notAfter = Seconds(fields.NotAfter);
    info.keyType = kind.type;
    info.keyBits = kind.bits;
    info.organization = Attribute(certificate.get(), szOID_ORGANIZATION_NAME);
    info.subjectSerial = Attribute(certificate.get(), szOID_DEVICE_SERIAL_NUMBER);
    info.serial = SerialText(fields.SerialNumber);
    return info;
}

VerifyOutcome VerifySignature(std::span<const std::uint8_t> certificate,
                              const SignatureAlgorithm& algorithm,
                              std::span<const std::uint8_t> message,
                              std::span<const std::uint8_t> value) {
    const UniqueCertificate parsed = ParseCertificate(certificate);
    if (!parsed)
        return Unusable("imzacının sertifikası okunamadı");
    const KeyKind kind = KindOf(parsed.get());
    if (auto unusable =
            CheckKey(parsed.get()->pCertInfo->SubjectPublicKeyInfo, kind, algorithm.scheme))
        return *unusable;
    const wchar_t* hashId = AlgorithmId(algorithm.hash);
    if (!hashId)
        return Unusable("bu sistem SHA-224 özetini hesaplayamıyor");

    UniqueKey key;
    if (!CryptImportPublicKeyInfoEx2(X509_ASN_ENCODING,
                                     &parsed.get()->pCertInfo->SubjectPublicKeyInfo, 0, nullptr,
                                     key.put()))
        return Unusable("Windows sertifikadaki açık anahtarı kullanamıyor (hata " +
                        HexCode(static_cast<NTSTATUS>(GetLastError())) + ")");
    // XML-DSig's r||s is what CNG takes; only its length needs a check. An RSA
    // value is as long as the modulus.
    const std::size_t expected = (kind.curve ? 2 : 1) * ((kind.bits + 7) / 8);
    if (value.size() != expected)
        return {VerifyOutcome::Kind::Invalid, {}};

    Bytes digest;
    try {
        digest = Digest(algorithm.hash, message);
    } catch (const std::runtime_error&) {
        return Unusable("Windows imzalanan verinin özetini hesaplayamıyor");
    }
    // ECDSA signs the leftmost bits of a digest longer than the curve's
    // order (SHA-512 on P-256); Wine's CNG refuses the longer one.
    if (kind.curve && digest.size() > (kind.bits + 7) / 8)
        digest.resize((kind.bits + 7) / 8);
    BCRYPT_PKCS1_PADDING_INFO pkcs1{hashId};
    BCRYPT_PSS_PADDING_INFO pss{hashId, static_cast<ULONG>(digest.size())};
    void* padding = nullptr;
    ULONG flags = 0;
    if (algorithm.scheme == SignatureScheme::RsaPkcs1) {
        padding = &pkcs1;
        flags = BCRYPT_PAD_PKCS1;
    } else if (algorithm.scheme == SignatureScheme::RsaPss) {
        padding = &pss;
        flags = BCRYPT_PAD_PSS;
    }
    Bytes signature(value.begin(), value.end());
    const NTSTATUS status =
        BCryptVerifySignature(key.get(), padding, digest.data(), static_cast<ULONG>(digest.size()),
                              signature.data(), static_cast<ULONG>(signature.size()), flags);
    if (status == 0)
        return {VerifyOutcome::Kind::Valid, {}};
    if (status == kInvalidSignature)
        return {VerifyOutcome::Kind::Invalid, {}};
    return Unusable("Windows bu imzayı doğrulayamıyor (durum " + HexCode(status) + ")");
}

struct SystemTrust::Platform {
    UniqueChainEngine engine;
};

// An engine of its own reads the trusted roots as they are when it is made:
// Wine's default engine keeps those it read first for the life of the process.
// Its size is the one before the exclusive roots: Wine refuses the newer. An
// engine may serve several threads at once.
SystemTrust::SystemTrust() : platform_(std::make_unique<Platform>()) {
    CERT_CHAIN_ENGINE_CONFIG config{};
    config.cbSize = offsetof(CERT_CHAIN_ENGINE_CONFIG, hExclusiveRoot);
    CertCreateCertificateChainEngine(&config, platform_->engine.put());
}
SystemTrust::~SystemTrust() = default;

bool SystemTrust::Trusts(std::span<const std::uint8_t> certificate,
                         const std::vector<Bytes>& others) const {
    const UniqueCertificate leaf = ParseCertificate(certificate);
    UniqueStore store(CertOpenStore(CERT_STORE_PROV_MEMORY, 0, 0, 0, nullptr));
    if (!platform_->engine || !leaf || !store)
        return false;
    for (const Bytes& der : others)
        CertAddEncodedCertificateToStore(store.get(), X509_ASN_ENCODING, der.data(),
                                         static_cast<DWORD>(der.size()), CERT_STORE_ADD_ALWAYS,
                                         nullptr);
    CERT_CHAIN_PARA parameters{};
    parameters.cbSize = sizeof parameters;
    UniqueChain chain;
    // Only what is on this computer: no revocation, no fetching of missing
    // certificates or of roots from Windows Update.
    if (!CertGetCertificateChain(
            platform_->engine.get(), leaf.get(), nullptr, store.get(), &parameters,
            CERT_CHAIN_CACHE_ONLY_URL_RETRIEVAL | CERT_CHAIN_DISABLE_AUTH_ROOT_AUTO_UPDATE, nullptr,
            chain.put()))
        return false;
    CERT_CHAIN_POLICY_PARA policy{};
    policy.cbSize = sizeof policy;
    CERT_CHAIN_POLICY_STATUS result{};
    result.cbSize = sizeof result;
    // Wine's base policy passes a chain that ends short of any root.
    return chain.get()->TrustStatus.dwErrorStatus == CERT_TRUST_NO_ERROR &&
           CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_BASE, chain.get(), &policy,
                                            &result) &&
           result.dwError == 0;
}

bool ChainIsTrusted(std::span<const std::uint8_t> certificate, const std::vector<Bytes>& others) {
    return SystemTrust().Trusts(certificate, others);
}

} // namespace tolv::signature
