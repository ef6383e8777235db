#pragma once
// The anchors a signature is validated against on this machine: the system's
// trusted roots and the institution's (the TrustAnchors setting).

#include "validation/Anchors.h"

namespace tolv {

// A path of the institution's that cannot be used is left out: the signature
// is still judged, against the rest.
validation::Anchors MachineAnchors();

} // namespace tolv
