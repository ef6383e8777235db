// Calls one operation of the registry class that may show a message box, so
// that a test can watch the box from outside:
//   RegisterProbe DeleteKey <root> <sub-key> <message 0|1>
//   RegisterProbe DeleteValue <root> <sub-key> <value name> <message 0|1>
// <root> is the signed decimal number of the root. The exit code is 1 when the
// operation answered true, 0 when false, 2 for a command line it does not know.

#include "windows/registry/Register.h"

#include <cwchar>
#include <string>

int wmain(int argc, wchar_t** argv) {
    const std::wstring operation = argc > 1 ? argv[1] : L"";
    tolv::Register reg;
    if (operation == L"DeleteKey" && argc == 5) {
        return reg.DeleteKey(argv[3], std::wcstol(argv[2], nullptr, 10),
                             std::wcscmp(argv[4], L"1") == 0)
                   ? 1
                   : 0;
    }
    if (operation == L"DeleteValue" && argc == 6) {
        return reg.DeleteValue(argv[3], argv[4], std::wcstol(argv[2], nullptr, 10),
                               std::wcscmp(argv[5], L"1") == 0)
                   ? 1
                   : 0;
    }
    return 2;
}
