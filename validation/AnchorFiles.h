#pragma once
// Reading anchor files: the portable walk over files and folders in Anchors.cpp,
// the platform's PEM and DER decoding behind this.

#include "signature/Crypto.h"

#include <vector>

namespace tolv::validation::detail {

// The certificates of a file's contents: every certificate of a PEM text, or
// the one certificate of DER; none when it holds neither.
std::vector<signature::Bytes> CertificatesIn(const signature::Bytes& contents);

} // namespace tolv::validation::detail
