#pragma once
// The argument text of the command line.

#include <optional>
#include <string>
#include <string_view>

namespace tolv {

// The argument text: what follows the program's own name on the command line,
// with the blanks around it removed, otherwise untouched (quotes stay).
std::wstring ArgumentText(std::wstring_view commandLine);

// The report path in the argument text. Dragging a report onto the program and
// "Open with" pass it in quotes, and a Windows path never holds a quote: one
// pair around the whole text goes. Anything else stays as it is.
std::wstring ReportPath(std::wstring_view argumentText);

// The switch of the "İmza bilgisi" verb: "/imza PATH".
inline constexpr wchar_t kSignatureInfoSwitch[] = L"/imza";

// The report path when the argument text is the switch, a blank and a path
// (quoted or not, read as ReportPath reads it); nothing otherwise, and the
// whole text is then a report path as before.
std::optional<std::wstring> SignatureInfoPath(std::wstring_view argumentText);

} // namespace tolv
