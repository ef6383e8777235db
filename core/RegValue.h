#pragma once
// The value that the registry class hands to and from its callers, and the
// small text rules of the class that need no Windows: they build and are
// tested on every platform.

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

namespace tolv {

// Empty; a 16-bit integer (only the 0 of a failed read); a 32-bit integer; a text.
using RegValue = std::variant<std::monostate, int16_t, int32_t, std::wstring>;

// The empty text, the decimal digits of an integer, or the text itself.
std::wstring RegValueText(const RegValue& value);

// The value as a 32-bit integer for writing a REG_DWORD: the integers as they
// are, empty as 0, a text only when it holds a decimal number in range (blanks
// around it allowed). Answers false otherwise and leaves `number` untouched.
bool RegValueToInt32(const RegValue& value, int32_t& number);

// The text after the last backslash, spaces trimmed, one trailing NUL removed;
// `folder` receives the path with every occurrence of that name taken out.
std::wstring ExtractFileName(std::wstring_view path, std::wstring& folder);

} // namespace tolv
