#pragma once
// Where a Windows test finds the program and its helper programs: beside itself.

#include <windows.h>

#include <filesystem>
#include <string>

namespace tolv::test {

inline std::filesystem::path OwnExePath() {
    std::wstring path(32768, L'\0');
    path.resize(GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
    return path;
}

inline std::filesystem::path BesideTestExe(const std::wstring& fileName) {
    return OwnExePath().parent_path() / fileName;
}

// The program itself.
inline std::filesystem::path ProgramPath() {
    return BesideTestExe(L"Tolv.Viewer.Exe");
}

// One argument of a command line, quoted so that CommandLineToArgvW and the C
// runtime read it back unchanged (blanks, quotes and trailing backslashes included).
inline std::wstring Quoted(const std::wstring& argument) {
    std::wstring quoted = L"\"";
    size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        // Backslashes double only where a quote follows them.
        quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        quoted += c;
        backslashes = 0;
    }
    quoted.append(backslashes * 2, L'\\');
    return quoted + L"\"";
}

} // namespace tolv::test
