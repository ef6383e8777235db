#pragma once
// Certificates parsed once per process: OpenSSL 3 decodes a certificate's key
// as it parses it, which costs more than anything else done with it, and the
// parts of one check (and the reports of one archive) read the same few
// certificates again and again.

#include <openssl/x509.h>

#include <cstdint>
#include <span>

namespace tolv::signature {

// A new reference (X509_free it) to the certificate der holds, shared with
// earlier parses of the same bytes on any thread; nullptr when der is not a
// certificate OpenSSL can read.
X509* ParseSharedCertificate(std::span<const std::uint8_t> der);

} // namespace tolv::signature
