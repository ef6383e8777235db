#include "validation/KeyPurpose.h"

#include "validation/KeyPurposeOids.h"

#include <string_view>

namespace tolv::validation::detail {

bool SigningPurpose(std::string_view oid) {
    for (const std::string_view fit : kSigningPurposes)
        if (oid == fit)
            return true;
    return false;
}

} // namespace tolv::validation::detail
