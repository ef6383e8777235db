// A box of the preferences window belongs to that window even when the
// program is not in the foreground: the box is owned by the window and the
// window is disabled until the box is dismissed.

#include "tests/windows/support/MessageBoxWatcher.h"
#include "tests/windows/support/TestEnvironment.h"
#include "tests/windows/support/ProgramDriver.h"

#include <gtest/gtest.h>

#include <functional>

namespace tolv::test {
namespace {

// Waits for a condition while handling this thread's messages, so that the
// window of this test never holds up the program's activation messages.
bool PumpUntil(const std::function<bool()>& condition, DWORD timeoutMs = 10000) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (condition())
            return true;
        if (GetTickCount64() >= deadline)
            return false;
        Sleep(20);
    }
}

class ForegroundWindow {
public:
    ForegroundWindow()
        : hwnd_(CreateWindowExW(0, L"Static", L"Test window in front", WS_OVERLAPPEDWINDOW, 0, 0,
                                300, 150, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr)) {}
    ~ForegroundWindow() {
        if (hwnd_ != nullptr)
            DestroyWindow(hwnd_);
    }
    ForegroundWindow(const ForegroundWindow&) = delete;
    ForegroundWindow& operator=(const ForegroundWindow&) = delete;

    HWND get() const { return hwnd_; }

private:
    HWND hwnd_;
};

TEST(PreferencesWindowBoxes, AboutIsOwnedByTheWindowWhileAnotherWindowIsInFront) {
    AssociationBackup association;
    PreferencesBackup preferences;
    ProgramRun run;
    HWND window = run.WaitForWindow();
    ASSERT_NE(window, nullptr) << "the preferences window did not appear";
    const HWND about = FindControl(window, L"&Hakkında").hwnd;
    ASSERT_NE(about, nullptr);

    ForegroundWindow front;
    ASSERT_NE(front.get(), nullptr);
    ShowWindow(front.get(), SW_SHOW);
    SetForegroundWindow(front.get());
    ASSERT_TRUE(PumpUntil([&] { return GetForegroundWindow() == front.get(); }))
        << "the test's own window did not come to the front";

    // The dialog's command, as a click delivers it, without the click itself
    // activating the window first.
    PostMessageW(window, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(about), BN_CLICKED),
                 reinterpret_cast<LPARAM>(about));
    HWND box = nullptr;
    ASSERT_TRUE(PumpUntil([&] {
        std::vector<HWND> boxes = FindMessageBoxes(run.Id());
        box = boxes.empty() ? nullptr : boxes.front();
        return box != nullptr;
    })) << "About showed no box";

    EXPECT_EQ(ReadMessageBox(box).caption, L"Hakkında");
    EXPECT_EQ(GetWindow(box, GW_OWNER), window);
    EXPECT_FALSE(IsWindowEnabled(window)) << "the preferences window stayed usable under its box";

    PressOk(box);
    EXPECT_TRUE(PumpUntil([&] { return IsWindowEnabled(window) != FALSE; }))
        << "the preferences window stayed disabled after the box";
    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(run.WaitForExit(), 0u);
}

} // namespace
} // namespace tolv::test
