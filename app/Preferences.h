#pragma once
// The viewer preferences in the registry and the rule that turns a stored value
// into a number and an on/off state. The preferences window uses the same rule.

#include <string_view>

namespace tolv {

// Each setting is the default value of its own key (the trailing backslash
// addresses the default value). Earlier 32-bit versions kept them in the 32-bit
// registry view, so they are read and written there.
inline constexpr wchar_t kBrowserSettingPath[] =
    L"HKEY_LOCAL_MACHINE\\SOFTWARE\\TolvViewerBrowser\\CurrentVersion\\Browser\\";
inline constexpr wchar_t kSavePDFSettingPath[] =
    L"HKEY_LOCAL_MACHINE\\SOFTWARE\\TolvViewerBrowser\\CurrentVersion\\SavePDF\\";
inline constexpr wchar_t kFrameSettingPath[] =
    L"HKEY_LOCAL_MACHINE\\SOFTWARE\\TolvViewerBrowser\\CurrentVersion\\Frame\\";

// The number at the start of a text, read the way the classic Val function
// reads it: spaces, tabs and line feeds are ignored wherever they are; then an
// optional sign, digits with an optional decimal point, and an optional
// exponent (E or D); or &H / &O followed by hexadecimal / octal digits. Reading
// stops at the first character that cannot continue the number; a text that
// does not begin with one gives 0. A decimal number beyond the range of a
// double gives an infinity of its sign.
double Val(std::wstring_view text);

// A setting is on when the number at the start of its value's text is not 0.
bool SettingIsOn(std::wstring_view valueText);

} // namespace tolv
