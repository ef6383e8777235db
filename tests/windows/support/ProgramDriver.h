#pragma once
// Drives the real program in setup mode from a test: starts it, finds its
// preferences window and reads the window's controls.

#include "tests/windows/support/Process.h"
#include "tests/windows/support/TestPaths.h"

#include <windows.h>

#include <filesystem>
#include <string>
#include <vector>

namespace tolv::test {

inline constexpr wchar_t kWindowTitle[] = L"TolvViewer - Tercihler";

// One run of a program without arguments (setup mode), in its own folder.
class ProgramRun : public TestProcess {
public:
    // With a token, as the user of that token. Fails the calling test
    // (ADD_FAILURE) when the start fails.
    explicit ProgramRun(const std::filesystem::path& exe = ProgramPath(), HANDLE token = nullptr);

    // The preferences window, once a control in it has the focus.
    HWND WaitForWindow(DWORD timeoutMs = 20000) const {
        return TestProcess::WaitForWindow(kWindowTitle, timeoutMs);
    }
};

// A control of another process's window.
struct Control {
    HWND hwnd = nullptr;
    std::wstring className;
    std::wstring text;
    LONG style = 0;
    RECT rect{}; // in the client coordinates of the window
};

// The child windows in their window order.
std::vector<Control> Controls(HWND window);
// The control with this caption; a default Control (null hwnd) when none.
Control FindControl(HWND window, const std::wstring& caption);
// BST_UNCHECKED, BST_CHECKED or BST_INDETERMINATE; -1 when it cannot be read.
int CheckState(HWND button);
// Posts a key press to the control with the focus, as the keyboard would.
void PressKey(HWND window, WPARAM virtualKey);
// Waits until the focus has moved away from `from`; answers the new focus.
HWND WaitForFocusChange(HWND window, HWND from, DWORD timeoutMs = 5000);

} // namespace tolv::test
