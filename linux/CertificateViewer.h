#pragma once
// The signer's certificate in the desktop's certificate viewer (gcr-viewer,
// from the gcr package).

#include "signature/Crypto.h"

#include <string>

namespace tolv::linux_edition {

inline constexpr char kCertificateViewer[] = "gcr-viewer";

// Writes the certificate (DER) and the rest of its path (the issuers, the
// anchor last) as one PEM file named after the signer to a new private folder
// (0700, the file 0600) and starts the viewer on it without waiting; the
// folder goes when the viewer ends. An empty text once started, else why not,
// for the user.
std::string ShowCertificate(const signature::Bytes& der, const std::vector<signature::Bytes>& path,
                            const std::string& signer);

// Waits until every viewer ShowCertificate started has ended and its copy is
// gone: the window may close before the viewer does.
void WaitForCertificateViewers();

// Removes the copies of earlier runs that are older than a day: a run that was
// ended before its viewer left its copy behind.
void RemoveOldCertificateCopies();

} // namespace tolv::linux_edition
