#pragma once
// The one place where what the building blocks established becomes the
// signature's conclusion. Facts first, verdict last: nothing here looks at a
// certificate or a clock.

#include "signature/Verifier.h"
#include "validation/AlgorithmPolicy.h"
#include "validation/Chain.h"
#include "validation/Indication.h"
#include "validation/Revocation.h"

#include <cstdint>
#include <optional>
#include <string>

namespace tolv::validation {

struct ValidationFacts {
    // Integrity: the signature check.
    signature::Status integrity = signature::Status::Unknown;
    signature::UnknownCause cause = signature::UnknownCause::None;
    signature::SignatureReport::Mismatch mismatch = signature::SignatureReport::Mismatch::None;
    // X.509 validation at the best signature time.
    ChainFacts::Outcome chain = ChainFacts::Outcome::NoChain;
    Revocation revocation = Revocation::None;
    std::optional<std::int64_t> revokedAt;
    // The CA certificates of the chain (the anchor excepted): the earliest
    // revocation shown, and the first whose revocation nothing settles.
    std::optional<std::int64_t> caRevokedAt;
    std::string caUnsettled;
    // Proof of existence: a valid signature time-stamp's time.
    std::optional<std::int64_t> provenTime;
    // Signature acceptance: the signer's key is meant for signatures, and the
    // earliest algorithm limit, if any applies.
    bool signingKey = true;
    std::optional<AlgorithmLimit> algorithmLimit;
};

struct Conclusion {
    Indication indication = Indication::Indeterminate;
    SubIndication sub = SubIndication::FormatFailure;
    std::string reason; // in Turkish, empty when valid
};

Conclusion Conclude(const ValidationFacts& facts);

} // namespace tolv::validation
