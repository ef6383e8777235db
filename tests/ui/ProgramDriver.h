#pragma once
// Drives the real program in setup mode from a test: starts it, finds its
// preferences window, reads the window's controls, and prepares and reads the
// registry the program works on.

#include "app/Handles.h"

#include <windows.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace tolv::test {

inline constexpr wchar_t kWindowTitle[] = L"TolvViewer - Tercihler";

// The program beside the test executable.
std::filesystem::path ProgramPath();

// One run of a program without arguments (setup mode).
class ProgramRun {
public:
    // Starts `exe`; with a token, as the user of that token. Fails the calling
    // test (ADD_FAILURE) when the start fails.
    explicit ProgramRun(const std::filesystem::path& exe, HANDLE token = nullptr);
    ~ProgramRun(); // ends the process if it is still running
    ProgramRun(const ProgramRun&) = delete;
    ProgramRun& operator=(const ProgramRun&) = delete;

    bool Started() const { return static_cast<bool>(process_); }
    DWORD Id() const { return id_; }
    HANDLE Process() const { return process_.get(); }

    // The visible window of this process titled "TolvViewer - Tercihler",
    // once a control in it has the focus; null when it does not appear in time.
    HWND WaitForWindow(DWORD timeoutMs = 20000) const;
    // The exit code, or nothing while the process still runs after the wait.
    std::optional<DWORD> WaitForExit(DWORD timeoutMs = 20000) const;

private:
    UniqueHandle process_;
    DWORD id_ = 0;
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
// The control that has the keyboard focus in the window's thread.
HWND FocusOf(HWND window);
// Posts a key press to the control with the focus, as the keyboard would.
void PressKey(HWND window, WPARAM virtualKey);
// Waits until the focus has moved away from `from`; answers the new focus.
HWND WaitForFocusChange(HWND window, HWND from, DWORD timeoutMs = 5000);

// The viewer preferences as the test sees them. `view` is KEY_WOW64_32KEY (where
// the program keeps them) or KEY_WOW64_64KEY.
inline constexpr wchar_t kPreferencesKey[] = L"SOFTWARE\\TolvViewerBrowser";
struct StoredValue {
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
    std::optional<DWORD> Dword() const;
};
void DeletePreferences(); // in both views
LSTATUS StoreDword(const wchar_t* setting, DWORD value);
LSTATUS StoreText(const wchar_t* setting, const std::wstring& value);
LSTATUS StoreBinary(const wchar_t* setting, const std::vector<BYTE>& value);
std::optional<StoredValue> ReadSetting(const wchar_t* setting, REGSAM view = KEY_WOW64_32KEY);

// Default values under HKEY_CLASSES_ROOT.
std::optional<std::wstring> ReadClassText(const std::wstring& key);
void DeleteClassKey(const std::wstring& key);
LSTATUS StoreClassText(const std::wstring& key, const std::wstring& value);

} // namespace tolv::test
