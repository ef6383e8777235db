#pragma once
// Whether a certificate's key is meant for signatures at all: a web server's
// certificate under a system root is no signer's, however well it chains.

#include "signature/Crypto.h"

namespace tolv::validation {

// True when the certificate's key usage, where it has one, allows digital
// signatures or non-repudiation, and its extended key usage, where it has
// one, names e-mail protection, document signing (RFC 9336, or Microsoft's)
// or any purpose. False for a certificate that cannot be read.
bool FitForSignatures(const signature::Bytes& certificate);

} // namespace tolv::validation
