#pragma once
// The algorithm identifiers of XML-DSig, xmlenc and xmldsig-more that the
// check knows, and small decoding helpers for the values a signature holds.

#include "signature/Crypto.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tolv::signature {

std::optional<HashAlgorithm> DigestFromUri(std::string_view uri);
std::optional<SignatureAlgorithm> SignatureFromUri(std::string_view uri);
const char* HashName(HashAlgorithm algorithm); // "sha256"
std::string SignatureName(const SignatureAlgorithm& algorithm); // "rsa-sha256", "rsa-pss-sha256", "ecdsa-sha256"
// An algorithm's URI as a user may recognise it: what follows its last '#'
// or '/' ("rsa-sha1", "REC-xpath-19991116").
std::string ShortName(std::string_view uri);

constexpr std::string_view kEnvelopedSignature =
    "http://www.w3.org/2000/09/xmldsig#enveloped-signature";
constexpr std::string_view kBase64Transform = "http://www.w3.org/2000/09/xmldsig#base64";

// A Base64 letter's value, -1 for any other byte.
int Base64Digit(char c);

// Base64 as XML-DSig values hold it: white space anywhere, padding only at the
// end. nullopt for anything else.
std::optional<Bytes> DecodeBase64(std::string_view text);

// xsd:dateTime ("2024-05-06T07:08:09Z", "...+03:00", fractions) as seconds
// since 1970 UTC; without a zone it is read as UTC.
std::optional<std::int64_t> ParseDateTime(std::string_view text);

} // namespace tolv::signature
