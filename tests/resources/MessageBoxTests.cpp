// The program's message-box path, shown for real and read back by the watcher:
// ShowBox.exe calls the program's own ShowMessage with the program's "_" rule.

#include "tests/support/BoxPrinters.h"
#include "tests/support/MessageBoxWatcher.h"
#include "tests/support/TestPaths.h"

#include "app/Text.h"

#include <gtest/gtest.h>

using namespace tolv::test;

namespace {

const std::wstring kAppTitle = L"Tolv İçerik Gösterici Tarayıcı Derlemesi";

RunResult ShowBox(unsigned style, const std::wstring& text, const std::wstring* caption = nullptr) {
    std::wstring command = Quoted(BesideTestExe(L"ShowBox.exe").wstring()) + L" " +
                           std::to_wstring(style) + L" " + Quoted(text);
    if (caption != nullptr)
        command += L" " + Quoted(*caption);
    return RunAndWatch(command, 30000);
}

// The only box of a run that ended by itself once OK was pressed.
BoxReport OnlyBox(const RunResult& run) {
    EXPECT_TRUE(run.started);
    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(run.boxes.size(), 1u);
    return run.boxes.empty() ? BoxReport{} : run.boxes.front();
}

void ExpectSingleOkButton(const BoxReport& box) {
    ASSERT_EQ(box.buttons.size(), 1u);
    EXPECT_EQ(box.buttons[0].id, IDOK);
}

std::wstring StringOfProgram(UINT id) {
    HMODULE program = LoadLibraryExW(BesideTestExe(L"Tolv.Viewer.Exe").c_str(), nullptr,
                                     LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    const wchar_t* text = nullptr;
    int length = program ? LoadStringW(program, id, reinterpret_cast<LPWSTR>(&text), 0) : 0;
    std::wstring result(text != nullptr ? text : L"", std::max(length, 0));
    if (program != nullptr)
        FreeLibrary(program);
    return result;
}

struct StyleCase {
    unsigned style;
    BoxIcon icon;
};

void PrintTo(const StyleCase& c, std::ostream* out) {
    *out << "style " << c.style << ", icon " << tolv::WideToUtf8(ToString(c.icon));
}

class ProgramMessageBox : public testing::TestWithParam<StyleCase> {};

} // namespace

TEST_P(ProgramMessageBox, ShowsTextIconTitleAndOneOkButton) {
    const std::wstring text = L"Beklenmeyen hata: ğüşıöç ĞÜŞİÖÇ \"tırnak\" C:\\Yol\\dosya.Tolv";
    const BoxReport box = OnlyBox(ShowBox(GetParam().style, text));
    EXPECT_EQ(box.caption, kAppTitle);
    EXPECT_EQ(box.text, text);
    EXPECT_EQ(box.icon, GetParam().icon);
    ExpectSingleOkButton(box);
}

INSTANTIATE_TEST_SUITE_P(Styles, ProgramMessageBox,
                         testing::Values(StyleCase{0x00, BoxIcon::None},
                                         StyleCase{0x10, BoxIcon::Error},
                                         StyleCase{0x30, BoxIcon::Warning},
                                         StyleCase{0x40, BoxIcon::Information}),
                         [](const testing::TestParamInfo<StyleCase>& info) {
                             return "Style" + std::to_string(info.param.style);
                         });

// The administrator notice as setup mode shows it: string 102 of the built
// program, its two "_" turned into line breaks, three lines in all.
TEST(ProgramMessageBoxLines, TwoLineMarksBecomeThreeLines) {
    const std::wstring notice = StringOfProgram(102);
    ASSERT_EQ(std::count(notice.begin(), notice.end(), L'_'), 2);
    const BoxReport box = OnlyBox(ShowBox(0x30, notice));
    const size_t first = notice.find(L'_'), second = notice.find(L'_', first + 1);
    EXPECT_EQ(box.text, notice.substr(0, first) + L"\r\n" +
                            notice.substr(first + 1, second - first - 1) + L"\r\n" +
                            notice.substr(second + 1));
    EXPECT_EQ(box.caption, kAppTitle);
    EXPECT_EQ(box.icon, BoxIcon::Warning);
    ExpectSingleOkButton(box);
}

// The About box is the one box with a caption of its own.
TEST(ProgramMessageBoxLines, GivenCaptionReplacesTheTitle) {
    const std::wstring caption = L"Hakkında";
    const BoxReport box = OnlyBox(ShowBox(0x40, L"Bir_İki_Üç", &caption));
    EXPECT_EQ(box.caption, caption);
    EXPECT_EQ(box.text, L"Bir\r\nİki\r\nÜç");
    EXPECT_EQ(box.icon, BoxIcon::Information);
    ExpectSingleOkButton(box);
}
