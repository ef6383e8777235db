#include "core/Arguments.h"

#include <gtest/gtest.h>

namespace {

using tolv::ArgumentText;

TEST(ArgumentTextTest, IsWhatFollowsAQuotedProgramNameWhole) {
    // The association passes the report path unquoted after the program.
    EXPECT_EQ(ArgumentText(L"\"C:\\Program Files\\Tolv\\Tolv.Viewer.Exe\" C:\\Raporlar\\a b.Tolv"),
              L"C:\\Raporlar\\a b.Tolv");
    EXPECT_EQ(ArgumentText(L"\"C:\\Tolv\\Tolv.Viewer.Exe\" C:\\a  b  c.Tolv"), L"C:\\a  b  c.Tolv");
}

TEST(ArgumentTextTest, IsWhatFollowsAnUnquotedProgramName) {
    EXPECT_EQ(ArgumentText(L"C:\\Tolv\\Tolv.Viewer.Exe C:\\a.Tolv"), L"C:\\a.Tolv");
    EXPECT_EQ(ArgumentText(L"Tolv.Viewer.Exe\tC:\\a.Tolv"), L"C:\\a.Tolv");
    EXPECT_EQ(ArgumentText(L"Tolv.Viewer.Exe"), L"");
}

TEST(ArgumentTextTest, QuotesStay) {
    EXPECT_EQ(ArgumentText(L"\"Tolv.Viewer.Exe\" \"C:\\a b.Tolv\""), L"\"C:\\a b.Tolv\"");
    EXPECT_EQ(ArgumentText(L"Tolv.Viewer.Exe \"x\" y \""), L"\"x\" y \"");
}

TEST(ArgumentTextTest, BlanksAroundTheArgumentGoAndOnlyBlanksIsEmpty) {
    // "Run as administrator" leaves a blank after the program's name.
    EXPECT_EQ(ArgumentText(L"\"C:\\Tolv\\Tolv.Viewer.Exe\" "), L"");
    EXPECT_EQ(ArgumentText(L"\"C:\\Tolv\\Tolv.Viewer.Exe\"  \t  "), L"");
    EXPECT_EQ(ArgumentText(L"\"C:\\Tolv\\Tolv.Viewer.Exe\""), L"");
    EXPECT_EQ(ArgumentText(L"\"C:\\Tolv\\Tolv.Viewer.Exe\" \t C:\\a.Tolv \t "), L"C:\\a.Tolv");
    EXPECT_EQ(ArgumentText(L""), L"");
}

TEST(ArgumentTextTest, AnUnclosedQuoteMakesEverythingTheProgramName) {
    EXPECT_EQ(ArgumentText(L"\"C:\\Tolv\\Tolv.Viewer.Exe C:\\a.Tolv"), L"");
}

TEST(ReportPathTest, OnePairOfQuotesAroundTheWholeTextGoesAndNothingElseChanges) {
    const struct {
        const wchar_t* argument;
        const wchar_t* path;
    } rows[] = {
        {L"\"C:\\Raporlar\\a b.Tolv\"", L"C:\\Raporlar\\a b.Tolv"}, // dragged, "Open with"
        {L"C:\\Raporlar\\a b.Tolv", L"C:\\Raporlar\\a b.Tolv"},     // the association's %1
        {L"\"\"C:\\a.Tolv\"\"", L"\"C:\\a.Tolv\""},                 // one pair only
        {L"C:\\a\"b.Tolv", L"C:\\a\"b.Tolv"},                       // a quote inside stays
        {L"\"C:\\a.Tolv", L"\"C:\\a.Tolv"},                         // unbalanced
        {L"C:\\a.Tolv\"", L"C:\\a.Tolv\""},
        {L"\"x\" y \"z\"", L"x\" y \"z"},
        {L"\"", L"\""},
        {L"\"\"", L""},
        {L"a.Tolv", L"a.Tolv"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(tolv::ReportPath(row.argument), row.path);
}

TEST(SignatureInfoPathTest, OnlyTheSwitchAsTheFirstWordBeforeAPathCounts) {
    const struct {
        const wchar_t* argument;
        const wchar_t* path; // null: not the switch, a report path as before
    } rows[] = {
        {L"/imza \"C:\\Raporlar\\a b.Tolv\"", L"C:\\Raporlar\\a b.Tolv"}, // the verb's command
        {L"/imza C:\\Raporlar\\a b.Tolv", L"C:\\Raporlar\\a b.Tolv"},
        {L"/imza \t  C:\\a.Tolv", L"C:\\a.Tolv"},
        {L"/imza \"\"C:\\a.Tolv\"\"", L"\"C:\\a.Tolv\""}, // one pair only, as ReportPath
        {L"/imza", nullptr},
        {L"/imzaC:\\a.Tolv", nullptr},
        {L"/IMZA C:\\a.Tolv", nullptr},
        {L"\"/imza C:\\a.Tolv\"", nullptr},
        {L"C:\\a.Tolv /imza", nullptr},
        {L"-imza C:\\a.Tolv", nullptr},
        {L"C:\\imza a.Tolv", nullptr},
    };
    for (const auto& row : rows) {
        const std::optional<std::wstring> path = tolv::SignatureInfoPath(row.argument);
        if (row.path == nullptr)
            EXPECT_FALSE(path) << testing::PrintToString(std::wstring(row.argument));
        else
            EXPECT_EQ(path, std::optional<std::wstring>(row.path));
    }
}

} // namespace
