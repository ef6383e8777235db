#pragma once
// The system's trust anchors for an OpenSSL store.

#include <openssl/x509_vfy.h>

namespace tolv::signature {

// Adds the system's roots to store as OpenSSL's default paths name them, but
// looked up in the certificate folder by subject hash as a chain needs them
// (Debian's /etc/ssl/certs), instead of the whole bundle parsed up front: a
// few hundred roots cost tens of milliseconds, more than checking a small
// report. SSL_CERT_FILE, where set, is read whole, once per process while it
// does not change; SSL_CERT_DIR names the
// folder. false when neither could be added.
bool AddSystemRoots(X509_STORE* store);

} // namespace tolv::signature
