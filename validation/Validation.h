#pragma once
// A signature's validation: what the signature check found, the signer's
// chain at the best signature time, revocation, the algorithms, and what the
// certificate claims of itself; one conclusion from all of it.

#include "signature/Verifier.h"
#include "validation/Anchors.h"
#include "validation/Chain.h"
#include "validation/Conclusion.h"
#include "validation/Qualified.h"

#include <cstdint>

namespace tolv::validation {

struct ValidationReport {
    Conclusion conclusion;
    ChainFacts chain;
    QualifiedClaim qualified;
    Revocation revocation = Revocation::None;
    // The time the chain was judged at: a time-stamp's proven time, else now.
    std::int64_t bestSignatureTime = 0;
};

// now: the current time, seconds since 1970 (UTC).
ValidationReport Validate(const signature::SignatureReport& report, const Anchors& anchors,
                          std::int64_t now);

} // namespace tolv::validation
