#pragma once
// The anchors a signer's chain may end in on this machine: the system's
// (ca-certificates) and the institution's trust folders.

#include "validation/Anchors.h"

namespace tolv::linux_edition {

// A folder or file that cannot be read is said on standard error and left out:
// the signature is still judged with the rest.
validation::Anchors MachineAnchors();

} // namespace tolv::linux_edition
