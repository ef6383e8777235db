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

bool ShellAndWait(const std::wstring& commandLine, int32_t& exitCode, int windowStyle,
                  const std::wstring& workingFolder) {
    const UniqueProcessInfo started =
        StartProcess(commandLine, windowStyle, nullptr, workingFolder);
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

std::wstring FolderOfFile(const std::wstring& file) {
    std::wstring full(MAX_PATH, L'\0');
    wchar_t* name = nullptr;
    for (;;) {
        const DWORD length =
            GetFullPathNameW(file.c_str(), static_cast<DWORD>(full.size()), full.data(), &name);
        if (length == 0)
            return {};
        if (length < full.size()) {
            full.resize(length);
            break;
        }
        full.assign(length, L'\0');
    }
    if (name == nullptr)
        return {}; // the path names a folder, not a file in one
    full.resize(static_cast<size_t>(name - full.data()));
    // A drive root keeps its backslash; any other folder loses it.
    if (full.size() > 1 && full.back() == L'\\' && full[full.size() - 2] != L':')
        full.pop_back();
    return full;
}

void LeaveWorkingFolder() {
    wchar_t folder[MAX_PATH];
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    if (length > 0 && length < MAX_PATH)
        SetCurrentDirectoryW(folder);
}

} // namespace tolv
