#pragma once
// What a certificate claims of itself as a qualified certificate for
// electronic signatures. A claim only: no trusted list is consulted.

#include "signature/Crypto.h"

namespace tolv::validation {

struct QualifiedClaim {
    bool qcCompliance = false;  // QCStatements: QcCompliance (0.4.0.1862.1.1)
    bool qcSscd = false;        // QcSSCD (0.4.0.1862.1.4)
    bool qcTypePresent = false; // QcType (0.4.0.1862.1.6), whatever types it names
    bool qcTypeEsign = false;   // ...among them id-etsi-qct-esign (0.4.0.1862.1.6.1)
    bool turkishPolicy = false; // certificate policy 2.16.792.1.61.0.1.5070.1.1

    // Qualified for electronic signatures, as the certificate says: EU
    // compliance (with no QcType, or QcType esign among them), or the Turkish
    // qualified-certificate policy.
    bool Claimed() const;
};

// Of a DER certificate; nothing claimed when it cannot be read.
QualifiedClaim QualifiedClaimOf(const signature::Bytes& certificate);

} // namespace tolv::validation
