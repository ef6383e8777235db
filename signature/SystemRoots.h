#pragma once
// The system's trust anchors for an OpenSSL store: the only part of the
// certificate checks that differs between the editions.

#include "signature/Crypto.h"

#include <openssl/x509_vfy.h>

#include <vector>

namespace tolv::signature {

// Adds the system's roots to store; false when none could be added.
// Linux: OpenSSL's default paths as Debian's ca-certificates fills them, the
// folder looked up by subject hash as a chain needs a root (a few hundred
// roots parsed up front cost more than checking a small report);
// SSL_CERT_FILE, where set, is read whole, once per process while it does not
// change, and SSL_CERT_DIR names the folder.
// Windows: the certificates of the system's ROOT stores (the user's, the
// machine's, and those Group Policy and the enterprise add) less the
// Disallowed ones and those whose properties narrow them to purposes other
// than signatures, time-stamps and revocation answers, read at each call: a store is made once per run, and sees
// a root trusted or distrusted a moment ago.
bool AddSystemRoots(X509_STORE* store);

// The certificates the system distrusts outright, whatever chain they stand
// in (Windows: the Disallowed stores, where an administrator or Windows Update
// puts a compromised CA); none on Linux, where a distrusted root is simply
// absent.
std::vector<Bytes> DistrustedCertificates();

} // namespace tolv::signature
