#pragma once
// Copies of tests/windows/tools/FakeBrowser.exe playing the browsers, and their records.

#include "tests/windows/support/TestEnvironment.h"

#include <filesystem>
#include <string>
#include <vector>

namespace tolv::test {

// One start of the fake browser as it recorded it.
struct BrowserRun {
    std::wstring commandLine;
    std::wstring show;   // the show-window state it was given, or "none"
    std::wstring file;   // the path it would open
    std::wstring cwd;    // its working folder
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

// Chrome and Edge as fake browsers in a folder whose path has a blank,
// registered under App Paths in the 64-bit view; every App Paths entry of the
// two (both views of HKEY_LOCAL_MACHINE, and HKEY_CURRENT_USER) is put back
// afterwards.
class InstalledBrowsers {
public:
    InstalledBrowsers();
    // Registers a browser ("chrome.exe", "msedge.exe") in one view.
    void Register(const std::wstring& name, REGSAM view) const;
    // Stores any value as a browser's App Paths entry under a root
    // (HKEY_LOCAL_MACHINE in a view, or HKEY_CURRENT_USER).
    void RegisterValue(HKEY root, const std::wstring& name, REGSAM view, DWORD type,
                       const std::wstring& text) const;
    void Unregister(const std::wstring& name, REGSAM view) const;

private:
    KeyBackup chrome64_, chrome32_, edge64_, edge32_, chromeUser_, edgeUser_;
    ScopedFolder folder_{L"C:\\Program Files\\Fake Browser"};

public:
    FakeBrowserCopy chrome{folder_.path() / L"chrome.exe"};
    FakeBrowserCopy edge{folder_.path() / L"msedge.exe"};
};

std::string Hex(const std::string& bytes);

} // namespace tolv::test
