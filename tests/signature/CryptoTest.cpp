// The platform crypto against keys, certificates and signatures that the
// openssl command made at build time (make-crypto-fixtures.py).

#include "signature/Crypto.h"
#include "tests/signature/TestPlatform.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>

namespace tolv::signature {
namespace {

namespace fs = std::filesystem;
using Kind = VerifyOutcome::Kind;

fs::path Fixture(const std::string& name) {
    return fs::path(TOLV_CRYPTO_FIXTURES) / name;
}

Bytes Read(const std::string& name) {
    std::ifstream in(Fixture(name), std::ios::binary);
    EXPECT_TRUE(in) << name;
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

std::string Hex(const Bytes& bytes) {
    std::string text;
    char digit[3];
    for (std::uint8_t byte : bytes) {
        std::snprintf(digit, sizeof digit, "%02x", byte);
        text += digit;
    }
    return text;
}

const char* KindName(Kind kind) {
    return kind == Kind::Valid ? "Valid" : kind == Kind::Invalid ? "Invalid" : "Unusable";
}

TEST(CryptoTest, DigestsAreTheKnownAnswersFedInPieces) {
    struct Row {
        HashAlgorithm algorithm;
        const char* abc; // the digest of "abc" (FIPS 180 examples)
    };
    const Row rows[] = {
        {HashAlgorithm::Sha1, "a9993e364706816aba3e25717850c26c9cd0d89d"},
        {HashAlgorithm::Sha224, "23097d223405d8228642a477bda255b32aadbce4bda0b3f7e36c9da7"},
        {HashAlgorithm::Sha256, "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {HashAlgorithm::Sha384, "cb00753f45a35e8bb5a03d699ac65007272c32ab0eded1631a8b605a43ff5bed"
                                "8086072ba1e7cc2358baeca134c825a7"},
        {HashAlgorithm::Sha512, "ddaf35a193617abacc417349ae20413112e6fa4e89a97ea20a9eeee64b55d39a"
                                "2192992a274fc1a836ba3c23a3feebbd454d4423643ce80e2a9ac94fa54ca49f"},
    };
    for (const Row& row : rows) {
        auto hasher = NewHasher(row.algorithm);
        hasher->Update("a", 1);
        hasher->Update("", 0);
        hasher->Update("bc", 2);
        const Bytes digest = hasher->Finish();
        EXPECT_EQ(Hex(digest), row.abc);
        EXPECT_EQ(HashLength(row.algorithm) * 2, std::string(row.abc).size());
    }
}

struct SignatureRow {
    const char* certificate;
    SignatureScheme scheme;
    HashAlgorithm hash;
    const char* value;
};

const SignatureRow kSignatures[] = {
    {"rsa.der", SignatureScheme::RsaPkcs1, HashAlgorithm::Sha1, "rsa-pkcs1-sha1.sig"},
    {"rsa.der", SignatureScheme::RsaPkcs1, HashAlgorithm::Sha224, "rsa-pkcs1-sha224.sig"},
    {"rsa.der", SignatureScheme::RsaPkcs1, HashAlgorithm::Sha256, "rsa-pkcs1-sha256.sig"},
    {"rsa.der", SignatureScheme::RsaPkcs1, HashAlgorithm::Sha384, "rsa-pkcs1-sha384.sig"},
    {"rsa.der", SignatureScheme::RsaPkcs1, HashAlgorithm::Sha512, "rsa-pkcs1-sha512.sig"},
    {"rsa.der", SignatureScheme::RsaPss, HashAlgorithm::Sha1, "rsa-pss-sha1.sig"},
    {"rsa.der", SignatureScheme::RsaPss, HashAlgorithm::Sha224, "rsa-pss-sha224.sig"},
    {"rsa.der", SignatureScheme::RsaPss, HashAlgorithm::Sha256, "rsa-pss-sha256.sig"},
    {"rsa.der", SignatureScheme::RsaPss, HashAlgorithm::Sha384, "rsa-pss-sha384.sig"},
    {"rsa.der", SignatureScheme::RsaPss, HashAlgorithm::Sha512, "rsa-pss-sha512.sig"},
    {"p256.der", SignatureScheme::Ecdsa, HashAlgorithm::Sha256, "ecdsa-p256.sig"},
    {"p384.der", SignatureScheme::Ecdsa, HashAlgorithm::Sha384, "ecdsa-p384.sig"},
    {"p521.der", SignatureScheme::Ecdsa, HashAlgorithm::Sha512, "ecdsa-p521.sig"},
};

// A real signature verifies; the same with one byte changed, over a changed
// message, or cut short does not.
TEST(CryptoTest, RealSignaturesVerifyAndChangedOnesDoNot) {
    const Bytes message = Read("message.bin");
    for (const SignatureRow& row : kSignatures) {
        SCOPED_TRACE(row.value);
        const Bytes certificate = Read(row.certificate);
        const Bytes value = Read(row.value);
        const SignatureAlgorithm algorithm{row.scheme, row.hash};
        const VerifyOutcome outcome = VerifySignature(certificate, algorithm, message, value);
        EXPECT_EQ(KindName(outcome.kind), std::string("Valid")) << outcome.reason;

        Bytes flipped = value;
        flipped[flipped.size() / 3] ^= 0x10;
        Bytes otherMessage = message;
        otherMessage.back() ^= 1;
        const Bytes shorter(value.begin(), value.end() - 1);
        for (const auto& [text, got] :
             {std::pair{"flipped", VerifySignature(certificate, algorithm, message, flipped)},
              std::pair{"other message",
                        VerifySignature(certificate, algorithm, otherMessage, value)},
              std::pair{"shorter", VerifySignature(certificate, algorithm, message, shorter)}})
            EXPECT_EQ(KindName(got.kind), std::string("Invalid")) << text;
    }
}

TEST(CryptoTest, KeysThatCannotServeAreUnusableWithAReason) {
    const struct Row {
        const char* certificate;
        SignatureScheme scheme;
        const char* reasonHas;
    } rows[] = {
        {"rsa16384.der", SignatureScheme::RsaPkcs1, "16384"},
        {"rsa16384.der", SignatureScheme::RsaPss, "8192"},
        {"badpoint.der", SignatureScheme::Ecdsa, "noktası geçersiz"},
        {"k256.der", SignatureScheme::Ecdsa, "eğrisi desteklenmiyor"},
        {"rsa.der", SignatureScheme::Ecdsa, ""},
        {"p256.der", SignatureScheme::RsaPkcs1, ""},
        {"p384.der", SignatureScheme::RsaPss, ""},
        {"message.bin", SignatureScheme::RsaPkcs1, ""},
    };
    const Bytes message = Read("message.bin");
    const Bytes value = Read("rsa-pkcs1-sha256.sig");
    for (const Row& row : rows) {
        const VerifyOutcome outcome = VerifySignature(
            Read(row.certificate), {row.scheme, HashAlgorithm::Sha256}, message, value);
        EXPECT_EQ(KindName(outcome.kind), std::string("Unusable")) << row.certificate;
        EXPECT_NE(outcome.reason, "") << row.certificate;
        EXPECT_NE(outcome.reason.find(row.reasonHas), std::string::npos) << outcome.reason;
    }
}

std::int64_t SecondsNow() {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// A name without CN as a whole, last part first as RFC 2253 writes it.
constexpr const char* kInterName = "O=Tolv Sınama Ara,C=TR";

TEST(CryptoTest, CertificatesReadAsTheirFieldsSay) {
    const struct Row {
        const char* certificate;
        const char* subject;
        const char* issuerHas;
        const char* keyType;
        unsigned keyBits;
    } rows[] = {
        {"rsa.der", "Örnek İmzacı", kInterName, "RSA", 2048},
        {"p256.der", "Tolv P256", "O=Tolv Sınama Ara", "EC P-256", 256},
        {"p384.der", "Tolv P384", "C=TR", "EC P-384", 384},
        {"p521.der", "Tolv P521", "O=Tolv Sınama Ara", "EC P-521", 521},
        {"rsa16384.der", "Tolv RSA 16384", "O=Tolv Sınama Ara", "RSA", 16384},
        {"badpoint.der", "Tolv P256", "O=Tolv Sınama Ara", "EC P-256", 256},
        {"inter.der", kInterName, "Tolv Sınama Kök", "EC P-256", 256},
    };
    const auto inter = ReadCertificate(Read("inter.der"));
    const auto root = ReadCertificate(Read("root.der"));
    ASSERT_TRUE(inter && root);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.certificate);
        const auto info = ReadCertificate(Read(row.certificate));
        ASSERT_TRUE(info);
        EXPECT_EQ(info->subject, row.subject);
        EXPECT_NE(info->issuer.find(row.issuerHas), std::string::npos) << info->issuer;
        EXPECT_EQ(info->keyType, row.keyType);
        EXPECT_EQ(info->keyBits, row.keyBits);
        EXPECT_EQ(info->issuerName, row.certificate == std::string("inter.der")
                                        ? root->subjectName
                                        : inter->subjectName);
        EXPECT_NE(info->subjectName, info->issuerName);
        const bool rsa = row.certificate == std::string("rsa.der");
        EXPECT_EQ(info->organization, rsa ? "Tolv"
                                      : row.certificate == std::string("inter.der")
                                          ? "Tolv Sınama Ara"
                                          : "");
        EXPECT_EQ(info->subjectSerial, rsa ? "12345678901" : "");
        if (rsa)
            EXPECT_EQ(info->serial, "80A1");
        else
            EXPECT_FALSE(info->serial.empty());
        // Made at build time for 3650 days.
        EXPECT_EQ(info->notAfter - info->notBefore, 3650 * 86400);
        EXPECT_LE(info->notBefore, SecondsNow());
        EXPECT_GT(info->notBefore, SecondsNow() - 400 * 86400);
    }
}

TEST(CryptoTest, WhatIsNoCertificateReadsAsNone) {
    const Bytes certificate = Read("rsa.der");
    const Bytes rows[] = {
        {},
        Read("message.bin"),
        Bytes(certificate.begin(), certificate.end() - 10),
        Bytes(certificate.begin() + 1, certificate.end()),
        {0x30, 0x03, 0x02, 0x01, 0x01},
    };
    for (const Bytes& row : rows)
        EXPECT_FALSE(ReadCertificate(row))
            << Hex(Bytes(row.begin(), row.begin() + std::min<std::size_t>(8, row.size())));
}

TEST(CryptoTest, ChainsReachOnlyRootsThisComputerTrusts) {
    const Bytes leaf = Read("rsa.der");
    const std::vector<Bytes> others = {Read("root.der"), Read("inter.der")};
    EXPECT_FALSE(ChainIsTrusted(leaf, others)) << "a root made at build time";
    {
        testing::TrustedRoot trusted(Fixture("root.pem"), Fixture("root.der"));
        if (!trusted.failure().empty())
            GTEST_SKIP() << "the test root cannot be made trusted here: " << trusted.failure();
        EXPECT_TRUE(ChainIsTrusted(leaf, others));
        EXPECT_TRUE(ChainIsTrusted(Read("p521.der"), {Read("inter.der")}));
        EXPECT_FALSE(ChainIsTrusted(leaf, {})) << "without its intermediate";
        EXPECT_FALSE(ChainIsTrusted(Read("badpoint.der"), others))
            << "its signature no longer matches";
        EXPECT_FALSE(ChainIsTrusted(Read("message.bin"), others));
    }
    EXPECT_FALSE(ChainIsTrusted(leaf, others)) << "trusted no longer";
}

} // namespace
} // namespace tolv::signature
