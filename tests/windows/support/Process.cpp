#include "tests/windows/support/Process.h"

#include <algorithm>

namespace tolv::test {

namespace {

constexpr UINT kSendTimeoutMs = 2000;
constexpr DWORD kPollMs = 50;

struct WindowSearch {
    DWORD processId;
    const std::wstring* title;
    HWND found;
};

BOOL CALLBACK FindTitled(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<WindowSearch*>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == search->processId && IsWindowVisible(window) &&
        WindowText(window) == *search->title) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

} // namespace

TestProcess::TestProcess(const std::wstring& commandLine, const wchar_t* workingDir, HANDLE token) {
    std::wstring mutableLine = commandLine; // CreateProcessW may write into it
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION started{};
    const BOOL ok = token != nullptr
                        ? CreateProcessAsUserW(token, nullptr, mutableLine.data(), nullptr, nullptr,
                                               FALSE, 0, nullptr, workingDir, &startup, &started)
                        : CreateProcessW(nullptr, mutableLine.data(), nullptr, nullptr, FALSE, 0,
                                         nullptr, workingDir, &startup, &started);
    if (!ok) {
        startError_ = GetLastError();
        return;
    }
    process_.reset(started.hProcess);
    UniqueHandle thread(started.hThread);
    id_ = started.dwProcessId;
}

TestProcess::~TestProcess() {
    if (process_ && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT) {
        TerminateProcess(process_.get(), 99);
        WaitForSingleObject(process_.get(), 10000);
    }
}

std::optional<DWORD> TestProcess::WaitForExit(DWORD timeoutMs) const {
    if (!process_ || WaitForSingleObject(process_.get(), timeoutMs) != WAIT_OBJECT_0)
        return std::nullopt;
    DWORD code = 0;
    GetExitCodeProcess(process_.get(), &code);
    return code;
}

HWND TestProcess::WaitForWindow(const std::wstring& title, DWORD timeoutMs) const {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    while (process_) {
        WindowSearch search{id_, &title, nullptr};
        EnumWindows(FindTitled, reinterpret_cast<LPARAM>(&search));
        // Ready once the window has put the focus on its first control.
        if (search.found != nullptr && FocusOf(search.found) != nullptr)
            return search.found;
        if (GetTickCount64() >= deadline || WaitForSingleObject(process_.get(), kPollMs) == 0)
            break;
    }
    return nullptr;
}

std::wstring WindowText(HWND window) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs,
                             &length))
        return {};
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                             SMTO_ABORTIFHUNG, kSendTimeoutMs, &copied))
        return {};
    text.resize(std::min<size_t>(copied, length));
    return text;
}

std::wstring ClassName(HWND window) {
    wchar_t name[64] = {};
    const int length = GetClassNameW(window, name, 64);
    return std::wstring(name, static_cast<size_t>(std::max(length, 0)));
}

HWND FocusOf(HWND window) {
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info))
        return nullptr;
    return info.hwndFocus;
}

} // namespace tolv::test
