#pragma once
// X.509 certificate validation: a chain from the signer's certificate through
// the certificates the report carries to an anchor, judged at one time.

#include "validation/Anchors.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tolv::validation {

struct ChainFacts {
    enum class Outcome {
        Found,       // a chain to an anchor, every certificate valid at the time
        NoChain,     // no anchor reached, or a certificate of the chain is missing
        OutOfBounds, // a chain to an anchor, but a certificate was outside its validity then
        Broken,      // a certificate's signature does not verify, or one is not a CA
    };
    Outcome outcome = Outcome::NoChain;
    std::string anchor;        // the anchor that served (CN, else the subject), when reached
    std::string outOfBounds;   // for OutOfBounds: which certificate (CN, else the subject)
    std::int64_t notAfter = 0; // of that certificate, seconds since 1970 (UTC)
    std::int64_t notBefore = 0;
    std::vector<Bytes> chain; // signer first, the anchor last, when reached
    std::string reason;       // in Turkish, for the technical details
};

// time: seconds since 1970 (UTC), the time the chain is judged at.
// intermediates: every other certificate the report carries (KeyInfo and
// CertificateValues), in any order, duplicates allowed.
ChainFacts ValidateChain(const Bytes& signer, const std::vector<Bytes>& intermediates,
                         const Anchors& anchors, std::int64_t time);

} // namespace tolv::validation
