#include "app/Modes.h"

namespace tolv {

// Viewing a report is not built yet: the program ends quietly.
void RunFileMode(const std::wstring&) {}

} // namespace tolv
