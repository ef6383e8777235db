// The number rule of the check boxes and the twips conversion.

#include "core/CheckState.h"

#include <gtest/gtest.h>

#include <limits>

namespace tolv::ui {
namespace {

TEST(CheckStateFromNumber, RoundsHalvesToTheEvenNeighbour) {
    EXPECT_EQ(CheckStateFromNumber(0.5), 0);
    EXPECT_EQ(CheckStateFromNumber(1.5), 2);
    EXPECT_EQ(CheckStateFromNumber(2.5), 2);
    EXPECT_EQ(CheckStateFromNumber(-0.5), 0);
    EXPECT_EQ(CheckStateFromNumber(0.51), 1);
    EXPECT_EQ(CheckStateFromNumber(2.49), 2);
}

TEST(CheckStateFromNumber, RefusesWhatIsNoCheckState) {
    for (double number :
         {2.51, 3.0, 5.0, -1.0, -0.51, 32768.0, -4294967296.0, 1e300,
          std::numeric_limits<double>::infinity(), std::numeric_limits<double>::quiet_NaN()})
        EXPECT_EQ(CheckStateFromNumber(number), std::nullopt) << number;
}

TEST(StateAfterClick, NeverLeadsToIndeterminate) {
    EXPECT_EQ(StateAfterClick(kUnchecked), kChecked);
    EXPECT_EQ(StateAfterClick(kChecked), kUnchecked);
    EXPECT_EQ(StateAfterClick(kIndeterminate), kUnchecked);
}

TEST(TwipsToPixels, FifteenTwipsMakeAPixelAt96Dpi) {
    EXPECT_EQ(TwipsToPixels(5730, 96), 382);
    EXPECT_EQ(TwipsToPixels(130, 96), 9);     // 8.67
    EXPECT_EQ(TwipsToPixels(3825, 144), 383); // 382.5 rounds up
    EXPECT_EQ(TwipsToPixels(365, 120), 30);   // 30.4
}

} // namespace
} // namespace tolv::ui
