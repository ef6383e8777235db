#pragma once
// Watches the message boxes of another process: reads each box's caption, text,
// icon and buttons, and presses OK. Every test of a message box goes through it.

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace tolv::test {

enum class BoxIcon { None, Error, Warning, Information, Question, Unknown };
const wchar_t* ToString(BoxIcon icon);

struct BoxButton {
    int id;
    std::wstring text;
};

struct BoxReport {
    std::wstring caption;
    std::wstring text;
    BoxIcon icon;
    std::vector<BoxButton> buttons;
};

struct RunResult {
    bool started = false;
    bool timedOut = false;
    DWORD exitCode = 0;
    std::vector<BoxReport> boxes;
};

// Starts commandLine with CreateProcessW (optional working directory), reads every message box
// the process shows, presses OK on each (in order), and waits for the process to end. On timeout
// the process is terminated and timedOut set.
RunResult RunAndWatch(const std::wstring& commandLine, DWORD timeoutMs = 60000,
                      const wchar_t* workingDir = nullptr);

// The same for a process someone else started (watches until it ends or the timeout passes).
std::vector<BoxReport> WatchProcess(HANDLE process, DWORD timeoutMs = 60000);

// Finer pieces for tests that drive a window at the same time:
// Visible top-level message boxes (#32770 with a text control) of that process.
std::vector<HWND> FindMessageBoxes(DWORD processId);
std::optional<HWND> WaitForMessageBox(DWORD processId, DWORD timeoutMs);
BoxReport ReadMessageBox(HWND box);
void PressOk(HWND box); // button id 1 (IDOK), not its caption

} // namespace tolv::test
