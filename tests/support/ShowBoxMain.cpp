// ShowBox.exe STYLE TEXT [CAPTION]
// Shows one box through the program's own message-box path: STYLE is the box
// style in decimal, "_" in TEXT becomes a line break as in the program's strings.

#include "app/MessageBox.h"
#include "app/Text.h"

#include <windows.h>
#include <shellapi.h>

#include <cwchar>
#include <memory>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    int argc = 0;
    std::unique_ptr<LPWSTR, decltype(&LocalFree)> argv(CommandLineToArgvW(GetCommandLineW(), &argc),
                                                       &LocalFree);
    if (!argv || argc < 3 || argc > 4)
        return 2;
    wchar_t* end = nullptr;
    const unsigned long style = std::wcstoul(argv.get()[1], &end, 10);
    if (end == argv.get()[1] || *end != L'\0')
        return 2;
    tolv::ShowMessage(tolv::ExpandLineBreaks(argv.get()[2]), static_cast<unsigned>(style),
                      argc == 4 ? argv.get()[3] : nullptr);
    return 0;
}
