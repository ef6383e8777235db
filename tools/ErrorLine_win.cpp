#include "tools/ErrorLine.h"

#include <cstdio>
#include <string>
#include <windows.h>

namespace tolv::tools {

namespace {

void Print(DWORD which, std::FILE* stream, const char* text, const wchar_t* end = L"\r\n") {
    // A console shows Turkish letters whatever its code page only through the
    // wide API; redirected output stays UTF-8.
    HANDLE err = GetStdHandle(which);
    DWORD mode;
    if (GetConsoleMode(err, &mode)) {
        const int n = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
        std::wstring wide(std::size_t(n > 0 ? n - 1 : 0), L'\0');
        MultiByteToWideChar(CP_UTF8, 0, text, -1, wide.data(), n);
        wide += end;
        DWORD written;
        WriteConsoleW(err, wide.data(), DWORD(wide.size()), &written, nullptr);
        return;
    }
    std::fprintf(stream, "%s\n", text);
    std::fflush(stream);
}

} // namespace

void PrintLine(const char* text) {
    Print(STD_ERROR_HANDLE, stderr, text);
}

void PrintOutputLine(const char* text) {
    Print(STD_OUTPUT_HANDLE, stdout, text);
}

bool ErrorIsTerminal() {
    DWORD mode;
    return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

bool OutputIsTerminal() {
    DWORD mode;
    return GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode) != 0;
}

void PrintProgress(const char* text) {
    Print(STD_ERROR_HANDLE, stderr, (std::string("\r") + text).c_str(), L"");
}

} // namespace tolv::tools
