#include "validation/Qualified.h"

namespace tolv::validation {

bool QualifiedClaim::Claimed() const {
    // A QcType that names only seals or web sites is no signature's.
    return turkishPolicy || (qcCompliance && (!qcTypePresent || qcTypeEsign));
}

} // namespace tolv::validation
