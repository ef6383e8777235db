#pragma once
// Until when the algorithms a signature uses were acceptable for making one.

#include "signature/Verifier.h"

#include <cstdint>
#include <optional>
#include <string>

namespace tolv::validation {

struct AlgorithmLimit {
    std::string what; // in Turkish, for the reason: "SHA-1", "2048 bitten kısa RSA anahtarı"
    std::int64_t until = 0; // the last second it was acceptable, since 1970 (UTC)
};

// The earliest limit among what the signature uses; nothing when all of it is
// acceptable today.
std::optional<AlgorithmLimit> AlgorithmLimitOf(const signature::SignatureReport& report);

// The same for a certificate chain (the signer's first, the anchor last):
// the digest each certificate was signed with and each key, the anchor's own
// excepted (its key is trusted as it is).
std::optional<AlgorithmLimit> ChainAlgorithmLimit(const std::vector<signature::Bytes>& chain);

// The earlier of two limits.
std::optional<AlgorithmLimit> Earliest(std::optional<AlgorithmLimit> a,
                                       std::optional<AlgorithmLimit> b);

} // namespace tolv::validation
