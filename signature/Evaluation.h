#pragma once
// The answer of one read: what its parts established, turned into intact,
// altered or unknown with the reason, and what can be told of the signer and
// the algorithms whatever the answer.

#include "signature/DocumentContext.h"
#include "signature/ReferenceDigests.h"
#include "signature/SignatureStructure.h"
#include "signature/Verifier.h"

#include <cstdint>

namespace tolv::signature {

struct ReadFacts {
    const Obstacle& obstacle;
    const DocumentContext& document;
    const SignatureStructure& signature;
    const ReferenceDigests& digests;
    std::uint64_t payload = 0; // the element that carries the PDF; 0 when none
};

SignatureReport Evaluate(const ReadFacts& facts);

} // namespace tolv::signature
