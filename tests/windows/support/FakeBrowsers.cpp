#include "tests/windows/support/FakeBrowsers.h"

#include "tests/windows/support/TestPaths.h"

#include "windows/base/StringConvert.h"

#include <sstream>

namespace fs = std::filesystem;

namespace tolv::test {

namespace {

const std::wstring kAppPaths = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";

fs::path Beside(const fs::path& exe, const wchar_t* extension) {
    fs::path path = exe;
    return path.replace_extension(extension);
}

} // namespace

std::string Hex(const std::string& bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string result;
    for (unsigned char c : bytes) {
        result += digits[c >> 4];
        result += digits[c & 15];
    }
    return result;
}

FakeBrowserCopy::FakeBrowserCopy(const fs::path& exePath) : exePath_(exePath) {
    fs::create_directories(exePath.parent_path());
    // A copy that an earlier, failed test left running cannot be written over
    // until it ends.
    for (int attempt = 0;; ++attempt) {
        std::error_code error;
        fs::copy_file(BesideTestExe(L"FakeBrowser.exe"), exePath,
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
        const size_t equals = line.find('=');
        const std::string key = line.substr(0, equals);
        const std::string value = equals == std::string::npos ? "" : line.substr(equals + 1);
        BrowserRun& run = runs.back();
        if (key == "commandline")
            run.commandLine = Utf8ToWide(value);
        else if (key == "show")
            run.show = Utf8ToWide(value);
        else if (key == "file")
            run.file = Utf8ToWide(value);
        else if (key == "cwd")
            run.cwd = Utf8ToWide(value);
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

InstalledBrowsers::InstalledBrowsers()
    : chrome64_(HKEY_LOCAL_MACHINE, kAppPaths + L"chrome.exe", KEY_WOW64_64KEY),
      chrome32_(HKEY_LOCAL_MACHINE, kAppPaths + L"chrome.exe", KEY_WOW64_32KEY),
      edge64_(HKEY_LOCAL_MACHINE, kAppPaths + L"msedge.exe", KEY_WOW64_64KEY),
      edge32_(HKEY_LOCAL_MACHINE, kAppPaths + L"msedge.exe", KEY_WOW64_32KEY),
      chromeUser_(HKEY_CURRENT_USER, kAppPaths + L"chrome.exe", 0),
      edgeUser_(HKEY_CURRENT_USER, kAppPaths + L"msedge.exe", 0) {
    for (const KeyBackup* key :
         {&chrome64_, &chrome32_, &edge64_, &edge32_, &chromeUser_, &edgeUser_})
        key->Delete();
    Register(L"chrome.exe", KEY_WOW64_64KEY);
    Register(L"msedge.exe", KEY_WOW64_64KEY);
}

void InstalledBrowsers::Register(const std::wstring& name, REGSAM view) const {
    const FakeBrowserCopy& browser = name == L"chrome.exe" ? chrome : edge;
    SetDefaultText(HKEY_LOCAL_MACHINE, kAppPaths + name, view, browser.path().wstring());
}

void InstalledBrowsers::RegisterValue(HKEY root, const std::wstring& name, REGSAM view, DWORD type,
                                      const std::wstring& text) const {
    SetDefaultValue(root, kAppPaths + name, view, type, text.c_str(),
                    static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

void InstalledBrowsers::Unregister(const std::wstring& name, REGSAM view) const {
    const bool chromeKey = name == L"chrome.exe";
    const bool view64 = view == KEY_WOW64_64KEY;
    (chromeKey ? (view64 ? chrome64_ : chrome32_) : (view64 ? edge64_ : edge32_)).Delete();
}

} // namespace tolv::test
