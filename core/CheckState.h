#pragma once
// How the preferences window turns a stored number into a check box state, and
// twips into pixels. Free of Windows.

#include <optional>

namespace tolv::ui {

// Check box states as stored: unchecked, checked, indeterminate (shown greyed).
inline constexpr int kUnchecked = 0;
inline constexpr int kChecked = 1;
inline constexpr int kIndeterminate = 2;

// The number rounded to a 16-bit integer, halves to the even neighbour, when
// that is a check state (0, 1 or 2); nothing otherwise (out of range, not a
// state, not a number).
std::optional<int> CheckStateFromNumber(double number);

// The state a user's click leads to: unchecked becomes checked, checked and
// indeterminate become unchecked (as Windows' own check boxes leave the
// indeterminate state). A click never produces the indeterminate state.
constexpr int StateAfterClick(int state) {
    return state == kUnchecked ? kChecked : kUnchecked;
}

// 1440 twips make an inch; at 96 dots per inch one pixel is 15 twips. Rounds to
// the nearest pixel, halves away from zero (as MulDiv does).
constexpr int TwipsToPixels(int twips, unsigned dpi) {
    long long scaled = static_cast<long long>(twips) * dpi;
    return static_cast<int>(scaled >= 0 ? (scaled + 720) / 1440 : -((-scaled + 720) / 1440));
}

} // namespace tolv::ui
