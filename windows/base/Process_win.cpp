#include "windows/base/Process_win.h"

#include <vector>

namespace tolv {

UniqueProcessInfo StartProcess(const std::wstring& commandLine, int showStyle, DWORD* error,
                               const std::wstring& workingFolder) {
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = static_cast<WORD>(showStyle);
    // CreateProcessW may write into the command line.
    std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
    line.push_back(L'\0');

    PROCESS_INFORMATION started{};
    const wchar_t* folder = workingFolder.empty() ? nullptr : workingFolder.c_str();
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, folder, &startup,
                        &started)) {
        if (error != nullptr)
            *error = GetLastError();
        return {};
    }
    return UniqueProcessInfo(started);
}

} // namespace tolv
