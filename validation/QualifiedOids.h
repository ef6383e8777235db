#pragma once
// The identifiers a qualified certificate's claim is made of, and how the
// platforms' decoded statements and policies become a QualifiedClaim.

#include "validation/Qualified.h"

#include <string>
#include <string_view>
#include <vector>

namespace tolv::validation::detail {

inline constexpr const char* kQcStatementsOid = "1.3.6.1.5.5.7.1.3";
inline constexpr std::string_view kQcComplianceOid = "0.4.0.1862.1.1";
inline constexpr std::string_view kQcSscdOid = "0.4.0.1862.1.4";
inline constexpr std::string_view kQcTypeOid = "0.4.0.1862.1.6";
inline constexpr std::string_view kQcTypeEsignOid = "0.4.0.1862.1.6.1";
inline constexpr std::string_view kTurkishQualifiedPolicyOid = "2.16.792.1.61.0.1.5070.1.1";

// types: for QcType, the types it names.
inline void NoteStatement(QualifiedClaim& claim, std::string_view id,
                          const std::vector<std::string>& types) {
    if (id == kQcComplianceOid)
        claim.qcCompliance = true;
    else if (id == kQcSscdOid)
        claim.qcSscd = true;
    else if (id == kQcTypeOid) {
        claim.qcTypePresent = true;
        for (const std::string& type : types)
            claim.qcTypeEsign = claim.qcTypeEsign || type == kQcTypeEsignOid;
    }
}

inline void NotePolicy(QualifiedClaim& claim, std::string_view id) {
    claim.turkishPolicy = claim.turkishPolicy || id == kTurkishQualifiedPolicyOid;
}

} // namespace tolv::validation::detail
