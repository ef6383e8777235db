#include "core/CheckState.h"

#include <cfenv>
#include <cmath>

namespace tolv::ui {

std::optional<int> CheckStateFromNumber(double number) {
    if (!std::isfinite(number))
        return std::nullopt;
    // The default rounding mode rounds halves to the even neighbour (0.5 -> 0,
    // 1.5 -> 2, 2.5 -> 2), as the classic CInt does; set it explicitly in case
    // someone changed it.
    const int previous = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const double rounded = std::nearbyint(number);
    std::fesetround(previous);
    // Whatever overflows 16 bits fails as well as any other non-state.
    if (rounded != kUnchecked && rounded != kChecked && rounded != kIndeterminate)
        return std::nullopt;
    return static_cast<int>(rounded);
}

} // namespace tolv::ui
