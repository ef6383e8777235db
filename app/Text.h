#pragma once
// Small text helpers shared by the portable core and the Windows layer.

#include <string>
#include <string_view>

namespace tolv {

// Removes blanks (spaces and tabs) at both ends.
std::string_view TrimBlanks(std::string_view text);
std::wstring_view TrimBlanks(std::wstring_view text);

// Replaces every "_" by CR LF: resource strings mark their line breaks this way.
std::wstring ExpandLineBreaks(std::wstring_view text);

#ifdef _WIN32
// Bytes of a code page (CP_UTF8, CP_ACP, ...) <-> UTF-16. Invalid input is
// replaced, never dropped; a NUL is converted like any other character.
std::wstring ToWide(unsigned codePage, std::string_view bytes);
std::string FromWide(unsigned codePage, std::wstring_view text);

// UTF-8 <-> UTF-16 at the Windows boundary.
std::wstring Utf8ToWide(std::string_view text);
std::string WideToUtf8(std::wstring_view text);
#endif

} // namespace tolv
