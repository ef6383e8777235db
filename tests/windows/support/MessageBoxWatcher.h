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
    int defaultButton = 0; // the id of the button Enter presses; 0 when none is marked
};

struct RunResult {
    bool started = false;
    bool timedOut = false;
    DWORD exitCode = 0;
    std::vector<BoxReport> boxes;
};

// Starts commandLine with CreateProcessW (optional working directory), reads every message box
// the process shows, answers each (in order) with the button `answer` where the box has one and
// with OK elsewhere, and waits for the process to end. On timeout the process is terminated and
// timedOut set.
RunResult RunAndWatch(const std::wstring& commandLine, DWORD timeoutMs = 60000,
                      const wchar_t* workingDir = nullptr, int answer = IDOK);

// The same for a process someone else started (watches until it ends or the timeout passes).
std::vector<BoxReport> WatchProcess(HANDLE process, DWORD timeoutMs = 60000);

// Finer pieces for tests that drive a window at the same time:
// Visible top-level message boxes (#32770 with a text control) of that process.
std::vector<HWND> FindMessageBoxes(DWORD processId);
std::optional<HWND> WaitForMessageBox(DWORD processId, DWORD timeoutMs);
BoxReport ReadMessageBox(HWND box);
void PressOk(HWND box); // button id 1 (IDOK), not its caption
// The button of that id (IDYES, IDNO...), or OK when the box has none such.
void PressButton(HWND box, int id);

} // namespace tolv::test
