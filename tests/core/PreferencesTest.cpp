#include "core/Preferences.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

using tolv::SettingIsOn;
using tolv::Val;

TEST(ValTest, ReadsTheNumberAtTheStartAndStopsAtTheFirstOtherCharacter) {
    EXPECT_EQ(Val(L"1"), 1);
    EXPECT_EQ(Val(L"-1"), -1);
    EXPECT_EQ(Val(L"+7"), 7);
    EXPECT_EQ(Val(L"0.4"), 0.4);
    EXPECT_EQ(Val(L"12abc"), 12);
    EXPECT_EQ(Val(L"1,5"), 1);
    EXPECT_EQ(Val(L"1.2.3"), 1.2);
    EXPECT_EQ(Val(L".5"), 0.5);
    EXPECT_EQ(Val(L"5."), 5);
    EXPECT_EQ(Val(L"4294967295"), 4294967295.0);
}

TEST(ValTest, ATextWithoutALeadingNumberGivesZero) {
    EXPECT_EQ(Val(L""), 0);
    EXPECT_EQ(Val(L"abc"), 0);
    EXPECT_EQ(Val(L"-"), 0);
    EXPECT_EQ(Val(L"."), 0);
    EXPECT_EQ(Val(L"--1"), 0);
    EXPECT_EQ(Val(L"x1"), 0);
}

TEST(ValTest, IgnoresSpacesTabsAndLineFeedsAnywhere) {
    EXPECT_EQ(Val(L" 2"), 2);
    EXPECT_EQ(Val(L" 1 2\t3\n4"), 1234);
    EXPECT_EQ(Val(L"- 5"), -5);
    EXPECT_EQ(Val(L"1 . 5 e 1"), 15);
    // Carriage return and a no-break space are not blanks to Val.
    EXPECT_EQ(Val(L"1\r2"), 1);
    EXPECT_EQ(Val(L"1\u00A02"), 1);
    EXPECT_EQ(Val(L"\u00A02"), 0);
}

TEST(ValTest, ReadsExponentsWithEOrD) {
    EXPECT_EQ(Val(L"1.5e2"), 150);
    EXPECT_EQ(Val(L"1.5E+2"), 150);
    EXPECT_EQ(Val(L"2D3"), 2000);
    EXPECT_EQ(Val(L"25d-1"), 2.5);
    // An exponent mark without digits ends the number before it.
    EXPECT_EQ(Val(L"1e"), 1);
    EXPECT_EQ(Val(L"1e+"), 1);
    EXPECT_EQ(Val(L"3ex"), 3);
}

TEST(ValTest, NumbersBeyondADoubleBecomeInfinityOrZeroNotAnError) {
    EXPECT_EQ(Val(L"1e400"), std::numeric_limits<double>::infinity());
    EXPECT_EQ(Val(L"-1e400"), -std::numeric_limits<double>::infinity());
    EXPECT_EQ(Val(L"1e-400"), 0);
    EXPECT_EQ(Val(L"0.000001e300"), 1e294);
    EXPECT_EQ(Val(L"1e99999999999999999999"), std::numeric_limits<double>::infinity());
}

TEST(ValTest, HexadecimalAndOctalTakeTheWidthOfTheClassicLiterals) {
    EXPECT_EQ(Val(L"&HFF"), 255);
    EXPECT_EQ(Val(L"&h7fff"), 32767);
    EXPECT_EQ(Val(L"&HFFFF"), -1);
    EXPECT_EQ(Val(L"&H8000"), -32768);
    EXPECT_EQ(Val(L"&H10000"), 65536);
    EXPECT_EQ(Val(L"&HFFFFFFFF"), -1);
    EXPECT_EQ(Val(L"&H80000000"), -2147483648.0);
    EXPECT_EQ(Val(L"&H100000000"), 4294967296.0);
    EXPECT_EQ(Val(L"&O17"), 15);
    EXPECT_EQ(Val(L"&o177777"), -1);
    EXPECT_EQ(Val(L"&HFFxyz"), 255);
    EXPECT_EQ(Val(L"&H"), 0);
    EXPECT_EQ(Val(L"&HG"), 0);
    EXPECT_EQ(Val(L"&O8"), 0);
    EXPECT_EQ(Val(L"&"), 0);
    EXPECT_EQ(Val(L"&X1"), 0);
}

// The value kinds the program meets are checked end to end in file mode; here
// the zeros that are written in other ways.
TEST(SettingIsOnTest, OnExactlyWhenTheLeadingNumberIsNotZero) {
    for (const wchar_t* zero : {L"", L"0.0", L"-0", L"0e5", L"1e-400x"})
        EXPECT_FALSE(SettingIsOn(zero)) << zero;
    EXPECT_TRUE(SettingIsOn(L"1e-300"));
}

} // namespace
