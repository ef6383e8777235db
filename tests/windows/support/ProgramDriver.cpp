#include "tests/windows/support/ProgramDriver.h"

#include <gtest/gtest.h>

namespace tolv::test {

namespace {

// The program is per-monitor DPI aware; the test reads its coordinates
// unscaled.
void UsePhysicalCoordinates() {
    SetThreadDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
}

} // namespace

ProgramRun::ProgramRun(const std::filesystem::path& exe, HANDLE token)
    : TestProcess(Quoted(exe.wstring()), exe.parent_path().c_str(), token) {
    UsePhysicalCoordinates();
    if (!Started())
        ADD_FAILURE() << "cannot start " << exe.string() << ", error " << StartError();
}

std::vector<Control> Controls(HWND window) {
    UsePhysicalCoordinates();
    std::vector<Control> controls;
    for (HWND child = GetWindow(window, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        Control control{
            child, ClassName(child), WindowText(child), GetWindowLongW(child, GWL_STYLE), {}};
        GetWindowRect(child, &control.rect);
        MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&control.rect), 2);
        controls.push_back(control);
    }
    return controls;
}

Control FindControl(HWND window, const std::wstring& caption) {
    for (const Control& control : Controls(window))
        if (control.text == caption)
            return control;
    return {};
}

int CheckState(HWND button) {
    DWORD_PTR state = 0;
    if (!SendMessageTimeoutW(button, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, 2000, &state))
        return -1;
    return static_cast<int>(state);
}

void PressKey(HWND window, WPARAM virtualKey) {
    HWND target = FocusOf(window);
    const UINT scan = MapVirtualKeyW(static_cast<UINT>(virtualKey), MAPVK_VK_TO_VSC);
    PostMessageW(target != nullptr ? target : window, WM_KEYDOWN, virtualKey,
                 static_cast<LPARAM>(1 | (scan << 16)));
    PostMessageW(target != nullptr ? target : window, WM_KEYUP, virtualKey,
                 static_cast<LPARAM>(1 | (scan << 16) | (3u << 30)));
}

HWND WaitForFocusChange(HWND window, HWND from, DWORD timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        HWND focus = FocusOf(window);
        if (focus != from || GetTickCount64() >= deadline)
            return focus;
        Sleep(20);
    }
}

} // namespace tolv::test
