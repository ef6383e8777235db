#include "app/Modes.h"

namespace tolv {

// Setup is not built yet: the program ends quietly.
bool RunSetupMode() {
    return false;
}

} // namespace tolv
