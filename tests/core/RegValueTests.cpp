#include "core/RegValue.h"

#include <gtest/gtest.h>

#include <climits>

namespace tolv {
namespace {

TEST(RegValueText, EachKindHasItsTextForm) {
    EXPECT_EQ(RegValueText(RegValue{}), L"");
    EXPECT_EQ(RegValueText(RegValue{int16_t{0}}), L"0");
    EXPECT_EQ(RegValueText(RegValue{int16_t{-7}}), L"-7");
    EXPECT_EQ(RegValueText(RegValue{int32_t{12}}), L"12");
    EXPECT_EQ(RegValueText(RegValue{int32_t{-1}}), L"-1");
    EXPECT_EQ(RegValueText(RegValue{int32_t{INT32_MIN}}), L"-2147483648");
    EXPECT_EQ(RegValueText(RegValue{std::wstring(L"Gösterici")}), L"Gösterici");
    // A text keeps embedded NULs: the registry's data may carry them.
    EXPECT_EQ(RegValueText(RegValue{std::wstring(L"a\0b", 3)}), std::wstring(L"a\0b", 3));
}

TEST(RegValueToInt32, IntegersAndEmptyConvert) {
    int32_t n = 99;
    ASSERT_TRUE(RegValueToInt32(RegValue{}, n));
    EXPECT_EQ(n, 0);
    ASSERT_TRUE(RegValueToInt32(RegValue{int16_t{-3}}, n));
    EXPECT_EQ(n, -3);
    ASSERT_TRUE(RegValueToInt32(RegValue{int32_t{-1193046}}, n));
    EXPECT_EQ(n, -1193046);
}

TEST(RegValueToInt32, TextsConvertOnlyWhenTheyHoldANumberInRange) {
    int32_t n = 0;
    ASSERT_TRUE(RegValueToInt32(RegValue{std::wstring(L"12")}, n));
    EXPECT_EQ(n, 12);
    ASSERT_TRUE(RegValueToInt32(RegValue{std::wstring(L"  -2147483648 ")}, n));
    EXPECT_EQ(n, INT32_MIN);
    ASSERT_TRUE(RegValueToInt32(RegValue{std::wstring(L"+2147483647")}, n));
    EXPECT_EQ(n, INT32_MAX);

    n = 5;
    for (const wchar_t* bad : {L"", L" ", L"-", L"abc", L"12a", L"1 2", L"2147483648",
                               L"-2147483649", L"99999999999999999999", L"0x10"}) {
        EXPECT_FALSE(RegValueToInt32(RegValue{std::wstring(bad)}, n)) << bad;
        EXPECT_EQ(n, 5) << bad;
    }
}

TEST(ExtractFileName, TakesTheTrimmedTextAfterTheLastBackslash) {
    std::wstring folder;
    EXPECT_EQ(ExtractFileName(L"C:\\Tools\\ Viewer.Exe", folder), L"Viewer.Exe");
    EXPECT_EQ(folder, L"C:\\Tools\\ ");
    EXPECT_EQ(ExtractFileName(L"C:\\Program Files\\Viewer\\Viewer.Exe", folder), L"Viewer.Exe");
    EXPECT_EQ(folder, L"C:\\Program Files\\Viewer\\");
    // Only spaces are trimmed, and only at the ends.
    EXPECT_EQ(ExtractFileName(L"C:\\a\\ my tool.exe  ", folder), L"my tool.exe");
    EXPECT_EQ(ExtractFileName(L"C:\\a\\\ttool.exe", folder), L"\ttool.exe");
}

TEST(ExtractFileName, PathWithoutBackslashOrEndingInOne) {
    std::wstring folder = L"untouched?";
    EXPECT_EQ(ExtractFileName(L"  Viewer.Exe ", folder), L"Viewer.Exe");
    EXPECT_EQ(folder, L"   ");
    EXPECT_EQ(ExtractFileName(L"C:\\Tools\\", folder), L"");
    EXPECT_EQ(folder, L"C:\\Tools\\");
    EXPECT_EQ(ExtractFileName(L"", folder), L"");
    EXPECT_EQ(folder, L"");
}

TEST(ExtractFileName, FolderLosesEveryOccurrenceOfTheName) {
    std::wstring folder;
    EXPECT_EQ(ExtractFileName(L"C:\\app\\x\\app", folder), L"app");
    EXPECT_EQ(folder, L"C:\\\\x\\");
}

TEST(ExtractFileName, DropsOneTrailingNul) {
    std::wstring folder;
    EXPECT_EQ(ExtractFileName(std::wstring(L"C:\\Tools\\Viewer.Exe\0", 20), folder), L"Viewer.Exe");
    EXPECT_EQ(ExtractFileName(std::wstring(L"C:\\Viewer.Exe\0\0", 15), folder),
              std::wstring(L"Viewer.Exe\0", 11));
    // Spaces are trimmed before the NUL goes, so a blank before it stays.
    EXPECT_EQ(ExtractFileName(std::wstring(L"C:\\Viewer.Exe \0", 15), folder), L"Viewer.Exe ");
}

} // namespace
} // namespace tolv
