// DeleteKey and DeleteValue show the system's text for a failed status in an
// error box, and only when asked to. A box blocks its caller, so the operation
// runs in RegisterProbe and the test watches its boxes.

#include "windows/registry/Register.h"

#include "TestKey_win.h"
#include "windows/base/MessageBox.h"
#include "windows/registry/Errors.h"
#include "tests/windows/support/MessageBoxWatcher.h"
#include "tests/windows/support/TestPaths.h"

#include <gtest/gtest.h>

namespace tolv {
namespace {

using test::BoxIcon;
using test::RunResult;
using test::TestKey;

RunResult RunProbe(const std::wstring& arguments) {
    const std::wstring probe = test::BesideTestExe(L"RegisterProbe.exe").wstring();
    return test::RunAndWatch(test::Quoted(probe) + L" " + arguments, 30000);
}

std::wstring Arg(const std::wstring& text) {
    return test::Quoted(text);
}

void ExpectErrorBox(const RunResult& run, LSTATUS status) {
    ASSERT_TRUE(run.started);
    ASSERT_FALSE(run.timedOut);
    EXPECT_EQ(run.exitCode, 0u); // the operation answered false
    ASSERT_EQ(run.boxes.size(), 1u);
    const test::BoxReport& box = run.boxes[0];
    EXPECT_EQ(box.caption, kAppTitle);
    EXPECT_EQ(box.text, Errors::GetErrorText(status));
    EXPECT_FALSE(box.text.empty());
    EXPECT_EQ(box.icon, BoxIcon::Error);
    ASSERT_EQ(box.buttons.size(), 1u);
    EXPECT_EQ(box.buttons[0].id, IDOK);
}

void ExpectNoBox(const RunResult& run, DWORD exitCode) {
    ASSERT_TRUE(run.started);
    ASSERT_FALSE(run.timedOut);
    EXPECT_EQ(run.exitCode, exitCode);
    EXPECT_TRUE(run.boxes.empty()) << run.boxes.size() << " box(es) shown";
}

class RegisterMessageTest : public ::testing::Test {
protected:
    std::wstring Root() const { return std::to_wstring(key.Root()); }
    TestKey key{kHkeyCurrentUser, L"Software"};
};

TEST_F(RegisterMessageTest, DeleteKeyShowsTheSystemTextOnlyWhenAsked) {
    const std::wstring missing = Arg(key.Sub(L"Missing"));
    ExpectNoBox(RunProbe(L"DeleteKey " + Root() + L" " + missing + L" 0"), 0);
    ExpectErrorBox(RunProbe(L"DeleteKey " + Root() + L" " + missing + L" 1"), ERROR_FILE_NOT_FOUND);
}

TEST_F(RegisterMessageTest, DeleteKeyOfAKeyWithSubKeysShowsItsStatus) {
    key.Write(L"v", REG_SZ, test::TextBytes(L"x"), L"Parent\\Child");
    // The status the registry gives for this case is what the box must show.
    const LSTATUS status = RegDeleteKeyW(key.RootHkey(), key.Sub(L"Parent").c_str());
    ASSERT_NE(status, ERROR_SUCCESS);
    ExpectErrorBox(RunProbe(L"DeleteKey " + Root() + L" " + Arg(key.Sub(L"Parent")) + L" 1"),
                   status);
    EXPECT_TRUE(key.Exists(L"Parent\\Child"));
}

TEST_F(RegisterMessageTest, DeleteKeyThatSucceedsShowsNothing) {
    key.Write(L"v", REG_SZ, test::TextBytes(L"x"), L"Leaf");
    ExpectNoBox(RunProbe(L"DeleteKey " + Root() + L" " + Arg(key.Sub(L"Leaf")) + L" 1"), 1);
    EXPECT_FALSE(key.Exists(L"Leaf"));
}

TEST_F(RegisterMessageTest, DeleteValueShowsTheDeletesStatus) {
    key.WriteText(L"Present", REG_SZ, L"x");
    const std::wstring path = Arg(key.Path());
    // A missing value: file not found.
    ExpectNoBox(RunProbe(L"DeleteValue " + Root() + L" " + path + L" Missing 0"), 0);
    ExpectErrorBox(RunProbe(L"DeleteValue " + Root() + L" " + path + L" Missing 1"),
                   ERROR_FILE_NOT_FOUND);
    // A key that cannot be opened leaves no handle: the delete reports an invalid handle.
    ExpectErrorBox(
        RunProbe(L"DeleteValue " + Root() + L" " + Arg(key.Sub(L"Missing")) + L" Present 1"),
        ERROR_INVALID_HANDLE);
    EXPECT_TRUE(key.Read(L"Present"));
    // Success: no box.
    ExpectNoBox(RunProbe(L"DeleteValue " + Root() + L" " + path + L" Present 1"), 1);
    EXPECT_FALSE(key.Read(L"Present"));
}

} // namespace
} // namespace tolv
