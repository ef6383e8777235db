#include "core/General.h"
#include "windows/base/General_win.h"

#include "windows/base/Process_win.h"

#include <windows.h>

namespace tolv {

std::wstring GetTempFolder() {
    // Asked for its size first, so a long temporary folder fits; asked again
    // if it grew in between.
    std::wstring buffer;
    DWORD needed = GetTempPathW(0, nullptr);
    while (needed > buffer.size()) {
        buffer.assign(needed, L'\0');
        needed = GetTempPathW(static_cast<DWORD>(buffer.size()), buffer.data());
    }
    if (needed == 0)
        return {};
    return CutAtNull(buffer);
}

std::wstring MakeTempFile(std::wstring& folder, const std::wstring& prefix, bool nameOnly) {
    if (folder.empty())
        folder = GetTempFolder();
    // The platform writes at most MAX_PATH characters; the folder may take up
    // to MAX_PATH - 14 of them.
    std::wstring buffer(MAX_PATH + 1, L'\0');
    if (GetTempFileNameW(folder.c_str(), prefix.c_str(), 0, buffer.data()) == 0)
        return {};
    std::wstring result = CutAtNull(buffer);
    if (nameOnly) {
        std::wstring discarded;
        result = SplitPath(result, discarded);
    }
    return result;
}

bool ShellAndWait(const std::wstring& commandLine, int32_t& exitCode, int windowStyle) {
    const UniqueProcessInfo started = StartProcess(commandLine, windowStyle);
    if (!started)
        return false;
    // The handle from the start itself, not one reopened by id: an id can be
    // reused once the process has ended, a handle keeps its process.
    if (WaitForSingleObject(started.process(), INFINITE) != WAIT_OBJECT_0)
        return false;
    DWORD code = 0;
    if (!GetExitCodeProcess(started.process(), &code))
        return false;
    exitCode = static_cast<int32_t>(code);
    return code == 0;
}

} // namespace tolv
