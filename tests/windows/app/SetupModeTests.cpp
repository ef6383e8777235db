// Setup mode of the real program: the association it writes, the shell
// opening a report through that association, the guard under
// HKEY_LOCAL_MACHINE, and the notice for a user without administrator rights.

#include "windows/base/MessageBox.h"
#include "windows/base/StringConvert.h"
#include "tests/windows/support/FakeBrowsers.h"
#include "tests/windows/support/MessageBoxWatcher.h"
#include "tests/windows/support/SampleReport.h"
#include "tests/windows/support/ProgramDriver.h"

#include <gtest/gtest.h>

#include <shellapi.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>

namespace fs = std::filesystem;

namespace tolv::test {
namespace {

constexpr wchar_t kType[] = L"Tolv.Viewer.Exe";
constexpr wchar_t kCommandKey[] = L"Tolv.Viewer.Exe\\shell\\open\\command";
constexpr wchar_t kIconKey[] = L"Tolv.Viewer.Exe\\DefaultIcon";
constexpr wchar_t kInfoVerbKey[] = L"Tolv.Viewer.Exe\\shell\\imza";
constexpr wchar_t kInfoCommandKey[] = L"Tolv.Viewer.Exe\\shell\\imza\\command";
constexpr wchar_t kAdminNotice[] =
    L"Arayüzü yönetici olarak başlatılmalıdır.\r\n"
    L"Uygulama üzerine sağ tıklayın ve açılan menüden 'Yönetici olarak çalıştır'ı seçin.\r\n"
    L"Bu işlem imzalı rapor(tolv) dosyalarını 'TolvViewer' ile ilişkilendirir ve tercih "
    L"yapabileceğiniz bir pencere açar.";
constexpr REGSAM k64 = KEY_WOW64_64KEY;

std::wstring Command(const std::wstring& program) {
    return L"\"" + program + L"\" %1";
}

// Names of the sub-keys of HKEY_CLASSES_ROOT\key.
std::vector<std::wstring> SubKeys(const std::wstring& key) {
    std::vector<std::wstring> names;
    UniqueHkey opened;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, opened.put()) != ERROR_SUCCESS)
        return names;
    wchar_t name[256];
    for (DWORD index = 0;; ++index) {
        DWORD length = 256;
        if (RegEnumKeyExW(opened.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        names.emplace_back(name, length);
    }
    return names;
}

class SetupMode : public ::testing::Test {
protected:
    void SetUp() override {
        association_.Delete();
        machineExtension_.Delete();
        WriteBytes(report_, GoodReport());
        StoreDword(L"WarnUnverified", 0); // its made-up signature would be asked about
    }

    // Runs setup from `program` until its window is open, then closes it.
    void RunSetup(const fs::path& program) {
        ProgramRun run(program);
        HWND window = run.WaitForWindow();
        ASSERT_NE(window, nullptr) << "the preferences window did not appear";
        PostMessageW(window, WM_CLOSE, 0, 0);
        EXPECT_EQ(run.WaitForExit(), 0u);
    }

    static void ExpectAssociation(const std::wstring& program) {
        EXPECT_EQ(ReadClassText(L".Tolv"), kType);
        EXPECT_EQ(ReadClassText(kCommandKey), Command(program));
        EXPECT_EQ(ReadClassText(kIconKey), program + L",0");
        // "İmza bilgisi" beside it; open stays the default verb.
        EXPECT_EQ(ReadClassText(kInfoVerbKey), L"İmza bilgisi");
        EXPECT_EQ(ReadClassText(kInfoCommandKey), L"\"" + program + L"\" /imza \"%1\"");
        EXPECT_FALSE(ReadClassText(std::wstring(kType) + L"\\shell"));
    }

    // Opens the report as a double-click (or the verb's menu entry) does and
    // waits for the program that the association started to end, reading its
    // boxes into `boxes` when given. Answers its exit code.
    std::optional<DWORD> OpenReportInShell(const wchar_t* verb = L"open",
                                           std::vector<BoxReport>* boxes = nullptr) {
        SHELLEXECUTEINFOW info{};
        info.cbSize = sizeof(info);
        info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
        info.lpVerb = verb;
        const std::wstring file = report_.wstring();
        info.lpFile = file.c_str();
        info.nShow = SW_SHOWNORMAL;
        if (!ShellExecuteExW(&info) || info.hProcess == nullptr) {
            ADD_FAILURE() << "ShellExecuteExW failed, error " << GetLastError();
            return std::nullopt;
        }
        UniqueHandle process(info.hProcess);
        if (boxes != nullptr)
            *boxes = WatchProcess(process.get(), 30000);
        if (WaitForSingleObject(process.get(), 30000) != WAIT_OBJECT_0)
            return std::nullopt;
        DWORD code = 0;
        GetExitCodeProcess(process.get(), &code);
        return code;
    }

    // File mode showed the report's PDF in the (fake) Chrome.
    void ExpectShownInChrome() {
        std::vector<BrowserRun> runs = browsers_.chrome.Runs();
        ASSERT_EQ(runs.size(), 1u);
        EXPECT_TRUE(runs[0].exists);
        EXPECT_EQ(runs[0].size, static_cast<long long>(kPdf.size()));
        EXPECT_TRUE(runs[0].ended);
        EXPECT_TRUE(browsers_.edge.Runs().empty());
    }

    AssociationBackup association_;
    KeyBackup machineExtension_{HKEY_LOCAL_MACHINE, L".Tolv", k64};
    PreferencesBackup preferences_;
    InstalledBrowsers browsers_;
    ScopedFolder work_{ProgramPath().parent_path() / L"setup-tests"};
    // Blanks in the report's path: %1 is not quoted, and the program takes the
    // whole argument text as the path.
    fs::path report_{work_.path() / L"Örnek rapor.Tolv"};
};

TEST_F(SetupMode, AssociatesReportsWithTheProgramAndRewritesOnTheNextRun) {
    const std::wstring program = ProgramPath().wstring();
    RunSetup(ProgramPath());
    ExpectAssociation(program);
    // Nothing beyond the association's values: the two verbs, no type name.
    EXPECT_EQ(SubKeys(kType).size(), 2u);
    std::vector<std::wstring> verbs = SubKeys(std::wstring(kType) + L"\\shell");
    std::sort(verbs.begin(), verbs.end());
    EXPECT_EQ(verbs, (std::vector<std::wstring>{L"imza", L"open"}));

    SetDefaultText(HKEY_CLASSES_ROOT, L".Tolv", 0, L"başka");
    SetDefaultText(HKEY_CLASSES_ROOT, kCommandKey, 0, L"notepad.exe %1");
    SetDefaultText(HKEY_CLASSES_ROOT, kIconKey, 0, L"shell32.dll,3");
    SetDefaultText(HKEY_CLASSES_ROOT, kInfoCommandKey, 0, L"notepad.exe %1");
    RunSetup(ProgramPath());
    ExpectAssociation(program);
}

TEST_F(SetupMode, TheShellOpensAReportInFileMode) {
    RunSetup(ProgramPath());
    EXPECT_EQ(OpenReportInShell(), 0u);
    ExpectShownInChrome();

    // `start` of the command prompt goes the same way.
    browsers_.chrome.ClearRuns();
    const RunResult start = RunAndWatch(L"start.exe /wait " + Quoted(report_.wstring()), 30000);
    ASSERT_TRUE(start.started);
    ASSERT_FALSE(start.timedOut);
    ExpectShownInChrome();

    // The second verb, as its menu entry starts it: the signature's window
    // (named after the report), no browser.
    browsers_.chrome.ClearRuns();
    std::optional<DWORD> code;
    std::thread shell([&] { code = OpenReportInShell(L"imza"); });
    HWND window = nullptr;
    for (int i = 0; i < 600 && window == nullptr; ++i) {
        Sleep(50);
        window = FindWindowW(nullptr, (L"İmza bilgisi: " + report_.filename().wstring()).c_str());
    }
    EXPECT_NE(window, nullptr);
    if (window != nullptr)
        PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
    shell.join();
    EXPECT_EQ(code, std::optional<DWORD>(0u));
    EXPECT_TRUE(browsers_.chrome.Runs().empty());
}

TEST_F(SetupMode, APathWithBlanksIsQuotedSoTheShellStartsTheProgramNotItsFirstWord) {
    // C:\Tolv.exe is what an unquoted "C:\Tolv Araçlar\..." would start.
    ScopedFolder folder{L"C:\\Tolv Araçlar"};
    const fs::path program = folder.path() / L"Tolv.Viewer.Exe";
    fs::copy_file(ProgramPath(), program, fs::copy_options::overwrite_existing);
    FakeBrowserCopy decoy{L"C:\\Tolv.exe"};

    RunSetup(program);
    ExpectAssociation(program.wstring());
    EXPECT_EQ(OpenReportInShell(), 0u);
    ExpectShownInChrome();
    EXPECT_TRUE(decoy.Runs().empty()) << "the first word of the path was started";

    // The same command without the quotes starts the wrong program: what the
    // quotes are there for.
    browsers_.chrome.ClearRuns();
    SetDefaultText(HKEY_CLASSES_ROOT, kCommandKey, 0, program.wstring() + L" %1");
    OpenReportInShell();
    EXPECT_EQ(decoy.Runs().size(), 1u);
    EXPECT_TRUE(browsers_.chrome.Runs().empty());
}

TEST_F(SetupMode, AtADriveRootThePathHasADoubledBackslashAndStillWorks) {
    // The extension is written ".Exe" whatever the file's own looks like.
    const fs::path program = L"C:\\Tolv.Viewer.exe";
    fs::copy_file(ProgramPath(), program, fs::copy_options::overwrite_existing);
    RunSetup(program);
    ExpectAssociation(L"C:\\\\Tolv.Viewer.Exe");
    EXPECT_EQ(OpenReportInShell(), 0u);
    ExpectShownInChrome();
    std::error_code ignored;
    fs::remove(program, ignored);
}

TEST_F(SetupMode, AnExtensionUnderLocalMachineStopsSetupSilently) {
    SetDefaultText(HKEY_LOCAL_MACHINE, L".Tolv", k64, L"başka.exe");
    const RunResult result = RunAndWatch(Quoted(ProgramPath().wstring()), 30000);
    ASSERT_TRUE(result.started);
    EXPECT_FALSE(result.timedOut) << "a window stayed open";
    EXPECT_EQ(result.exitCode, 0u);
    EXPECT_TRUE(result.boxes.empty());
    EXPECT_FALSE(ReadClassText(L".Tolv"));
    EXPECT_FALSE(ReadClassText(kCommandKey));

    // Without a default value that can be read the key does not count.
    machineExtension_.Delete();
    UniqueHkey empty;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, L".Tolv", 0, nullptr, 0, KEY_ALL_ACCESS | k64,
                              nullptr, empty.put(), nullptr),
              ERROR_SUCCESS);
    RunSetup(ProgramPath());
    ExpectAssociation(ProgramPath().wstring());
}

// The system's text for an error number, without its final line break.
std::wstring SystemText(DWORD number) {
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER,
        nullptr, number, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text = buffer != nullptr ? std::wstring(buffer, length) : L"";
    LocalFree(buffer);
    if (text.ends_with(L"\r\n"))
        text.resize(text.size() - 2);
    return text;
}

TEST_F(SetupMode, AnAssociationThatCannotBeWrittenShowsTheSystemsTextAndEnds) {
    // No stable key can be made below a volatile one: the command cannot be written.
    {
        UniqueHkey type;
        ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Classes\\Tolv.Viewer.Exe", 0,
                                  nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS | k64, nullptr,
                                  type.put(), nullptr),
                  ERROR_SUCCESS);
    }
    const RunResult result = RunAndWatch(Quoted(ProgramPath().wstring()), 30000);
    ASSERT_TRUE(result.started);
    EXPECT_FALSE(result.timedOut) << "a window stayed open";
    EXPECT_EQ(result.exitCode, 1u);
    ASSERT_EQ(result.boxes.size(), 1u);
    EXPECT_EQ(result.boxes[0].caption, kAppTitle);
    EXPECT_EQ(result.boxes[0].text, SystemText(ERROR_CHILD_MUST_BE_VOLATILE));
    EXPECT_FALSE(result.boxes[0].text.empty());
    EXPECT_EQ(result.boxes[0].icon, BoxIcon::Error) << ToString(result.boxes[0].icon);
    ASSERT_EQ(result.boxes[0].buttons.size(), 1u);
    EXPECT_EQ(result.boxes[0].buttons[0].id, IDOK);
    // Writing stopped at the failure; what came before it stays.
    EXPECT_EQ(ReadClassText(L".Tolv"), kType);
    EXPECT_FALSE(ReadClassText(kCommandKey));
}

// Through HKEY_CLASSES_ROOT a key that the administrator's own classes hold
// would be written there, for that user only.
TEST_F(SetupMode, TheAssociationIsWrittenForTheMachineEvenWhenTheUserHasTheKey) {
    KeyBackup userExtension{HKEY_CURRENT_USER, L"Software\\Classes\\.Tolv", 0};
    SetDefaultText(HKEY_CURRENT_USER, L"Software\\Classes\\.Tolv", 0, L"başka");
    RunSetup(ProgramPath());
    const std::wstring program = ProgramPath().wstring();
    const std::wstring classes = L"Software\\Classes\\";
    EXPECT_EQ(ReadDefaultText(HKEY_LOCAL_MACHINE, classes + L".Tolv"), kType);
    EXPECT_EQ(ReadDefaultText(HKEY_LOCAL_MACHINE, classes + kCommandKey), Command(program));
    EXPECT_EQ(ReadDefaultText(HKEY_LOCAL_MACHINE, classes + kIconKey), program + L",0");
    EXPECT_EQ(ReadDefaultText(HKEY_CURRENT_USER, classes + L".Tolv"), L"başka");
}

// A token of the current user in which the Administrators group only denies.
UniqueHandle LimitedToken() {
    UniqueHandle own;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ALL_ACCESS, own.put()))
        return {};
    BYTE administrators[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof(administrators);
    CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &size);
    SID_AND_ATTRIBUTES disabled{administrators, 0};
    UniqueHandle limited;
    if (!CreateRestrictedToken(own.get(), 0, 1, &disabled, 0, nullptr, 0, nullptr, limited.put()))
        return {};
    return limited;
}

TEST_F(SetupMode, WithoutAdministratorRightsOnlyTheNoticeIsShown) {
    const fs::path program = ProgramPath().parent_path() / L"Tolv.Viewer.AdminCheck.Exe";
    KeyBackup adminCheckType{HKEY_CLASSES_ROOT, L"Tolv.Viewer.AdminCheck.Exe", 0};
    StoreDword(L"Browser", 1);
    UniqueHandle token = LimitedToken();
    ASSERT_TRUE(token);
    {
        ProgramRun run(program, token.get());
        ASSERT_TRUE(run.Started());
        const std::vector<BoxReport> boxes = WatchProcess(run.Process(), 30000);
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].caption, kAppTitle);
        EXPECT_EQ(boxes[0].text, kAdminNotice);
        EXPECT_EQ(boxes[0].icon, BoxIcon::Warning) << ToString(boxes[0].icon);
        ASSERT_EQ(boxes[0].buttons.size(), 1u);
        EXPECT_EQ(boxes[0].buttons[0].id, IDOK);
        EXPECT_EQ(run.WaitForExit(), 0u);
    }
    EXPECT_FALSE(ReadClassText(L".Tolv"));
    EXPECT_TRUE(SubKeys(L"Tolv.Viewer.AdminCheck.Exe").empty());
    const std::optional<StoredValue> browser = ReadSetting(L"Browser");
    ASSERT_TRUE(browser);
    EXPECT_EQ(browser->Dword(), 1u);
    EXPECT_FALSE(ReadSetting(L"SavePDF"));

    // The same build with the full token is an administrator: the check above
    // turned on the token, not on the build.
    {
        ProgramRun run(program);
        HWND window = run.WaitForWindow();
        EXPECT_NE(window, nullptr);
        PostMessageW(window, WM_CLOSE, 0, 0);
        EXPECT_EQ(run.WaitForExit(), 0u);
    }
}

} // namespace
} // namespace tolv::test
