#pragma once
// Revocation of the signer's certificate, from the OCSP responses and CRLs the
// report carries: whether an answer that may speak for the certificate says
// it was good or revoked.

#include "validation/Anchors.h"

#include <cstdint>
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

struct RevocationData {
    std::vector<Bytes> ocspResponses; // DER OCSPResponse, as EncapsulatedOCSPValue holds them
    std::vector<Bytes> crls;          // DER CertificateList, as EncapsulatedCRLValue holds them
};

// Of certificate, issued by issuer (both DER). An OCSP response counts when it
// is signed by the issuer, or by a responder the issuer certified with the
// OCSP-signing extended key usage (its certificate inside the response or
// among others), names the certificate, and was produced at or after
// bestSignatureTime; a CRL counts when the issuer signed it and it was issued
// at or after bestSignatureTime. Good or revoked from the first that counts,
// revoked winning over good; Unknown when there is data and none counts;
// None when there is none.
RevocationFacts CheckRevocation(const Bytes& certificate, const Bytes& issuer,
                                const RevocationData& data, const std::vector<Bytes>& others,
                                std::int64_t bestSignatureTime);

} // namespace tolv::validation
