#pragma once
// How the platforms' chain engines turn what they found into ChainFacts, with
// the same Turkish reasons on both.

#include "validation/Chain.h"

#include <cstddef>
#include <string>
#include <vector>

namespace tolv::validation::detail {

// The certificate's CN, else its subject; "?" when it cannot be read.
std::string NameOf(const Bytes& certificate);

// chain: signer first, the anchor last.
ChainFacts Found(std::vector<Bytes> chain);
ChainFacts OutOfBoundsAt(std::vector<Bytes> chain, std::size_t index);
ChainFacts BadSignatureAt(std::vector<Bytes> chain, std::size_t index);
ChainFacts NotCaAt(std::vector<Bytes> chain, std::size_t index);
// Another defect the platform names (detail: its words, as they come).
ChainFacts DefectAt(std::vector<Bytes> chain, std::size_t index, const std::string& detail);

// No anchor reached: certificate is the last one the chain got to.
ChainFacts IssuerMissing(const Bytes& certificate);
ChainFacts SelfSignedSigner(const Bytes& signer);
ChainFacts UntrustedRoot(const Bytes& root);
ChainFacts NoChainBecause(std::string reason);

} // namespace tolv::validation::detail
