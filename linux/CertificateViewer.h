#pragma once
// The signer's certificate in the desktop's certificate viewer (gcr-viewer,
// from the gcr package).

#include "signature/Crypto.h"

#include <string>

namespace tolv::linux_edition {

inline constexpr char kCertificateViewer[] = "gcr-viewer";

// Writes the certificate (DER) as PEM to a new private folder (0700, the file
// 0600) and starts the viewer on it without waiting; the folder goes when the
// viewer ends, if this program still runs then. An empty text once started,
// else why not, for the user.
std::string ShowCertificate(const signature::Bytes& der);

} // namespace tolv::linux_edition
