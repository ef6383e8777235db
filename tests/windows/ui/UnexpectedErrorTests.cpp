// A failure inside the preferences window is reported as unexpected, and the
// program then ends instead of leaving the window open. A copy of the program
// without the About text makes About's lookup fail.

#include "windows/base/MessageBox.h"
#include "windows/resources/resource.h"
#include "tests/windows/support/MessageBoxWatcher.h"
#include "tests/windows/support/TestEnvironment.h"
#include "tests/windows/support/ProgramDriver.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace tolv::test {
namespace {

namespace fs = std::filesystem;

// Empties the block of the string table (16 strings) that holds `id`.
bool EmptyStringBlock(const fs::path& exe, unsigned id) {
    HANDLE update = BeginUpdateResourceW(exe.c_str(), FALSE);
    if (update == nullptr)
        return false;
    WORD lengths[16] = {}; // each string of a block is its length and its characters
    const bool replaced = UpdateResourceW(update, RT_STRING, MAKEINTRESOURCEW(id / 16 + 1),
                                          MAKELANGID(LANG_TURKISH, SUBLANG_DEFAULT), lengths,
                                          sizeof lengths) != FALSE;
    return EndUpdateResourceW(update, replaced ? FALSE : TRUE) != FALSE && replaced;
}

TEST(PreferencesWindowFailure, AnErrorInAnEventShowsTheUnexpectedErrorBoxAndEndsTheProgram) {
    AssociationBackup association;
    PreferencesBackup preferences;
    ScopedFolder folder{ProgramPath().parent_path() / L"unexpected-error-tests"};
    const fs::path program = folder.path() / L"Tolv.Viewer.Exe";
    // A copy an earlier run could not remove (the program still ending) would
    // stop the copy: MinGW's copy_file does not overwrite it under Wine.
    std::error_code ignored;
    fs::remove(program, ignored);
    fs::copy_file(ProgramPath(), program, fs::copy_options::overwrite_existing);
    ASSERT_TRUE(EmptyStringBlock(program, IDS_ABOUT));

    ProgramRun run(program);
    HWND window = run.WaitForWindow();
    ASSERT_NE(window, nullptr) << "the preferences window did not appear";
    const HWND about = FindControl(window, L"&Hakkında").hwnd;
    ASSERT_NE(about, nullptr);
    PostMessageW(about, BM_CLICK, 0, 0);

    const std::vector<BoxReport> boxes = WatchProcess(run.Process(), 15000);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, kAppTitle);
    EXPECT_EQ(boxes[0].icon, BoxIcon::None);
    EXPECT_EQ(boxes[0].text, L"Beklenmeyen hata: Programın metin kaynağı bulunamadı: " +
                                 std::to_wstring(IDS_ABOUT));
    EXPECT_EQ(run.WaitForExit(5000), 0u) << "the window stayed open after the error";
}

} // namespace
} // namespace tolv::test
