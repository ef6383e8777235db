#pragma once
// What the Windows tests of file mode share: folders and environment variables
// that are put back afterwards, registry keys restored as they were, and the
// fake browser's copies and records.

#include <windows.h>

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tolv::test {

// A program built beside the test executables.
std::filesystem::path ProgramBesideTests(const std::wstring& fileName);
// One command-line argument in quotes (the tests' texts hold no quotes).
std::wstring InQuotes(const std::wstring& argument);

std::string ReadBytes(const std::filesystem::path& path);
void WriteBytes(const std::filesystem::path& path, const std::string& bytes);
std::wstring FromUtf8(const std::string& text);
std::string ToUtf8(const std::wstring& text);

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

// Writes a default value into root\subKey (created as needed) in a view.
void SetDefaultValue(HKEY root, const std::wstring& subKey, REGSAM view, DWORD type,
                     const void* data, DWORD size);
void SetDefaultDword(HKEY root, const std::wstring& subKey, REGSAM view, DWORD value);
void SetDefaultText(HKEY root, const std::wstring& subKey, REGSAM view, const std::wstring& text);

// One start of the fake browser as it recorded it.
struct BrowserRun {
    std::wstring commandLine;
    std::wstring show;   // the show-window state it was given, or "none"
    std::wstring file;   // the path it would open
    bool exists = false; // the state of that file when it started
    long long size = -1;
    std::string head; // its first bytes, in hexadecimal
    bool ended = false;
};

// A copy of the fake browser under a given path, with its exit code and
// sleep; its records are read back with Runs().
class FakeBrowserCopy {
public:
    explicit FakeBrowserCopy(const std::filesystem::path& exePath);
    ~FakeBrowserCopy();
    FakeBrowserCopy(const FakeBrowserCopy&) = delete;
    FakeBrowserCopy& operator=(const FakeBrowserCopy&) = delete;

    const std::filesystem::path& path() const { return exePath_; }
    void Configure(int exitCode, int sleepMs = 0) const;
    void ClearRuns() const;
    std::vector<BrowserRun> Runs() const;

private:
    std::filesystem::path exePath_;
};

std::string Hex(const std::string& bytes);

} // namespace tolv::test
