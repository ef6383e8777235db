#pragma once
// The argument text of the command line.

#include <string>
#include <string_view>

namespace tolv {

// The argument text: what follows the program's own name on the command line,
// with the blanks around it removed, otherwise untouched (quotes stay).
std::wstring ArgumentText(std::wstring_view commandLine);

} // namespace tolv
