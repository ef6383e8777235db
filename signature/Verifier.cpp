#include "signature/Verifier.h"

namespace tolv::signature {

const char* StatusName(Status status) {
    switch (status) {
    case Status::Intact:
        return "intact";
    case Status::Altered:
        return "altered";
    case Status::Unknown:
        break;
    }
    return "unknown";
}

} // namespace tolv::signature
