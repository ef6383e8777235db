#pragma once
// Revocation of the signer's certificate, from the OCSP responses and CRLs the
// report carries: whether an answer that may speak for the certificate says
// it was good or revoked.

#include "validation/Anchors.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tolv::validation {

enum class Revocation {
    None,    // the report carries no revocation data (and none was fetched)
    Good,    // an answer that covers the signer's certificate says it is good
    Revoked, // ...says it was revoked, at revokedAt
    Unknown, // there is revocation data, but none that speaks for the certificate
};

const char* RevocationName(Revocation revocation); // "none", "good", "revoked", "unknown"

struct RevocationFacts {
    Revocation status = Revocation::None;
    std::optional<std::int64_t> revokedAt; // seconds since 1970 (UTC)
    std::string source;                    // "ocsp" or "crl": what decided it
    std::string reason;                    // in Turkish, why Unknown (which answer failed how)
    // The answer was fetched from the certificate's responder or distribution
    // point, at askedAt, rather than carried by the report.
    bool online = false;
    std::int64_t askedAt = 0;
    // Of the answer that decided: when a newer one is due (0 when it does not say).
    std::int64_t nextUpdate = 0;
};

namespace detail {
struct ParsedAnswers;
}

struct RevocationData {
    std::vector<Bytes> ocspResponses; // DER OCSPResponse, as EncapsulatedOCSPValue holds them
    std::vector<Bytes> crls;          // DER CertificateList, as EncapsulatedCRLValue holds them
    // Each answer parsed once, on first use, for every certificate judged by
    // it (a CRL of 150,000 entries costs tens of milliseconds a parse). The
    // lists must not change afterwards.
    mutable std::shared_ptr<detail::ParsedAnswers> parsed = {};
};

// data without answers that repeat one before them byte for byte.
RevocationData WithoutRepeats(const std::vector<Bytes>& ocsp, const std::vector<Bytes>& crls);

// The time answers are judged at.
struct JudgedAt {
    std::int64_t time = 0; // a "good" answer issued before it says nothing
    bool proven = true;    // time is a proven signing time, else the time of the check
    // For answers fetched online then: a delegated responder must be valid
    // then too.
    std::optional<std::int64_t> fetchedAt;
};

// Of certificate, issued by issuer (both DER). An answer counts when it names
// the certificate and is signed by the issuer, or (OCSP) by a responder the
// issuer certified with the OCSP-signing extended key usage (its certificate
// inside the response or among others) that was valid when it answered, is
// fit for signatures and was not revoked then (its status from the same data,
// unless it carries id-pkix-ocsp-nocheck). A revocation counts however old the
// answer; "good" only from an answer issued at or after at.time, and, when
// issued after the certificate expired, only from one that keeps expired
// entries (ExpiredCertsOnCRL, archiveCutoff) since the expiry or earlier.
// Revoked wins over good; Unknown when there is data and none counts; None
// when there is none.
RevocationFacts CheckRevocation(const Bytes& certificate, const Bytes& issuer,
                                const RevocationData& data, const std::vector<Bytes>& others,
                                const JudgedAt& at);
inline RevocationFacts CheckRevocation(const Bytes& certificate, const Bytes& issuer,
                                       const RevocationData& data, const std::vector<Bytes>& others,
                                       std::int64_t bestSignatureTime) {
    return CheckRevocation(certificate, issuer, data, others,
                           JudgedAt{bestSignatureTime, true, std::nullopt});
}

} // namespace tolv::validation
