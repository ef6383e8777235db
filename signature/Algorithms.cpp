#include "signature/Algorithms.h"

#include "signature/Crypto.h"

#include <array>

namespace tolv::signature {
namespace {

struct DigestUri {
    std::string_view uri;
    HashAlgorithm algorithm;
};

constexpr DigestUri kDigests[] = {
    {"http://www.w3.org/2000/09/xmldsig#sha1", HashAlgorithm::Sha1},
    {"http://www.w3.org/2001/04/xmldsig-more#sha224", HashAlgorithm::Sha224},
    {"http://www.w3.org/2001/04/xmlenc#sha256", HashAlgorithm::Sha256},
    {"http://www.w3.org/2001/04/xmldsig-more#sha384", HashAlgorithm::Sha384},
    {"http://www.w3.org/2001/04/xmlenc#sha512", HashAlgorithm::Sha512},
};

struct SignatureUri {
    std::string_view uri;
    SignatureAlgorithm algorithm;
};

constexpr SignatureUri kSignatures[] = {
    {"http://www.w3.org/2000/09/xmldsig#rsa-sha1",
     {SignatureScheme::RsaPkcs1, HashAlgorithm::Sha1}},
    {"http://www.w3.org/2001/04/xmldsig-more#rsa-sha224",
     {SignatureScheme::RsaPkcs1, HashAlgorithm::Sha224}},
    {"http://www.w3.org/2001/04/xmldsig-more#rsa-sha256",
     {SignatureScheme::RsaPkcs1, HashAlgorithm::Sha256}},
    {"http://www.w3.org/2001/04/xmldsig-more#rsa-sha384",
     {SignatureScheme::RsaPkcs1, HashAlgorithm::Sha384}},
    {"http://www.w3.org/2001/04/xmldsig-more#rsa-sha512",
     {SignatureScheme::RsaPkcs1, HashAlgorithm::Sha512}},
    {"http://www.w3.org/2007/05/xmldsig-more#sha1-rsa-MGF1",
     {SignatureScheme::RsaPss, HashAlgorithm::Sha1}},
    {"http://www.w3.org/2007/05/xmldsig-more#sha224-rsa-MGF1",
     {SignatureScheme::RsaPss, HashAlgorithm::Sha224}},
    {"http://www.w3.org/2007/05/xmldsig-more#sha256-rsa-MGF1",
     {SignatureScheme::RsaPss, HashAlgorithm::Sha256}},
    {"http://www.w3.org/2007/05/xmldsig-more#sha384-rsa-MGF1",
     {SignatureScheme::RsaPss, HashAlgorithm::Sha384}},
    {"http://www.w3.org/2007/05/xmldsig-more#sha512-rsa-MGF1",
     {SignatureScheme::RsaPss, HashAlgorithm::Sha512}},
    {"http://www.w3.org/2001/04/xmldsig-more#ecdsa-sha1",
     {SignatureScheme::Ecdsa, HashAlgorithm::Sha1}},
    {"http://www.w3.org/2001/04/xmldsig-more#ecdsa-sha224",
     {SignatureScheme::Ecdsa, HashAlgorithm::Sha224}},
    {"http://www.w3.org/2001/04/xmldsig-more#ecdsa-sha256",
     {SignatureScheme::Ecdsa, HashAlgorithm::Sha256}},
    {"http://www.w3.org/2001/04/xmldsig-more#ecdsa-sha384",
     {SignatureScheme::Ecdsa, HashAlgorithm::Sha384}},
    {"http://www.w3.org/2001/04/xmldsig-more#ecdsa-sha512",
     {SignatureScheme::Ecdsa, HashAlgorithm::Sha512}},
};

bool IsXmlSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// Reads a number of exactly `digits` digits at text[pos].
std::optional<int> Number(std::string_view text, std::size_t& pos, std::size_t digits) {
    if (pos + digits > text.size())
        return std::nullopt;
    int value = 0;
    for (std::size_t i = 0; i < digits; ++i) {
        const char c = text[pos + i];
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    pos += digits;
    return value;
}

bool Expect(std::string_view text, std::size_t& pos, char c) {
    if (pos >= text.size() || text[pos] != c)
        return false;
    ++pos;
    return true;
}

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = unsigned(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + std::int64_t(doe) - 719468;
}

} // namespace

std::optional<HashAlgorithm> DigestFromUri(std::string_view uri) {
    for (const DigestUri& entry : kDigests)
        if (entry.uri == uri)
            return entry.algorithm;
    return std::nullopt;
}

std::optional<SignatureAlgorithm> SignatureFromUri(std::string_view uri) {
    for (const SignatureUri& entry : kSignatures)
        if (entry.uri == uri)
            return entry.algorithm;
    return std::nullopt;
}

const char* HashName(HashAlgorithm algorithm) {
    switch (algorithm) {
    case HashAlgorithm::Sha1:
        return "sha1";
    case HashAlgorithm::Sha224:
        return "sha224";
    case HashAlgorithm::Sha256:
        return "sha256";
    case HashAlgorithm::Sha384:
        return "sha384";
    case HashAlgorithm::Sha512:
        break;
    }
    return "sha512";
}

std::string SignatureName(const SignatureAlgorithm& algorithm) {
    const char* scheme = algorithm.scheme == SignatureScheme::RsaPkcs1 ? "rsa-"
                         : algorithm.scheme == SignatureScheme::RsaPss ? "rsa-pss-"
                                                                       : "ecdsa-";
    return scheme + std::string(HashName(algorithm.hash));
}

std::string ShortName(std::string_view uri) {
    const std::size_t cut = uri.find_last_of("#/");
    if (cut != std::string_view::npos && cut + 1 < uri.size())
        uri.remove_prefix(cut + 1);
    return std::string(uri);
}

int Base64Digit(char c) {
    static const std::array<std::int8_t, 256> digits = [] {
        std::array<std::int8_t, 256> table{};
        table.fill(-1);
        const char* alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        for (int i = 0; i < 64; ++i)
            table[std::uint8_t(alphabet[i])] = std::int8_t(i);
        return table;
    }();
    return digits[std::uint8_t(c)];
}

std::optional<Bytes> DecodeBase64(std::string_view text) {
    Bytes out;
    out.reserve(text.size() / 4 * 3);
    std::uint32_t group = 0;
    int count = 0;
    int padding = 0;
    for (const char c : text) {
        if (IsXmlSpace(c))
            continue;
        if (c == '=') {
            ++padding;
            continue;
        }
        const int value = Base64Digit(c);
        if (value < 0 || padding > 0)
            return std::nullopt;
        group = (group << 6) | std::uint32_t(value);
        if (++count == 4) {
            out.push_back(std::uint8_t(group >> 16));
            out.push_back(std::uint8_t(group >> 8));
            out.push_back(std::uint8_t(group));
            group = 0;
            count = 0;
        }
    }
    if ((count == 0 && padding != 0) || (count == 1) || (count == 2 && padding != 2) ||
        (count == 3 && padding != 1))
        return std::nullopt;
    if (count == 2) {
        out.push_back(std::uint8_t(group >> 4));
    } else if (count == 3) {
        out.push_back(std::uint8_t(group >> 10));
        out.push_back(std::uint8_t(group >> 2));
    }
    return out;
}

std::optional<std::int64_t> ParseDateTime(std::string_view text) {
    while (!text.empty() && IsXmlSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsXmlSpace(text.back()))
        text.remove_suffix(1);
    std::size_t pos = 0;
    const auto year = Number(text, pos, 4);
    if (!year || !Expect(text, pos, '-'))
        return std::nullopt;
    const auto month = Number(text, pos, 2);
    if (!month || !Expect(text, pos, '-'))
        return std::nullopt;
    const auto day = Number(text, pos, 2);
    if (!day || !Expect(text, pos, 'T'))
        return std::nullopt;
    const auto hour = Number(text, pos, 2);
    if (!hour || !Expect(text, pos, ':'))
        return std::nullopt;
    const auto minute = Number(text, pos, 2);
    if (!minute || !Expect(text, pos, ':'))
        return std::nullopt;
    const auto second = Number(text, pos, 2);
    if (!second || *month < 1 || *month > 12 || *day < 1 || *day > 31 || *hour > 24 ||
        *minute > 59 || *second > 60)
        return std::nullopt;
    if (pos < text.size() && text[pos] == '.') {
        ++pos;
        while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9')
            ++pos;
    }
    std::int64_t offset = 0;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        const int sign = text[pos] == '+' ? 1 : -1;
        ++pos;
        const auto hours = Number(text, pos, 2);
        if (!hours || !Expect(text, pos, ':'))
            return std::nullopt;
        const auto minutes = Number(text, pos, 2);
        if (!minutes)
            return std::nullopt;
        offset = sign * (*hours * 3600 + *minutes * 60);
    } else if (pos < text.size() && text[pos] == 'Z') {
        ++pos;
    }
    if (pos != text.size())
        return std::nullopt;
    return DaysFromCivil(*year, unsigned(*month), unsigned(*day)) * 86400 + *hour * 3600 +
           *minute * 60 + *second - offset;
}

bool IsRsaKey(const CertificateInfo& info) {
    return info.keyType == "RSA";
}

bool IsEcKey(const CertificateInfo& info) {
    // An EC key on a curve without a name of ours keeps the algorithm's OID.
    return info.keyType.rfind("EC ", 0) == 0 || info.keyType == "1.2.840.10045.2.1";
}

std::string KeyName(const CertificateInfo& info) {
    const bool ec = IsEcKey(info);
    if (info.keyBits == 0 || (!ec && !IsRsaKey(info)))
        return {};
    return (ec ? "ec-" : "rsa-") + std::to_string(info.keyBits);
}

} // namespace tolv::signature
