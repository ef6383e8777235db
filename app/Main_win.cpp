// Entry point: chooses the mode from the argument text and shows whatever error
// reaches it.

#include "app/MessageBox.h"
#include "app/Modes.h"
#include "app/Text.h"

#include <windows.h>
#include <commctrl.h>

#include <exception>

namespace {

// Answers true when a window is open and its message loop must run.
bool Main() {
    std::wstring argumentText = tolv::ArgumentText(GetCommandLineW());
    if (argumentText.empty())
        return tolv::RunSetupMode();
    tolv::RunFileMode(argumentText);
    return false;
}

int RunMessageLoop() {
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        // Lets a modeless dialog handle Tab, Enter and Esc itself.
        HWND active = GetActiveWindow();
        if (active != nullptr && IsDialogMessageW(active, &msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);

    bool windowOpen = false;
    try {
        windowOpen = Main();
    } catch (const std::exception& e) {
        tolv::ShowMessage(L"Beklenmeyen hata: " + tolv::Utf8ToWide(e.what()), tolv::kStylePlain);
        return 0;
    }
    return windowOpen ? RunMessageLoop() : 0;
}
