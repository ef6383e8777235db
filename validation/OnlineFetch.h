#pragma once
// What asking online needs of the platform: where a certificate says its
// status is published, an OCSP request for it, and one HTTP exchange.

#include "signature/Crypto.h"

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace tolv::validation::detail {

using signature::Bytes;

struct StatusSources {
    std::vector<std::string> ocsp; // Authority Information Access, id-ad-ocsp, http only
    std::vector<std::string> crl;  // CRL distribution points, http only
};
StatusSources StatusSourcesOf(const Bytes& certificate);

// A DER OCSPRequest for certificate, issued by issuer (a SHA-1 CertID, as
// responders expect); empty when one cannot be made.
Bytes OcspRequestFor(const Bytes& certificate, const Bytes& issuer);

struct HttpAnswer {
    bool ok = false;
    Bytes body;
    std::string error; // in Turkish, when not ok
};

// A GET, or a POST of body as contentType when body is not empty; through
// the system's proxy settings. timeout bounds the whole exchange, from the
// name lookup to the last byte. A redirect is not followed but fails, as do
// answers larger than kMaxAnswer.
inline constexpr std::size_t kMaxAnswer = 16 * 1024 * 1024;
HttpAnswer HttpExchange(const std::string& url, const Bytes& body, const char* contentType,
                        std::chrono::milliseconds timeout);

std::filesystem::path UserCacheFolder(); // the platform's per-user cache folder; empty when none

} // namespace tolv::validation::detail
