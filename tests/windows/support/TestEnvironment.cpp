#include "tests/windows/support/TestEnvironment.h"

#include "windows/base/Handles.h"

#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

namespace tolv::test {

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

KeyBackup::KeyBackup(HKEY root, const std::wstring& subKey, REGSAM view)
    : root_(root), subKey_(subKey), view_(view) {
    UniqueHkey original;
    if (RegOpenKeyExW(root, subKey.c_str(), 0, KEY_READ | view, original.put()) != ERROR_SUCCESS)
        return;
    // A key of its own for each backup, with no parent shared between test
    // processes that run side by side.
    static int counter = 0;
    backupKey_ = L"Software\\TolvViewerTestBackup." + std::to_wstring(GetCurrentProcessId()) +
                 L"." + std::to_wstring(++counter);
    UniqueHkey backup;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, backupKey_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                        nullptr, backup.put(), nullptr) != ERROR_SUCCESS ||
        RegCopyTreeW(original.get(), nullptr, backup.get()) != ERROR_SUCCESS)
        throw std::runtime_error("cannot back up a registry key");
}

KeyBackup::~KeyBackup() {
    Delete();
    if (backupKey_.empty())
        return;
    UniqueHkey backup, restored;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, backupKey_.c_str(), 0, KEY_READ, backup.put()) ==
            ERROR_SUCCESS &&
        RegCreateKeyExW(root_, subKey_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view_, nullptr,
                        restored.put(), nullptr) == ERROR_SUCCESS)
        RegCopyTreeW(backup.get(), nullptr, restored.get());
    backup.reset();
    RegDeleteTreeW(HKEY_CURRENT_USER, backupKey_.c_str());
    RegDeleteKeyW(HKEY_CURRENT_USER, backupKey_.c_str());
}

void KeyBackup::Delete() const {
    const size_t slash = subKey_.rfind(L'\\');
    const std::wstring parent = slash == std::wstring::npos ? L"" : subKey_.substr(0, slash);
    const std::wstring name = slash == std::wstring::npos ? subKey_ : subKey_.substr(slash + 1);
    UniqueHkey parentKey;
    if (RegOpenKeyExW(root_, parent.c_str(), 0, KEY_ALL_ACCESS | view_, parentKey.put()) !=
        ERROR_SUCCESS)
        return;
    RegDeleteTreeW(parentKey.get(), name.c_str());
    RegDeleteKeyExW(parentKey.get(), name.c_str(), view_, 0);
}

void SetDefaultValue(HKEY root, const std::wstring& subKey, REGSAM view, DWORD type,
                     const void* data, DWORD size) {
    UniqueHkey key;
    if (RegCreateKeyExW(root, subKey.c_str(), 0, nullptr, 0, KEY_SET_VALUE | view, nullptr,
                        key.put(), nullptr) != ERROR_SUCCESS)
        throw std::runtime_error("cannot create a registry key");
    if (RegSetValueExW(key.get(), nullptr, 0, type, static_cast<const BYTE*>(data), size) !=
        ERROR_SUCCESS)
        throw std::runtime_error("cannot set a registry value");
}

void SetDefaultDword(HKEY root, const std::wstring& subKey, REGSAM view, DWORD value) {
    SetDefaultValue(root, subKey, view, REG_DWORD, &value, sizeof(value));
}

void SetDefaultText(HKEY root, const std::wstring& subKey, REGSAM view, const std::wstring& text) {
    SetDefaultValue(root, subKey, view, REG_SZ, text.c_str(),
                    static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

std::optional<std::wstring> ReadClassText(const std::wstring& key) {
    return ReadDefaultText(HKEY_CLASSES_ROOT, key);
}

std::optional<std::wstring> ReadDefaultText(HKEY root, const std::wstring& key) {
    DWORD type = 0;
    DWORD size = 0;
    if (RegGetValueW(root, key.c_str(), nullptr, RRF_RT_ANY | RRF_NOEXPAND, &type, nullptr,
                     &size) != ERROR_SUCCESS ||
        type != REG_SZ)
        return std::nullopt;
    std::wstring text(size / sizeof(wchar_t), L'\0');
    if (RegGetValueW(root, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, text.data(), &size) !=
        ERROR_SUCCESS)
        return std::nullopt;
    text.resize(wcsnlen(text.c_str(), text.size()));
    return text;
}

namespace {
std::wstring SettingKey(const wchar_t* setting) {
    return std::wstring(kPreferencesKey) + L"\\CurrentVersion\\" + setting;
}
} // namespace

std::optional<DWORD> StoredValue::Dword() const {
    if (type != REG_DWORD || data.size() != sizeof(DWORD))
        return std::nullopt;
    DWORD value = 0;
    std::memcpy(&value, data.data(), sizeof(value));
    return value;
}

void StoreDword(const wchar_t* setting, DWORD value, REGSAM view) {
    SetDefaultDword(HKEY_LOCAL_MACHINE, SettingKey(setting), view, value);
}

void StoreText(const wchar_t* setting, const std::wstring& value) {
    SetDefaultText(HKEY_LOCAL_MACHINE, SettingKey(setting), KEY_WOW64_32KEY, value);
}

void StoreValue(const wchar_t* setting, DWORD type, const void* data, DWORD size) {
    SetDefaultValue(HKEY_LOCAL_MACHINE, SettingKey(setting), KEY_WOW64_32KEY, type, data, size);
}

std::optional<StoredValue> ReadSetting(const wchar_t* setting, REGSAM view) {
    UniqueHkey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, SettingKey(setting).c_str(), 0, KEY_READ | view,
                      key.put()) != ERROR_SUCCESS)
        return std::nullopt;
    StoredValue value;
    DWORD size = 0;
    if (RegQueryValueExW(key.get(), nullptr, nullptr, &value.type, nullptr, &size) != ERROR_SUCCESS)
        return std::nullopt;
    value.data.resize(size);
    if (RegQueryValueExW(key.get(), nullptr, nullptr, &value.type, value.data.data(), &size) !=
        ERROR_SUCCESS)
        return std::nullopt;
    value.data.resize(size);
    return value;
}

std::optional<DWORD> StoredDword(const wchar_t* setting) {
    std::optional<StoredValue> value = ReadSetting(setting);
    return value ? value->Dword() : std::nullopt;
}

} // namespace tolv::test
