#pragma once
// The rule that turns a stored preference value into a number and an on/off
// state; the viewer and the preferences window of both editions use it.

#include <string_view>

namespace tolv {

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
