// Stands in for Chrome and Edge in the tests. Copied under the name of the
// browser it plays, it appends what it was started with to <name>.log beside
// itself: the whole command line, the show-window state, and the state of the
// file named by its last argument at that moment (a path, --app=<path> or
// --app=file:///...), and the working folder it was started in. <name>.ini beside it may set
// ExitCode and SleepMs in the section [FakeBrowser]. After the sleep it appends "ended=1".

#include "windows/base/StringConvert.h"
#include "tests/windows/support/TestPaths.h"

#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <string>

namespace {

using tolv::Utf8ToWide;
using tolv::WideToUtf8;

int HexDigit(wchar_t c) {
    if (c >= L'0' && c <= L'9')
        return c - L'0';
    if (c >= L'A' && c <= L'F')
        return c - L'A' + 10;
    if (c >= L'a' && c <= L'f')
        return c - L'a' + 10;
    return -1;
}

// What a browser would open: file URLs are decoded back into a path.
std::wstring FileOfArgument(std::wstring argument) {
    if (argument.rfind(L"--app=", 0) == 0)
        argument.erase(0, 6);
    std::wstring host;
    if (argument.rfind(L"file:///", 0) == 0) {
        argument.erase(0, 8);
    } else if (argument.rfind(L"file://", 0) == 0) {
        argument.erase(0, 7);
        host = L"\\\\";
    } else {
        return argument;
    }
    std::string bytes;
    for (size_t i = 0; i < argument.size(); ++i) {
        if (argument[i] == L'%' && i + 2 < argument.size() && HexDigit(argument[i + 1]) >= 0 &&
            HexDigit(argument[i + 2]) >= 0) {
            bytes += static_cast<char>(HexDigit(argument[i + 1]) * 16 + HexDigit(argument[i + 2]));
            i += 2;
        } else if (argument[i] == L'/') {
            bytes += '\\';
        } else {
            bytes += WideToUtf8(std::wstring(1, argument[i]));
        }
    }
    return host + Utf8ToWide(bytes);
}

std::string FileState(const std::wstring& path) {
    std::string state;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return "exists=0\n";
    LARGE_INTEGER size{};
    GetFileSizeEx(file, &size);
    unsigned char head[16] = {};
    DWORD read = 0;
    ReadFile(file, head, sizeof(head), &read, nullptr);
    CloseHandle(file);
    char line[64];
    std::snprintf(line, sizeof(line), "exists=1\nsize=%lld\nhead=", size.QuadPart);
    state = line;
    for (DWORD i = 0; i < read; ++i) {
        std::snprintf(line, sizeof(line), "%02X", head[i]);
        state += line;
    }
    return state + "\n";
}

void Append(const std::wstring& logPath, const std::string& text) {
    HANDLE log = CreateFileW(logPath.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                             OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (log == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    WriteFile(log, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(log);
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    const std::wstring self = tolv::test::OwnExePath().wstring();
    const std::wstring stem = self.substr(0, self.find_last_of(L'.'));
    const std::wstring logPath = stem + L".log";
    const std::wstring iniPath = stem + L".ini";

    const wchar_t* commandLine = GetCommandLineW();
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(commandLine, &count);
    std::wstring last = arguments != nullptr && count > 1 ? arguments[count - 1] : L"";
    if (arguments != nullptr)
        LocalFree(arguments);
    const std::wstring file = FileOfArgument(last);

    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    GetStartupInfoW(&startup);
    const bool showSet = (startup.dwFlags & STARTF_USESHOWWINDOW) != 0;

    std::string record = "[run]\ncommandline=" + WideToUtf8(commandLine) + "\n";
    record +=
        "show=" + (showSet ? std::to_string(startup.wShowWindow) : std::string("none")) + "\n";
    record += "file=" + WideToUtf8(file) + "\n";
    std::wstring folder(MAX_PATH, L'\0');
    folder.resize(GetCurrentDirectoryW(static_cast<DWORD>(folder.size()), folder.data()));
    record += "cwd=" + WideToUtf8(folder) + "\n";
    record += FileState(file);
    Append(logPath, record);

    const UINT sleepMs = GetPrivateProfileIntW(L"FakeBrowser", L"SleepMs", 0, iniPath.c_str());
    const int exitCode =
        static_cast<int>(GetPrivateProfileIntW(L"FakeBrowser", L"ExitCode", 0, iniPath.c_str()));
    if (sleepMs > 0)
        Sleep(sleepMs);
    Append(logPath, "ended=1\n");
    return exitCode;
}
