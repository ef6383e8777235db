#pragma once
// The one pair of conversions between the bytes of a code page and the UTF-16
// of the Windows API.

#include <string>
#include <string_view>

namespace tolv {

// Bytes of a code page (CP_UTF8, CP_ACP, ...) <-> UTF-16. Invalid input is
// replaced, never dropped; a NUL is converted like any other character.
std::wstring ToWide(unsigned codePage, std::string_view bytes);
std::string FromWide(unsigned codePage, std::wstring_view text);

// UTF-8 <-> UTF-16 at the Windows boundary.
std::wstring Utf8ToWide(std::string_view text);
std::string WideToUtf8(std::wstring_view text);

} // namespace tolv
