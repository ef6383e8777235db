#pragma once
// State that a Windows test changes and puts back: environment variables,
// folders, registry keys; and the program's preferences as stored.

#include <windows.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace tolv::test {

std::string ReadBytes(const std::filesystem::path& path);
void WriteBytes(const std::filesystem::path& path, const std::string& bytes);

// Sets an environment variable of this process (and so of the programs it
// starts) and restores the old value when it goes.
class ScopedEnv {
public:
    ScopedEnv(const wchar_t* name, const std::wstring& value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::wstring name_;
    std::optional<std::wstring> old_;
};

// A folder that is created (with its parents) and removed with its content,
// together with the parents that it created. A folder that existed stays.
class ScopedFolder {
public:
    explicit ScopedFolder(const std::filesystem::path& path);
    ~ScopedFolder();
    ScopedFolder(const ScopedFolder&) = delete;
    ScopedFolder& operator=(const ScopedFolder&) = delete;
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
    std::filesystem::path createdTop_;
};

// Keeps a registry key tree (in one view) and puts it back exactly as it was,
// or removes it when it did not exist. The test may change it freely meanwhile.
class KeyBackup {
public:
    KeyBackup(HKEY root, const std::wstring& subKey, REGSAM view);
    ~KeyBackup();
    KeyBackup(const KeyBackup&) = delete;
    KeyBackup& operator=(const KeyBackup&) = delete;
    // Removes the key (and everything below it) now.
    void Delete() const;

private:
    HKEY root_;
    std::wstring subKey_;
    REGSAM view_;
    std::wstring backupKey_; // under HKCU; empty when the key did not exist
};

// Writes a default value into root\subKey (created as needed) in a view; throws
// when it cannot.
void SetDefaultValue(HKEY root, const std::wstring& subKey, REGSAM view, DWORD type,
                     const void* data, DWORD size);
void SetDefaultDword(HKEY root, const std::wstring& subKey, REGSAM view, DWORD value);
void SetDefaultText(HKEY root, const std::wstring& subKey, REGSAM view, const std::wstring& text);
// The REG_SZ default value of a key under HKEY_CLASSES_ROOT, or under root.
std::optional<std::wstring> ReadClassText(const std::wstring& key);
std::optional<std::wstring> ReadDefaultText(HKEY root, const std::wstring& key);

// The association of report files with the program, which every start in
// setup mode writes; put back afterwards.
class AssociationBackup {
public:
    void Delete() const {
        extension_.Delete();
        type_.Delete();
    }

private:
    KeyBackup extension_{HKEY_CLASSES_ROOT, L".Tolv", 0};
    KeyBackup type_{HKEY_CLASSES_ROOT, L"Tolv.Viewer.Exe", 0};
};

// The viewer preferences, HKLM\SOFTWARE\TolvViewerBrowser\CurrentVersion\<setting>,
// in the 32-bit view where the program keeps them.
inline constexpr wchar_t kPreferencesKey[] = L"SOFTWARE\\TolvViewerBrowser";

// Empties the preferences in both views for the test and puts back what was there.
class PreferencesBackup {
public:
    PreferencesBackup() { Delete(); }
    void Delete() const {
        view32_.Delete();
        view64_.Delete();
    }

private:
    KeyBackup view32_{HKEY_LOCAL_MACHINE, kPreferencesKey, KEY_WOW64_32KEY};
    KeyBackup view64_{HKEY_LOCAL_MACHINE, kPreferencesKey, KEY_WOW64_64KEY};
};

struct StoredValue {
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
    std::optional<DWORD> Dword() const;
};
void StoreDword(const wchar_t* setting, DWORD value, REGSAM view = KEY_WOW64_32KEY);
void StoreText(const wchar_t* setting, const std::wstring& value);
void StoreValue(const wchar_t* setting, DWORD type, const void* data, DWORD size);
std::optional<StoredValue> ReadSetting(const wchar_t* setting, REGSAM view = KEY_WOW64_32KEY);
std::optional<DWORD> StoredDword(const wchar_t* setting);

} // namespace tolv::test
