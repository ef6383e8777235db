#include "core/General.h"

#include <gtest/gtest.h>

namespace {

using namespace std::string_literals;
using tolv::AddBackslash;
using tolv::CutAtNull;
using tolv::FormatParams;
using tolv::SplitPath;

TEST(FormatParamsTest, FillsTheFrameTemplateAndKeepsItsOuterBlanks) {
    std::wstring text = L" --chrome-frame --window-size=%1,%2 --window-position=%3,%4 ";
    std::wstring result = FormatParams(text, {1200, 650, 250, 100});
    EXPECT_EQ(result, L" --chrome-frame --window-size=1200,650 --window-position=250,100 ");
    EXPECT_EQ(text, result); // the template variable receives the result as well
}

TEST(FormatParamsTest, ReplacesEveryOccurrenceWithTextsAndNegativeNumbers) {
    std::wstring text = L"%2-%1-%2%2";
    EXPECT_EQ(FormatParams(text, {-7, L"ab"}), L"ab--7-abab");
    std::wstring untouched = L"no placeholders";
    EXPECT_EQ(FormatParams(untouched, {1}), L"no placeholders");
    std::wstring empty = L"%1";
    EXPECT_EQ(FormatParams(empty, {}), L"%1");
}

TEST(FormatParamsTest, StepsRunInAscendingOrderOverTheWholeText) {
    // A value that holds a later placeholder is filled by the later step; the
    // value just inserted is not searched again within its own step.
    std::wstring text = L"%1|%2";
    EXPECT_EQ(FormatParams(text, {L"%2%1", L"x"}), L"x%1|x");
}

TEST(FormatParamsTest, HasNoLimitOnTheNumberOfValues) {
    std::vector<tolv::FormatValue> values;
    for (int i = 1; i <= 40000; ++i)
        values.emplace_back(i);
    std::wstring text = L"[%1]";
    EXPECT_EQ(FormatParams(text, values), L"[1]");
}

TEST(CutAtNullTest, CutsAtTheFirstNulAndTrimsBlanks) {
    EXPECT_EQ(CutAtNull(L"ab\0cd"s), L"ab");
    EXPECT_EQ(CutAtNull(L"\0\0\0"s), L"");
    EXPECT_EQ(CutAtNull(L""), L"");
    EXPECT_EQ(CutAtNull(L"  C:\\Temp\\  "), L"C:\\Temp\\");
    EXPECT_EQ(CutAtNull(L" ab \0 x"s), L"ab");
    EXPECT_EQ(CutAtNull(L"   \0ab"s), L"");
}

TEST(CutAtNullTest, HasNoLimitOnTheTextLength) {
    std::wstring text(400, L'a');
    EXPECT_EQ(CutAtNull(text), text);
    std::wstring buffer = text + L'\0' + std::wstring(100, L'\0');
    EXPECT_EQ(CutAtNull(buffer), text);
}

TEST(AddBackslashTest, AddsOneBackslashWhereThereIsNone) {
    std::wstring desktop = L"C:\\Users\\x\\Desktop";
    EXPECT_EQ(AddBackslash(desktop, false), L"C:\\Users\\x\\Desktop\\");
    EXPECT_EQ(desktop, L"C:\\Users\\x\\Desktop"); // not in place: unchanged
    std::wstring root = L"C:\\";
    EXPECT_EQ(AddBackslash(root, false), L"C:\\");
    std::wstring empty;
    EXPECT_EQ(AddBackslash(empty, false), L"\\");
    std::wstring slash = L"C:/a/";
    EXPECT_EQ(AddBackslash(slash, false), L"C:/a/\\");
}

TEST(AddBackslashTest, InPlaceStoresTheResultInTheCallersVariable) {
    std::wstring folder = L"C:\\a";
    EXPECT_EQ(AddBackslash(folder, true), L"C:\\a\\");
    EXPECT_EQ(folder, L"C:\\a\\");
    EXPECT_EQ(AddBackslash(folder, true), L"C:\\a\\");
    EXPECT_EQ(folder, L"C:\\a\\");
}

TEST(SplitPathTest, SplitsAfterTheLastBackslash) {
    std::wstring folder = L"stale";
    EXPECT_EQ(SplitPath(L"C:\\a\\b.Tolv", folder), L"b.Tolv");
    EXPECT_EQ(folder, L"C:\\a\\");
    EXPECT_EQ(SplitPath(L"C:\\a\\b\\c d.Tolv", folder), L"c d.Tolv");
    EXPECT_EQ(folder, L"C:\\a\\b\\");
    EXPECT_EQ(SplitPath(L"\\b.Tolv", folder), L"b.Tolv");
    EXPECT_EQ(folder, L"\\");
}

TEST(SplitPathTest, WithoutABackslashOrEndingInOneTheWholePathIsTheName) {
    std::wstring folder = L"stale";
    EXPECT_EQ(SplitPath(L"b.Tolv", folder), L"b.Tolv");
    EXPECT_EQ(folder, L"");
    folder = L"stale";
    EXPECT_EQ(SplitPath(L"C:\\a\\", folder), L"C:\\a\\");
    EXPECT_EQ(folder, L"");
    folder = L"stale";
    EXPECT_EQ(SplitPath(L"C:/a/b.Tolv", folder), L"C:/a/b.Tolv"); // only backslashes separate
    EXPECT_EQ(folder, L"");
    EXPECT_EQ(SplitPath(L"", folder), L"");
    EXPECT_EQ(folder, L"");
}

TEST(SplitPathTest, HasNoLimitOnThePositionOfTheLastBackslash) {
    std::wstring longFolder = L"C:\\" + std::wstring(40000, L'd') + L"\\";
    std::wstring folder;
    EXPECT_EQ(SplitPath(longFolder + L"r.Tolv", folder), L"r.Tolv");
    EXPECT_EQ(folder, longFolder);
}

} // namespace
