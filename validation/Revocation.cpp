#include "validation/Revocation.h"

namespace tolv::validation {

const char* RevocationName(Revocation revocation) {
    switch (revocation) {
    case Revocation::Good:
        return "good";
    case Revocation::Revoked:
        return "revoked";
    case Revocation::Unknown:
        return "unknown";
    case Revocation::None:
        break;
    }
    return "none";
}

} // namespace tolv::validation
