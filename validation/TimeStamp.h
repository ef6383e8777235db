#pragma once
// A signature time-stamp (RFC 3161) as proof that the signature existed at
// the time it names.

#include "validation/Anchors.h"
#include "validation/Revocation.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tolv::validation {

struct TimeStampFacts {
    bool valid = false;
    std::int64_t time = 0; // genTime, seconds since 1970 (UTC)
    std::string authority; // the TSA certificate's CN, else its subject, when read
    std::string reason;    // in Turkish, why not valid
};

// token: a TimeStampToken (a CMS SignedData ContentInfo, DER), as XAdES'
// EncapsulatedTimeStamp holds it. covered: the bytes its message imprint must
// be the digest of. Valid when the imprint matches, the TSA's signature over
// the token verifies, its certificate (inside the token or among others) has
// the time-stamping extended key usage, critical, and chains to an anchor at
// the token's own time and still at now (seconds since 1970, UTC): an
// authority whose certificate has since lapsed proves nothing without a
// further proof this program does not read.
// revocation: the report's own OCSP responses and CRLs; one that shows the
// authority's certificate revoked at or before the token's time makes it
// invalid (one that says nothing of it is not held against it).
TimeStampFacts VerifyTimeStamp(const Bytes& token, const Bytes& covered,
                               const std::vector<Bytes>& others, const Anchors& anchors,
                               std::int64_t now, const RevocationData& revocation = {});

} // namespace tolv::validation
