#pragma once
// Small text helpers shared by both editions.

#include <string>
#include <string_view>

namespace tolv {

// Removes blanks (spaces and tabs) at both ends.
std::string_view TrimBlanks(std::string_view text);
std::wstring_view TrimBlanks(std::wstring_view text);

// Replaces every "_" by CR LF: resource strings mark their line breaks this way.
std::wstring ExpandLineBreaks(std::wstring_view text);

} // namespace tolv
