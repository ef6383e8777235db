#pragma once
// A process that a test starts and waits for, and what the test reads of the
// windows of another process.

#include "windows/base/Handles.h"

#include <windows.h>

#include <optional>
#include <string>

namespace tolv::test {

class TestProcess {
public:
    // Starts commandLine (in workingDir; with a token, as the user of that token).
    explicit TestProcess(const std::wstring& commandLine, const wchar_t* workingDir = nullptr,
                         HANDLE token = nullptr);
    ~TestProcess(); // ends the process if it is still running
    TestProcess(const TestProcess&) = delete;
    TestProcess& operator=(const TestProcess&) = delete;

    bool Started() const { return static_cast<bool>(process_); }
    DWORD StartError() const { return startError_; }
    DWORD Id() const { return id_; }
    HANDLE Process() const { return process_.get(); }

    // The exit code, or nothing while the process still runs after the wait.
    std::optional<DWORD> WaitForExit(DWORD timeoutMs = 20000) const;
    // The visible top-level window of this process with this title, once a
    // control in it has the focus; null when it does not appear in time.
    HWND WaitForWindow(const std::wstring& title, DWORD timeoutMs = 20000) const;

private:
    UniqueHandle process_;
    DWORD id_ = 0;
    DWORD startError_ = 0;
};

// Window text and class of a window of any process. WM_GETTEXT is marshalled
// across processes; a timeout keeps a hung program from hanging the test.
std::wstring WindowText(HWND window);
std::wstring ClassName(HWND window);
// The control that has the keyboard focus in the window's thread.
HWND FocusOf(HWND window);

} // namespace tolv::test
