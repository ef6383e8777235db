// Entry point: chooses the mode from the argument text and shows whatever error
// reaches it.

#include "windows/base/MessageBox.h"
#include "core/Arguments.h"
#include "windows/app/Modes.h"
#include "windows/base/StringConvert.h"
#include "signature/Summary.h"

#include <windows.h>
#include <commctrl.h>

#include <exception>
#include <optional>

namespace {

constexpr char kUnexpected[] = "Beklenmeyen hata: ";

// Libraries loaded at run time come from the system folder only. The program
// is run as administrator from wherever it was downloaded to, and a DLL that
// someone put beside it there must never be loaded. Looked up by name: older
// systems lack the function, and there the current folder at least goes.
void RestrictLibrarySearch() {
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
    const auto setDefault =
        reinterpret_cast<SetDefaultDllDirectoriesFn>(reinterpret_cast<void (*)()>(
            GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories")));
    if (setDefault == nullptr || !setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32))
        SetDllDirectoryW(L"");
}

// Answers the preferences window when setup mode opened it, null otherwise.
HWND Main() {
    std::wstring argumentText = tolv::ArgumentText(GetCommandLineW());
    if (argumentText.empty())
        return tolv::RunSetupMode();
    if (std::optional<std::wstring> report = tolv::SignatureInfoPath(argumentText))
        tolv::RunSignatureInfo(*report);
    else
        tolv::RunFileMode(argumentText);
    return nullptr;
}

int RunMessageLoop(HWND dialog) {
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        // Lets the modeless dialog handle Tab, Enter and Esc itself.
        if (IsDialogMessageW(dialog, &msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    RestrictLibrarySearch();
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);

    HWND dialog = nullptr;
    try {
        dialog = Main();
    } catch (const tolv::FileModeError& e) {
        const std::string text = kUnexpected + std::string(e.what());
        tolv::ShowMessage(tolv::BoxText(tolv::signature::AboutReport(e.ReportName(), text)),
                          tolv::kStylePlain);
        return 0;
    } catch (const std::exception& e) {
        tolv::ShowMessage(tolv::Utf8ToWide(kUnexpected + std::string(e.what())), tolv::kStylePlain);
        return 0;
    }
    return dialog != nullptr ? RunMessageLoop(dialog) : 0;
}
