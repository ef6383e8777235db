#include "tests/ui/ProgramDriver.h"

#include "tests/support/TestPaths.h"

#include <gtest/gtest.h>

namespace tolv::test {

namespace {

constexpr UINT kSendTimeoutMs = 2000;
constexpr DWORD kPollMs = 50;

// The program is per-monitor DPI aware; the test reads its coordinates
// unscaled.
void UsePhysicalCoordinates() {
    SetThreadDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
}

std::wstring ClassOf(HWND window) {
    wchar_t name[64] = {};
    int length = GetClassNameW(window, name, 64);
    return std::wstring(name, length > 0 ? static_cast<size_t>(length) : 0);
}

std::wstring TextOf(HWND window) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs,
                             &length))
        return {};
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                             SMTO_ABORTIFHUNG, kSendTimeoutMs, &copied))
        return {};
    text.resize(copied < length ? copied : length);
    return text;
}

struct WindowSearch {
    DWORD processId;
    HWND found;
};

BOOL CALLBACK FindTitled(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<WindowSearch*>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == search->processId && IsWindowVisible(window) && TextOf(window) == kWindowTitle) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

HKEY OpenPreferences(REGSAM access, REGSAM view, bool create) {
    HKEY key = nullptr;
    LSTATUS status =
        create ? RegCreateKeyExW(HKEY_LOCAL_MACHINE, kPreferencesKey, 0, nullptr, 0, access | view,
                                 nullptr, &key, nullptr)
               : RegOpenKeyExW(HKEY_LOCAL_MACHINE, kPreferencesKey, 0, access | view, &key);
    return status == ERROR_SUCCESS ? key : nullptr;
}

LSTATUS StoreSetting(const wchar_t* setting, DWORD type, const void* data, DWORD size) {
    UniqueHkey root(OpenPreferences(KEY_ALL_ACCESS, KEY_WOW64_32KEY, true));
    if (!root)
        return ERROR_ACCESS_DENIED;
    const std::wstring key = std::wstring(L"CurrentVersion\\") + setting;
    return RegSetKeyValueW(root.get(), key.c_str(), nullptr, type, data, size);
}

} // namespace

std::filesystem::path ProgramPath() {
    return BesideTestExe(L"Tolv.Viewer.Exe");
}

ProgramRun::ProgramRun(const std::filesystem::path& exe, HANDLE token) {
    UsePhysicalCoordinates();
    std::wstring commandLine = Quoted(exe.wstring());
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION started{};
    const std::wstring folder = exe.parent_path().wstring();
    BOOL ok = token != nullptr
                  ? CreateProcessAsUserW(token, exe.c_str(), commandLine.data(), nullptr, nullptr,
                                         FALSE, 0, nullptr, folder.c_str(), &startup, &started)
                  : CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                                   nullptr, folder.c_str(), &startup, &started);
    if (!ok) {
        ADD_FAILURE() << "cannot start " << exe.string() << ", error " << GetLastError();
        return;
    }
    process_.reset(started.hProcess);
    UniqueHandle thread(started.hThread);
    id_ = started.dwProcessId;
}

ProgramRun::~ProgramRun() {
    if (process_ && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT) {
        TerminateProcess(process_.get(), 99);
        WaitForSingleObject(process_.get(), 5000);
    }
}

HWND ProgramRun::WaitForWindow(DWORD timeoutMs) const {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    while (process_) {
        WindowSearch search{id_, nullptr};
        EnumWindows(FindTitled, reinterpret_cast<LPARAM>(&search));
        // Ready once the window has put the focus on its first control.
        if (search.found != nullptr && FocusOf(search.found) != nullptr)
            return search.found;
        if (GetTickCount64() >= deadline || WaitForSingleObject(process_.get(), kPollMs) == 0)
            break;
    }
    return nullptr;
}

std::optional<DWORD> ProgramRun::WaitForExit(DWORD timeoutMs) const {
    if (!process_ || WaitForSingleObject(process_.get(), timeoutMs) != WAIT_OBJECT_0)
        return std::nullopt;
    DWORD code = 0;
    GetExitCodeProcess(process_.get(), &code);
    return code;
}

std::vector<Control> Controls(HWND window) {
    UsePhysicalCoordinates();
    std::vector<Control> controls;
    for (HWND child = GetWindow(window, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        Control control{child, ClassOf(child), TextOf(child), GetWindowLongW(child, GWL_STYLE), {}};
        GetWindowRect(child, &control.rect);
        MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&control.rect), 2);
        controls.push_back(control);
    }
    return controls;
}

Control FindControl(HWND window, const std::wstring& caption) {
    for (const Control& control : Controls(window))
        if (control.text == caption)
            return control;
    return {};
}

int CheckState(HWND button) {
    DWORD_PTR state = 0;
    if (!SendMessageTimeoutW(button, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &state))
        return -1;
    return static_cast<int>(state);
}

HWND FocusOf(HWND window) {
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info))
        return nullptr;
    return info.hwndFocus;
}

void PressKey(HWND window, WPARAM virtualKey) {
    HWND target = FocusOf(window);
    const UINT scan = MapVirtualKeyW(static_cast<UINT>(virtualKey), MAPVK_VK_TO_VSC);
    PostMessageW(target != nullptr ? target : window, WM_KEYDOWN, virtualKey,
                 static_cast<LPARAM>(1 | (scan << 16)));
    PostMessageW(target != nullptr ? target : window, WM_KEYUP, virtualKey,
                 static_cast<LPARAM>(1 | (scan << 16) | (3u << 30)));
}

HWND WaitForFocusChange(HWND window, HWND from, DWORD timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        HWND focus = FocusOf(window);
        if (focus != from || GetTickCount64() >= deadline)
            return focus;
        Sleep(20);
    }
}

std::optional<DWORD> StoredValue::Dword() const {
    if (type != REG_DWORD || data.size() != sizeof(DWORD))
        return std::nullopt;
    DWORD value = 0;
    memcpy(&value, data.data(), sizeof(value));
    return value;
}

void DeletePreferences() {
    for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) {
        UniqueHkey software;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE", 0, KEY_ALL_ACCESS | view,
                          software.put()) == ERROR_SUCCESS)
            RegDeleteTreeW(software.get(), L"TolvViewerBrowser");
    }
}

LSTATUS StoreDword(const wchar_t* setting, DWORD value) {
    return StoreSetting(setting, REG_DWORD, &value, sizeof(value));
}

LSTATUS StoreText(const wchar_t* setting, const std::wstring& value) {
    return StoreSetting(setting, REG_SZ, value.c_str(),
                        static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

LSTATUS StoreBinary(const wchar_t* setting, const std::vector<BYTE>& value) {
    return StoreSetting(setting, REG_BINARY, value.data(), static_cast<DWORD>(value.size()));
}

std::optional<StoredValue> ReadSetting(const wchar_t* setting, REGSAM view) {
    UniqueHkey root(OpenPreferences(KEY_READ, view, false));
    if (!root)
        return std::nullopt;
    const std::wstring key = std::wstring(L"CurrentVersion\\") + setting;
    StoredValue value;
    DWORD size = 0;
    if (RegGetValueW(root.get(), key.c_str(), nullptr, RRF_RT_ANY | RRF_NOEXPAND, &value.type,
                     nullptr, &size) != ERROR_SUCCESS)
        return std::nullopt;
    value.data.resize(size);
    if (RegGetValueW(root.get(), key.c_str(), nullptr, RRF_RT_ANY | RRF_NOEXPAND, &value.type,
                     value.data.data(), &size) != ERROR_SUCCESS)
        return std::nullopt;
    value.data.resize(size);
    return value;
}

std::optional<std::wstring> ReadClassText(const std::wstring& key) {
    DWORD type = 0;
    DWORD size = 0;
    if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), nullptr, RRF_RT_ANY | RRF_NOEXPAND, &type,
                     nullptr, &size) != ERROR_SUCCESS ||
        type != REG_SZ)
        return std::nullopt;
    std::wstring text(size / sizeof(wchar_t), L'\0');
    if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, text.data(),
                     &size) != ERROR_SUCCESS)
        return std::nullopt;
    text.resize(wcsnlen(text.c_str(), text.size()));
    return text;
}

void DeleteClassKey(const std::wstring& key) {
    RegDeleteTreeW(HKEY_CLASSES_ROOT, key.c_str());
    RegDeleteKeyW(HKEY_CLASSES_ROOT, key.c_str());
}

LSTATUS StoreClassText(const std::wstring& key, const std::wstring& value) {
    return RegSetKeyValueW(HKEY_CLASSES_ROOT, key.c_str(), nullptr, REG_SZ, value.c_str(),
                           static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

} // namespace tolv::test
