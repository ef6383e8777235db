#include "tests/app/WinTestSupport.h"

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

namespace tolv::test {

fs::path ProgramBesideTests(const std::wstring& fileName) {
    std::wstring path(32768, L'\0');
    path.resize(GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
    return fs::path(path).parent_path() / fileName;
}

std::wstring InQuotes(const std::wstring& argument) {
    return L"\"" + argument + L"\"";
}

std::string ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

void WriteBytes(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path.string());
}

std::wstring FromUtf8(const std::string& text) {
    if (text.empty())
        return {};
    int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring result(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(), n);
    return result;
}

std::string ToUtf8(const std::wstring& text) {
    if (text.empty())
        return {};
    int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                nullptr, nullptr);
    std::string result(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(), n,
                        nullptr, nullptr);
    return result;
}

std::string Hex(const std::string& bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string result;
    for (unsigned char c : bytes) {
        result += digits[c >> 4];
        result += digits[c & 15];
    }
    return result;
}

ScopedEnv::ScopedEnv(const wchar_t* name, const std::wstring& value) : name_(name) {
    DWORD length = GetEnvironmentVariableW(name, nullptr, 0);
    if (length > 0) {
        std::wstring old(length, L'\0');
        old.resize(GetEnvironmentVariableW(name, old.data(), length));
        old_ = old;
    }
    SetEnvironmentVariableW(name, value.c_str());
}

ScopedEnv::~ScopedEnv() {
    SetEnvironmentVariableW(name_.c_str(), old_ ? old_->c_str() : nullptr);
}

ScopedFolder::ScopedFolder(const fs::path& path) : path_(path) {
    fs::path top = path;
    while (!top.parent_path().empty() && top.parent_path() != top && !fs::exists(top.parent_path()))
        top = top.parent_path();
    if (!fs::exists(path))
        createdTop_ = top;
    fs::create_directories(path);
}

ScopedFolder::~ScopedFolder() {
    std::error_code ignored;
    if (!createdTop_.empty())
        fs::remove_all(createdTop_, ignored);
}

namespace {

std::wstring SplitParent(const std::wstring& subKey, std::wstring& name) {
    size_t slash = subKey.rfind(L'\\');
    name = slash == std::wstring::npos ? subKey : subKey.substr(slash + 1);
    return slash == std::wstring::npos ? std::wstring() : subKey.substr(0, slash);
}

void DeleteKeyTree(HKEY root, const std::wstring& subKey, REGSAM view) {
    std::wstring name;
    std::wstring parent = SplitParent(subKey, name);
    HKEY parentKey = nullptr;
    if (RegOpenKeyExW(root, parent.c_str(), 0, KEY_ALL_ACCESS | view, &parentKey) != ERROR_SUCCESS)
        return;
    RegDeleteTreeW(parentKey, name.c_str());
    RegDeleteKeyExW(parentKey, name.c_str(), view, 0);
    RegCloseKey(parentKey);
}

const wchar_t kBackupRoot[] = L"Software\\TolvViewerTestBackup";

} // namespace

KeyBackup::KeyBackup(HKEY root, const std::wstring& subKey, REGSAM view)
    : root_(root), subKey_(subKey), view_(view) {
    HKEY original = nullptr;
    if (RegOpenKeyExW(root, subKey.c_str(), 0, KEY_READ | view, &original) != ERROR_SUCCESS)
        return;
    static int counter = 0;
    backupKey_ = std::wstring(kBackupRoot) + L"\\" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                 std::to_wstring(++counter);
    HKEY backup = nullptr;
    RegCreateKeyExW(HKEY_CURRENT_USER, backupKey_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                    &backup, nullptr);
    LSTATUS copied = RegCopyTreeW(original, nullptr, backup);
    RegCloseKey(backup);
    RegCloseKey(original);
    if (copied != ERROR_SUCCESS)
        throw std::runtime_error("cannot back up a registry key");
}

KeyBackup::~KeyBackup() {
    Delete();
    if (backupKey_.empty())
        return;
    HKEY backup = nullptr, restored = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, backupKey_.c_str(), 0, KEY_READ, &backup) ==
            ERROR_SUCCESS &&
        RegCreateKeyExW(root_, subKey_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view_, nullptr,
                        &restored, nullptr) == ERROR_SUCCESS)
        RegCopyTreeW(backup, nullptr, restored);
    if (restored != nullptr)
        RegCloseKey(restored);
    if (backup != nullptr)
        RegCloseKey(backup);
    RegDeleteTreeW(HKEY_CURRENT_USER, backupKey_.c_str());
    RegDeleteKeyW(HKEY_CURRENT_USER, backupKey_.c_str());
    // The backup root goes once it is empty.
    HKEY top = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kBackupRoot, 0, KEY_READ, &top) == ERROR_SUCCESS) {
        DWORD subKeys = 1;
        RegQueryInfoKeyW(top, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, nullptr,
                         nullptr, nullptr, nullptr, nullptr);
        RegCloseKey(top);
        if (subKeys == 0)
            RegDeleteKeyW(HKEY_CURRENT_USER, kBackupRoot);
    }
}

void KeyBackup::Delete() const {
    DeleteKeyTree(root_, subKey_, view_);
}

void SetDefaultValue(HKEY root, const std::wstring& subKey, REGSAM view, DWORD type,
                     const void* data, DWORD size) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(root, subKey.c_str(), 0, nullptr, 0, KEY_SET_VALUE | view, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        throw std::runtime_error("cannot create a registry key");
    LSTATUS status = RegSetValueExW(key, nullptr, 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS)
        throw std::runtime_error("cannot set a registry value");
}

void SetDefaultDword(HKEY root, const std::wstring& subKey, REGSAM view, DWORD value) {
    SetDefaultValue(root, subKey, view, REG_DWORD, &value, sizeof(value));
}

void SetDefaultText(HKEY root, const std::wstring& subKey, REGSAM view, const std::wstring& text) {
    SetDefaultValue(root, subKey, view, REG_SZ, text.c_str(),
                    static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

namespace {
fs::path Beside(const fs::path& exe, const wchar_t* extension) {
    fs::path path = exe;
    return path.replace_extension(extension);
}
} // namespace

FakeBrowserCopy::FakeBrowserCopy(const fs::path& exePath) : exePath_(exePath) {
    fs::create_directories(exePath.parent_path());
    // A copy that an earlier, failed test left running cannot be written over
    // until it ends.
    for (int attempt = 0;; ++attempt) {
        std::error_code error;
        fs::copy_file(ProgramBesideTests(L"FakeBrowser.exe"), exePath,
                      fs::copy_options::overwrite_existing, error);
        if (!error)
            break;
        if (attempt == 50)
            throw fs::filesystem_error("cannot place the fake browser", exePath, error);
        Sleep(100);
    }
    ClearRuns();
    Configure(0);
}

FakeBrowserCopy::~FakeBrowserCopy() {
    std::error_code ignored;
    fs::remove(exePath_, ignored);
    fs::remove(Beside(exePath_, L".log"), ignored);
    fs::remove(Beside(exePath_, L".ini"), ignored);
}

void FakeBrowserCopy::Configure(int exitCode, int sleepMs) const {
    WriteBytes(Beside(exePath_, L".ini"), "[FakeBrowser]\r\nExitCode=" + std::to_string(exitCode) +
                                              "\r\nSleepMs=" + std::to_string(sleepMs) + "\r\n");
}

void FakeBrowserCopy::ClearRuns() const {
    std::error_code ignored;
    fs::remove(Beside(exePath_, L".log"), ignored);
}

std::vector<BrowserRun> FakeBrowserCopy::Runs() const {
    std::vector<BrowserRun> runs;
    std::istringstream log(ReadBytes(Beside(exePath_, L".log")));
    std::string line;
    while (std::getline(log, line)) {
        if (line == "[run]") {
            runs.emplace_back();
            continue;
        }
        if (runs.empty())
            continue;
        size_t equals = line.find('=');
        std::string key = line.substr(0, equals);
        std::string value = equals == std::string::npos ? "" : line.substr(equals + 1);
        BrowserRun& run = runs.back();
        if (key == "commandline")
            run.commandLine = FromUtf8(value);
        else if (key == "show")
            run.show = FromUtf8(value);
        else if (key == "file")
            run.file = FromUtf8(value);
        else if (key == "exists")
            run.exists = value == "1";
        else if (key == "size")
            run.size = std::stoll(value);
        else if (key == "head")
            run.head = value;
        else if (key == "ended")
            run.ended = true;
    }
    return runs;
}

} // namespace tolv::test
