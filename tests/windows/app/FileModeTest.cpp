// The program in file mode, end to end: the real executable under the real
// registry, with a fake browser registered under App Paths and every message
// box read and answered by the watcher.

#include "windows/base/MessageBox.h"
#include "windows/base/StringConvert.h"
#include "tests/windows/support/FakeBrowsers.h"
#include "tests/windows/support/MessageBoxWatcher.h"
#include "tests/windows/support/Process.h"
#include "tests/windows/support/SampleReport.h"
#include "tests/windows/support/TestPaths.h"

#include <gtest/gtest.h>

#include <shlobj.h>

#include <algorithm>
#include <optional>
#include <set>

namespace fs = std::filesystem;
using namespace tolv::test;

namespace {

const wchar_t kFrameSwitches[] =
    L" --chrome-frame --window-size=1200,650 --window-position=250,100  --app=";
const wchar_t kExtractionFailed[] = L"Tolv imza dosyasının PDF ayrıştırması başarısız.";
const wchar_t kBrowserFailed[] = L"Tarayıcı entegrasyonu başarısız.";
const wchar_t kUnexpected[] = L"Beklenmeyen hata: ";
constexpr REGSAM k32 = KEY_WOW64_32KEY;
constexpr REGSAM k64 = KEY_WOW64_64KEY;

// Every box of file mode names its report above its text.
std::wstring About(const std::wstring& reportName, const std::wstring& text) {
    return L"Rapor: " + reportName + L"\r\n\r\n" + text;
}

fs::path DesktopFolder() {
    PWSTR path = nullptr;
    if (FAILED(SHGetKnownFolderPath(FOLDERID_Desktop, 0, nullptr, &path)))
        throw std::runtime_error("no desktop folder");
    fs::path result(path);
    CoTaskMemFree(path);
    return result;
}

std::vector<fs::path> TolFilesIn(const fs::path& folder) {
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::wstring name = entry.path().filename().wstring();
        if (name.size() > 7 && name.substr(0, 3) == L"TOL" && entry.path().extension() == L".tmp")
            files.push_back(entry.path());
    }
    return files;
}

std::set<std::wstring> NamesIn(const fs::path& folder) {
    std::set<std::wstring> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.insert(entry.path().filename().wstring());
    return names;
}

// A report whose PDF (2 MB of it) decodes completely before the document
// turns out broken: the root is never closed properly.
std::string ReportBrokenAfterItsPdf() {
    const std::string pdf = kPdf + std::string(2 * 1024 * 1024, '\x7F');
    return Report("<ds:Object Encoding=\"http://www.w3.org/2000/09/xmldsig#base64\">\r\n" +
                  Base64(pdf) + "\r\n</ds:Object>\r\n<ds:Object>");
}

// Removes whatever a test put on the desktop.
class DesktopGuard {
public:
    DesktopGuard() : folder_(DesktopFolder()) {
        fs::create_directories(folder_);
        for (const auto& entry : fs::directory_iterator(folder_))
            before_.insert(entry.path());
    }
    ~DesktopGuard() {
        std::error_code ignored;
        for (const auto& entry : fs::directory_iterator(folder_, ignored))
            if (!before_.count(entry.path()))
                fs::remove_all(entry.path(), ignored);
    }
    const fs::path& folder() const { return folder_; }

private:
    fs::path folder_;
    std::set<fs::path> before_;
};

class FileModeTest : public ::testing::Test {
protected:
    void SetUp() override {
        WriteBytes(reports_.path() / L"a.Tolv", GoodReport());
        // Its made-up signature cannot be checked; the question has its own cases.
        StoreDword(L"WarnUnverified", 0);
        TrustTheTestSigners();
    }

    // The long-term cases' CA and the samples' signer: an intact report no
    // anchor vouches for is asked about.
    static void TrustTheTestSigners() {
        StoreText(L"TrustAnchors", (fs::path(TOLV_WINDOW_REPORTS) / L"anchors").wstring());
    }

    static void SetPrefs(DWORD browser, DWORD savePDF, DWORD frame) {
        StoreDword(L"Browser", browser);
        StoreDword(L"SavePDF", savePDF);
        StoreDword(L"Frame", frame);
    }

    RunResult RunViewer(const std::wstring& argumentText, const wchar_t* workingDir = nullptr,
                        int answer = IDOK) {
        RunResult result = RunAndWatch(Quoted(ProgramPath().wstring()) + L" " + argumentText, 60000,
                                       workingDir, answer);
        EXPECT_TRUE(result.started);
        EXPECT_FALSE(result.timedOut);
        return result;
    }

    // The one temporary file the run made; it must hold the PDF or be empty.
    fs::path OnlyTempFile() const {
        std::vector<fs::path> files = TolFilesIn(temp_.path());
        EXPECT_EQ(files.size(), 1u);
        return files.empty() ? fs::path() : files.front();
    }

    static void ExpectNoBoxes(const RunResult& result) {
        EXPECT_EQ(result.exitCode, 0u);
        for (const BoxReport& box : result.boxes)
            ADD_FAILURE() << "unexpected box: " << tolv::WideToUtf8(box.text);
    }

    static void ExpectOneBox(const RunResult& result, const std::wstring& text, BoxIcon icon) {
        EXPECT_EQ(result.exitCode, 0u);
        ASSERT_EQ(result.boxes.size(), 1u);
        const BoxReport& box = result.boxes.front();
        EXPECT_EQ(box.caption, tolv::kAppTitle);
        EXPECT_EQ(box.text, text);
        EXPECT_EQ(box.icon, icon) << ToString(box.icon);
        ASSERT_EQ(box.buttons.size(), 1u);
        EXPECT_EQ(box.buttons.front().id, IDOK);
    }

    static void ExpectUnexpectedErrorBox(const RunResult& result, const std::wstring& reportName) {
        ASSERT_EQ(result.boxes.size(), 1u);
        const std::wstring& text = result.boxes.front().text;
        const std::wstring head = About(reportName, kUnexpected);
        EXPECT_EQ(text.substr(0, head.size()), head);
        EXPECT_GT(text.size(), head.size()) << "the error's description is missing";
        ExpectOneBox(result, text, BoxIcon::None);
    }

    // The browser started once with the PDF in place, and the program waited for it.
    static void ExpectShown(const FakeBrowserCopy& browser, const std::wstring& commandLine,
                            const fs::path& pdf) {
        std::vector<BrowserRun> runs = browser.Runs();
        ASSERT_EQ(runs.size(), 1u);
        EXPECT_EQ(runs[0].commandLine, commandLine);
        EXPECT_EQ(runs[0].show, L"1");
        EXPECT_EQ(fs::path(runs[0].file), pdf);
        EXPECT_TRUE(runs[0].exists);
        EXPECT_EQ(runs[0].size, static_cast<long long>(kPdf.size()));
        EXPECT_EQ(runs[0].head, Hex(kPdf.substr(0, 16)));
        EXPECT_TRUE(runs[0].ended);
        EXPECT_EQ(ReadBytes(pdf), kPdf);
    }

    static std::wstring PlainCommand(const FakeBrowserCopy& browser, const fs::path& pdf) {
        return Quoted(browser.path().wstring()) + L" " + Quoted(pdf.wstring());
    }
    static std::wstring FrameCommand(const FakeBrowserCopy& browser, const std::wstring& value) {
        return Quoted(browser.path().wstring()) + kFrameSwitches + Quoted(value);
    }

    void ExpectChromeTemporaryPlain(const RunResult& result) {
        ExpectNoBoxes(result);
        const fs::path pdf = OnlyTempFile();
        ExpectShown(chrome_, PlainCommand(chrome_, pdf), pdf);
        EXPECT_TRUE(edge_.Runs().empty());
    }

    const fs::path root_ =
        L"C:\\users\\Public\\TolvFileModeTest" + std::to_wstring(GetCurrentProcessId());
    PreferencesBackup preferences_;
    InstalledBrowsers browsers_;
    const FakeBrowserCopy& chrome_ = browsers_.chrome;
    const FakeBrowserCopy& edge_ = browsers_.edge;
    ScopedFolder reports_{root_ / L"Raporlar"};
    ScopedFolder temp_{root_ / L"Temp"};
    std::unique_ptr<ScopedEnv> tmpVar_ =
        std::make_unique<ScopedEnv>(L"TMP", temp_.path().wstring());
    std::unique_ptr<ScopedEnv> tempVar_ =
        std::make_unique<ScopedEnv>(L"TEMP", temp_.path().wstring());
    DesktopGuard desktop_;
};

TEST_F(FileModeTest, WithoutPreferencesChromeShowsATemporaryFileAndTheProgramWaitsForIt) {
    chrome_.Configure(0, 1500); // "ended" in its record shows that the program waited
    RunResult result = RunViewer((reports_.path() / L"a.Tolv").wstring());
    ExpectChromeTemporaryPlain(result);
    // The temporary file stays after the program has ended.
    EXPECT_TRUE(fs::exists(OnlyTempFile()));
}

TEST_F(FileModeTest, AMissingBrowserSettingStopsTheReadingSoTheOthersStayOff) {
    StoreDword(L"SavePDF", 1);
    StoreDword(L"Frame", 1);
    ExpectChromeTemporaryPlain(RunViewer((reports_.path() / L"a.Tolv").wstring()));
}

TEST_F(FileModeTest, PreferencesAreReadFromThe32BitView) {
    for (const wchar_t* setting : {L"Browser", L"SavePDF", L"Frame"})
        StoreDword(setting, 1, k64);
    ExpectChromeTemporaryPlain(RunViewer((reports_.path() / L"a.Tolv").wstring()));
}

// Every kind of value the Browser setting may hold.
struct BrowserValue {
    const char* name;
    DWORD type;
    std::string data;
    bool edge;
};

std::string Dword(DWORD value) {
    return std::string(reinterpret_cast<const char*>(&value), sizeof(value));
}
std::string Text(const std::wstring& text) {
    return std::string(reinterpret_cast<const char*>(text.c_str()),
                       (text.size() + 1) * sizeof(wchar_t));
}

void PrintTo(const BrowserValue& value, std::ostream* out) {
    *out << value.name;
}

class BrowserValueTest : public FileModeTest, public ::testing::WithParamInterface<BrowserValue> {};

TEST_P(BrowserValueTest, ChoosesEdgeExactlyWhenTheLeadingNumberIsNotZero) {
    const BrowserValue& value = GetParam();
    StoreValue(L"Browser", value.type, value.data.data(), static_cast<DWORD>(value.data.size()));
    StoreDword(L"SavePDF", 0);
    StoreDword(L"Frame", 0);
    RunResult result = RunViewer((reports_.path() / L"a.Tolv").wstring());
    ExpectNoBoxes(result);
    const fs::path pdf = OnlyTempFile();
    const FakeBrowserCopy& shown = value.edge ? edge_ : chrome_;
    const FakeBrowserCopy& other = value.edge ? chrome_ : edge_;
    ExpectShown(shown, PlainCommand(shown, pdf), pdf);
    EXPECT_TRUE(other.Runs().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, BrowserValueTest,
    ::testing::Values(BrowserValue{"Dword0", REG_DWORD, Dword(0), false},
                      BrowserValue{"Dword1", REG_DWORD, Dword(1), true},
                      BrowserValue{"Dword2", REG_DWORD, Dword(2), true},
                      BrowserValue{"DwordAllBits", REG_DWORD, Dword(0xFFFFFFFF), true},
                      BrowserValue{"Text1", REG_SZ, Text(L"1"), true},
                      BrowserValue{"TextAbc", REG_SZ, Text(L"abc"), false},
                      BrowserValue{"TextBlank2", REG_SZ, Text(L" 2"), true},
                      BrowserValue{"TextPoint4", REG_SZ, Text(L"0.4"), true},
                      BrowserValue{"Binary", REG_BINARY, Dword(1), false}),
    [](const ::testing::TestParamInfo<BrowserValue>& info) { return info.param.name; });

TEST_F(FileModeTest, AnUnreadableValueStopsTheReadingLikeAMissingOne) {
    const wchar_t multi[] = L"1\0";
    StoreValue(L"Browser", REG_MULTI_SZ, multi, sizeof(multi));
    StoreDword(L"SavePDF", 1);
    StoreDword(L"Frame", 1);
    ExpectChromeTemporaryPlain(RunViewer((reports_.path() / L"a.Tolv").wstring()));
}

TEST_F(FileModeTest, DesktopOutputIsNamedAfterTheReportAndWrittenOverTheNextTime) {
    SetPrefs(0, 2, 0); // a check box's greyed state counts as on
    const fs::path pdf = desktop_.folder() / L"a.Tolv.Pdf";
    ExpectNoBoxes(RunViewer((reports_.path() / L"a.Tolv").wstring()));
    ExpectShown(chrome_, PlainCommand(chrome_, pdf), pdf);
    EXPECT_TRUE(TolFilesIn(temp_.path()).empty());

    // The same report again replaces the same file, whole.
    chrome_.ClearRuns();
    WriteBytes(pdf, std::string(kPdf.size() * 3, 'x'));
    const std::set<std::wstring> before = NamesIn(desktop_.folder());
    ExpectNoBoxes(RunViewer((reports_.path() / L"a.Tolv").wstring()));
    ExpectShown(chrome_, PlainCommand(chrome_, pdf), pdf);
    EXPECT_EQ(NamesIn(desktop_.folder()), before) << "a scratch file stayed on the desktop";
}

TEST_F(FileModeTest, AFailedRunLeavesTheEarlierDesktopPdfAsItWas) {
    SetPrefs(0, 1, 0);
    const fs::path pdf = desktop_.folder() / L"a.Tolv.Pdf";
    ExpectNoBoxes(RunViewer((reports_.path() / L"a.Tolv").wstring()));
    ASSERT_EQ(ReadBytes(pdf), kPdf);
    const std::set<std::wstring> before = NamesIn(desktop_.folder());

    // A later report of the same name that breaks after its PDF.
    chrome_.ClearRuns();
    WriteBytes(reports_.path() / L"a.Tolv", ReportBrokenAfterItsPdf());
    ExpectUnexpectedErrorBox(RunViewer((reports_.path() / L"a.Tolv").wstring()), L"a.Tolv");
    EXPECT_EQ(ReadBytes(pdf), kPdf);
    EXPECT_EQ(NamesIn(desktop_.folder()), before) << "a scratch file stayed on the desktop";
    EXPECT_TRUE(chrome_.Runs().empty());
}

TEST_F(FileModeTest, AFailedRunLeavesTheNewTemporaryFileEmptyAndNoScratchFile) {
    WriteBytes(reports_.path() / L"a.Tolv", ReportBrokenAfterItsPdf());
    ExpectUnexpectedErrorBox(RunViewer((reports_.path() / L"a.Tolv").wstring()), L"a.Tolv");
    const fs::path temp = OnlyTempFile();
    ASSERT_FALSE(temp.empty());
    EXPECT_EQ(fs::file_size(temp), 0u);
    EXPECT_EQ(NamesIn(temp_.path()).size(), 1u) << "a scratch file stayed in the temporary folder";
    EXPECT_EQ(NamesIn(reports_.path()), std::set<std::wstring>{L"a.Tolv"});
}

// A PDF that another program holds open without delete sharing cannot be
// replaced: the write fails and the PDF stays as it was.
TEST_F(FileModeTest, ADesktopPdfHeldOpenElsewhereStaysAndTheRunFails) {
    SetPrefs(0, 1, 0);
    const fs::path pdf = desktop_.folder() / L"a.Tolv.Pdf";
    const std::string earlier = "%PDF-1.4 an earlier one";
    WriteBytes(pdf, earlier);
    const std::set<std::wstring> before = NamesIn(desktop_.folder());
    {
        tolv::UniqueHandle held(CreateFileW(pdf.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_NE(held.get(), INVALID_HANDLE_VALUE);
        ExpectOneBox(RunViewer((reports_.path() / L"a.Tolv").wstring()),
                     About(L"a.Tolv", kExtractionFailed), BoxIcon::Error);
    }
    EXPECT_EQ(ReadBytes(pdf), earlier);
    EXPECT_EQ(NamesIn(desktop_.folder()), before) << "a scratch file stayed on the desktop";
    EXPECT_TRUE(chrome_.Runs().empty());
}

TEST_F(FileModeTest, AReportPathWithBlanksPassedUnquotedIsTakenWhole) {
    SetPrefs(0, 1, 0);
    ScopedFolder folder(reports_.path() / L"Rapor Klasörü");
    WriteBytes(folder.path() / L"Ocak  Raporu 1.Tolv", GoodReport());
    ExpectNoBoxes(RunViewer((folder.path() / L"Ocak  Raporu 1.Tolv").wstring()));
    const fs::path pdf = desktop_.folder() / L"Ocak  Raporu 1.Tolv.Pdf";
    ExpectShown(chrome_, PlainCommand(chrome_, pdf), pdf);
}

TEST_F(FileModeTest, DesktopOutputForAReportPathWithoutABackslash) {
    SetPrefs(-1, 1, 0);
    WriteBytes(reports_.path() / L"b.Tolv", GoodReport());
    ExpectNoBoxes(RunViewer(L"b.Tolv", reports_.path().c_str()));
    const fs::path pdf = desktop_.folder() / L"b.Tolv.Pdf";
    ExpectShown(edge_, PlainCommand(edge_, pdf), pdf);
}

TEST_F(FileModeTest, AReportPathEndingInABackslashCannotBeReadAndWritesNothing) {
    SetPrefs(0, 1, 0);
    // Without a file name, the box names the path as given.
    const std::wstring path = reports_.path().wstring() + L"\\";
    ExpectUnexpectedErrorBox(RunViewer(path), path);
    EXPECT_TRUE(chrome_.Runs().empty());
    std::vector<fs::path> desktopFiles;
    for (const auto& entry : fs::directory_iterator(desktop_.folder()))
        if (entry.path().extension() == L".Pdf")
            desktopFiles.push_back(entry.path());
    EXPECT_TRUE(desktopFiles.empty());
}

TEST_F(FileModeTest, AReportWithoutAQualifyingElementShowsTheExtractionFailure) {
    // An object without Encoding, and a qualifying one that is not a child of the root.
    WriteBytes(reports_.path() / L"none.Tolv", Report("<ds:Object>" + Base64(kPdf) +
                                                      "</ds:Object>\r\n<ds:KeyInfo><ds:Object "
                                                      "Encoding=\"b\">" +
                                                      Base64(kPdf) + "</ds:Object></ds:KeyInfo>"));
    RunResult result = RunViewer((reports_.path() / L"none.Tolv").wstring());
    ExpectOneBox(result, About(L"none.Tolv", kExtractionFailed), BoxIcon::Error);
    EXPECT_TRUE(chrome_.Runs().empty());
    EXPECT_TRUE(edge_.Runs().empty());
    // The temporary file was made before the report was read, and stays, empty.
    const fs::path temp = OnlyTempFile();
    ASSERT_TRUE(fs::exists(temp));
    EXPECT_EQ(fs::file_size(temp), 0u);
}

TEST_F(FileModeTest, AReportPathWithBlanksInQuotesOpens) {
    // As dragging a report onto the program and "Open with" pass it.
    SetPrefs(0, 1, 0);
    ScopedFolder folder(reports_.path() / L"Rapor Klasörü");
    WriteBytes(folder.path() / L"Ocak Raporu.Tolv", GoodReport());
    ExpectNoBoxes(RunViewer(L"\"" + (folder.path() / L"Ocak Raporu.Tolv").wstring() + L"\""));
    const fs::path pdf = desktop_.folder() / L"Ocak Raporu.Tolv.Pdf";
    ExpectShown(chrome_, PlainCommand(chrome_, pdf), pdf);
}

TEST_F(FileModeTest, AMalformedMissingOrOddlyQuotedReportShowsTheUnexpectedErrorWithoutIcon) {
    WriteBytes(reports_.path() / L"bad.Tolv",
               "<ds:Signature xmlns:ds=\"x\"><ds:Object Encoding=\"\">");
    const std::wstring report = (reports_.path() / L"a.Tolv").wstring();
    // Each argument with the report's name on its box.
    const std::vector<std::pair<std::wstring, std::wstring>> arguments{
        {(reports_.path() / L"bad.Tolv").wstring(), L"bad.Tolv"},
        {(reports_.path() / L"missing.Tolv").wstring(), L"missing.Tolv"},
        // Only one pair around the whole text goes: a quote inside, or one
        // quote alone, stays part of the path, which then cannot be read.
        {(reports_.path() / L"a\"b.Tolv").wstring(), L"a\"b.Tolv"},
        {L"\"" + report, L"a.Tolv"},
        {L"\"\"" + report + L"\"\"", L"a.Tolv\""},
    };
    for (size_t i = 0; i < arguments.size(); ++i) {
        SCOPED_TRACE(testing::Message() << "argument " << i);
        ExpectUnexpectedErrorBox(RunViewer(arguments[i].first), arguments[i].second);
        EXPECT_TRUE(chrome_.Runs().empty());
        // Each run made its temporary file before reading, and left it empty.
        std::vector<fs::path> temps = TolFilesIn(temp_.path());
        EXPECT_EQ(temps.size(), i + 1);
        for (const fs::path& temp : temps)
            EXPECT_EQ(fs::file_size(temp), 0u);
    }
}

TEST_F(FileModeTest, ABrowserThatExitsWithOneShowsTheIntegrationFailure) {
    chrome_.Configure(1);
    RunResult result = RunViewer((reports_.path() / L"a.Tolv").wstring());
    ExpectOneBox(result, About(L"a.Tolv", kBrowserFailed), BoxIcon::Error);
    const fs::path pdf = OnlyTempFile();
    ExpectShown(chrome_, PlainCommand(chrome_, pdf), pdf); // it did get the PDF
}

TEST_F(FileModeTest, AMissingAppPathsEntryShowsTheIntegrationFailure) {
    SetPrefs(1, 0, 0);
    browsers_.Unregister(L"msedge.exe", k64);
    RunResult result = RunViewer((reports_.path() / L"a.Tolv").wstring());
    ExpectOneBox(result, About(L"a.Tolv", kBrowserFailed), BoxIcon::Error);
    EXPECT_TRUE(edge_.Runs().empty());
    EXPECT_TRUE(chrome_.Runs().empty());
    EXPECT_EQ(ReadBytes(OnlyTempFile()), kPdf); // the PDF stays where it was written
}

TEST_F(FileModeTest, ABrowserRegisteredOnlyInThe32BitViewIsFound) {
    SetPrefs(1, 0, 0);
    browsers_.Unregister(L"msedge.exe", k64);
    browsers_.Register(L"msedge.exe", k32);
    RunResult result = RunViewer((reports_.path() / L"a.Tolv").wstring());
    ExpectNoBoxes(result);
    const fs::path pdf = OnlyTempFile();
    ExpectShown(edge_, PlainCommand(edge_, pdf), pdf);
}

// App Paths entries the way real installers write them: per user (Chrome's
// installer without administrator rights), in quotes, as REG_EXPAND_SZ.
enum class PathForm { Plain, Quoted, ProgramFilesVariable, QuotedProgramFilesVariable };

struct AppPathsEntry {
    const char* name;
    bool perUser; // HKEY_CURRENT_USER; else HKEY_LOCAL_MACHINE in the 64-bit view
    DWORD type;
    PathForm form;
};

void PrintTo(const AppPathsEntry& entry, std::ostream* out) {
    *out << entry.name;
}

// The fake browser's path as the entry stores it.
std::wstring StoredPath(const fs::path& exe, PathForm form) {
    std::wstring path = exe.wstring();
    if (form == PathForm::ProgramFilesVariable || form == PathForm::QuotedProgramFilesVariable) {
        wchar_t programFiles[MAX_PATH] = {};
        const DWORD length = GetEnvironmentVariableW(L"ProgramFiles", programFiles, MAX_PATH);
        const std::wstring folder(programFiles, length);
        EXPECT_TRUE(length > 0 && path.rfind(folder + L"\\", 0) == 0)
            << "the fake browsers are expected under %ProgramFiles%";
        path = L"%ProgramFiles%" + path.substr(folder.size());
    }
    if (form == PathForm::Quoted || form == PathForm::QuotedProgramFilesVariable)
        path = L"\"" + path + L"\"";
    return path;
}

class AppPathsEntryTest : public FileModeTest,
                          public ::testing::WithParamInterface<AppPathsEntry> {};

TEST_P(AppPathsEntryTest, TheBrowserIsStartedByItsPlainPath) {
    const AppPathsEntry& entry = GetParam();
    browsers_.Unregister(L"chrome.exe", k64);
    browsers_.RegisterValue(entry.perUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE, L"chrome.exe",
                            entry.perUser ? 0 : k64, entry.type,
                            StoredPath(chrome_.path(), entry.form));
    ExpectChromeTemporaryPlain(RunViewer((reports_.path() / L"a.Tolv").wstring()));
}

INSTANTIATE_TEST_SUITE_P(
    Entries, AppPathsEntryTest,
    ::testing::Values(AppPathsEntry{"PerUserOnly", true, REG_SZ, PathForm::Plain},
                      AppPathsEntry{"PerUserQuoted", true, REG_SZ, PathForm::Quoted},
                      AppPathsEntry{"PerUserExpandableQuoted", true, REG_EXPAND_SZ,
                                    PathForm::QuotedProgramFilesVariable},
                      AppPathsEntry{"MachineQuoted", false, REG_SZ, PathForm::Quoted},
                      AppPathsEntry{"MachineExpandable", false, REG_EXPAND_SZ,
                                    PathForm::ProgramFilesVariable}),
    [](const ::testing::TestParamInfo<AppPathsEntry>& info) { return info.param.name; });

// A machine-wide entry, in either view, wins over the user's own.
class MachineOverUserTest : public FileModeTest, public ::testing::WithParamInterface<REGSAM> {};

TEST_P(MachineOverUserTest, TheMachineWideBrowserIsStarted) {
    const FakeBrowserCopy userChrome(root_ / L"Kullanıcı" / L"chrome.exe");
    browsers_.Unregister(L"chrome.exe", k64);
    browsers_.Register(L"chrome.exe", GetParam());
    browsers_.RegisterValue(HKEY_CURRENT_USER, L"chrome.exe", 0, REG_SZ,
                            userChrome.path().wstring());
    ExpectChromeTemporaryPlain(RunViewer((reports_.path() / L"a.Tolv").wstring()));
    EXPECT_TRUE(userChrome.Runs().empty());
}

INSTANTIATE_TEST_SUITE_P(Views, MachineOverUserTest, ::testing::Values(k64, k32),
                         [](const ::testing::TestParamInfo<REGSAM>& info) {
                             return info.param == k64 ? "View64" : "View32";
                         });

TEST_F(FileModeTest, FrameModeWithAnAsciiTemporaryFolderPassesThePlainPath) {
    SetPrefs(0, 0, 1);
    ExpectNoBoxes(RunViewer((reports_.path() / L"a.Tolv").wstring()));
    const fs::path pdf = OnlyTempFile();
    ExpectShown(chrome_, FrameCommand(chrome_, pdf.wstring()), pdf);
}

TEST_F(FileModeTest, FrameModeWithATurkishTemporaryFolderPassesAFileUrl) {
    SetPrefs(-1, 0, 1);
    ScopedFolder turkishTemp(L"C:\\users\\Şule\\Temp");
    ScopedEnv tmp(L"TMP", turkishTemp.path().wstring());
    ScopedEnv temp(L"TEMP", turkishTemp.path().wstring());
    ExpectNoBoxes(RunViewer((reports_.path() / L"a.Tolv").wstring()));
    std::vector<fs::path> files = TolFilesIn(turkishTemp.path());
    ASSERT_EQ(files.size(), 1u);
    const std::wstring name = files[0].filename().wstring();
    ExpectShown(edge_, FrameCommand(edge_, L"file:///C:/users/%C5%9Eule/Temp/" + name), files[0]);
}

TEST_F(FileModeTest, FrameModeWithAHashInTheDesktopFileNamePassesAFileUrl) {
    SetPrefs(0, 1, 1);
    WriteBytes(reports_.path() / L"rapor #1.Tolv", GoodReport());
    std::wstring desktopUrl = desktop_.folder().wstring();
    for (wchar_t c : desktopUrl)
        ASSERT_TRUE(c < 0x80 && c != L' ' && c != L'#' && c != L'%') << "desktop path not plain";
    std::replace(desktopUrl.begin(), desktopUrl.end(), L'\\', L'/');
    ExpectNoBoxes(RunViewer((reports_.path() / L"rapor #1.Tolv").wstring()));
    ExpectShown(chrome_,
                FrameCommand(chrome_, L"file:///" + desktopUrl + L"/rapor%20%231.Tolv.Pdf"),
                desktop_.folder() / L"rapor #1.Tolv.Pdf");
}

TEST_F(FileModeTest, AnArgumentTextOfOnlyBlanksStartsSetupModeNotFileMode) {
    // Setup mode associates reports with the program: put that back afterwards.
    AssociationBackup association;
    TestProcess run(Quoted(ProgramPath().wstring()) + L"  \t ");
    ASSERT_TRUE(run.Started());
    HWND window = run.WaitForWindow(L"TolvViewer - Tercihler", 30000);
    ASSERT_NE(window, nullptr) << "the preferences window did not open";
    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(run.WaitForExit(), 0u);
    EXPECT_TRUE(TolFilesIn(temp_.path()).empty());
    EXPECT_TRUE(chrome_.Runs().empty());
    EXPECT_TRUE(edge_.Runs().empty());
}

// The report may come from a USB stick that is to be taken out while the PDF
// is shown: neither the program nor the browser may hold its folder.
TEST_F(FileModeTest, NeitherTheProgramNorTheBrowserHoldsTheReportsFolder) {
    chrome_.Configure(0, 4000);
    TestProcess run(Quoted(ProgramPath().wstring()) + L" " +
                        (reports_.path() / L"a.Tolv").wstring(),
                    reports_.path().c_str()); // as the shell starts it, in the report's folder
    ASSERT_TRUE(run.Started());
    for (int i = 0; i < 300 && chrome_.Runs().empty(); ++i)
        Sleep(50);
    ASSERT_EQ(chrome_.Runs().size(), 1u) << "the browser did not start";
    const fs::path moved = reports_.path().wstring() + L" moved";
    const BOOL renamed = MoveFileW(reports_.path().c_str(), moved.c_str());
    const DWORD error = renamed ? 0 : GetLastError();
    if (renamed)
        MoveFileW(moved.c_str(), reports_.path().c_str());
    EXPECT_TRUE(renamed) << "the report's folder is in use, error " << error;
    EXPECT_EQ(run.WaitForExit(30000), 0u);

    const std::vector<BrowserRun> runs = chrome_.Runs();
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_TRUE(runs[0].ended);
    // The browser works in the PDF's folder.
    const fs::path pdf = OnlyTempFile();
    EXPECT_EQ(fs::path(runs[0].cwd), pdf.parent_path());
    EXPECT_NE(fs::path(runs[0].cwd), reports_.path());
}

// A file name that is not valid UTF-16 reaches the file system as it is, and
// the error text shows it with U+FFFD in place of the lone surrogate. (Wine's
// file system cannot store such a name, so the report is missing here.)
TEST_F(FileModeTest, ALoneSurrogateInTheReportPathGoesToTheFileSystemAsItIs) {
    const std::wstring name = std::wstring(L"rapor") + wchar_t(0xD800) + L".Tolv";
    RunResult result = RunViewer((reports_.path() / name).wstring());
    ExpectUnexpectedErrorBox(result, L"rapor\uFFFD.Tolv");
    ASSERT_EQ(result.boxes.size(), 1u);
    const std::wstring shown = (reports_.path() / L"rapor\uFFFD.Tolv").wstring();
    EXPECT_NE(result.boxes[0].text.find(shown), std::wstring::npos)
        << tolv::WideToUtf8(result.boxes[0].text);
}

// The samples: signed for real, and the same report changed after signing.
fs::path SamplePath(const wchar_t* name) {
    return fs::path(L"Z:" TOLV_SOURCE_DIR_W) / L"samples" / name;
}

constexpr wchar_t kAlteredWarning[] =
    L"Bu raporun imzası bozuk: rapor imzalandıktan sonra değiştirilmiş ya da imzası zarar "
    L"görmüş. İçeriğine güvenmeyin; raporu gönderenden yeniden isteyin.\r\n\r\nRapor yine de "
    L"açılsın mı?";
// The time-stamping authority chains to the CA, one of the anchors: its
// time-stamp proves the signature came after the revocation.
constexpr wchar_t kRevokedWarning[] =
    L"Bu raporu imzalayanın sertifikası imzadan önce iptal edilmiş. İçeriğine güvenmeyin; raporu "
    L"gönderenden yeniden isteyin.\r\n\r\nRapor yine de açılsın mı?";

const std::wstring kUnverifiedHead = L"Bu raporun imzası denetlenemedi: ";
const std::wstring kUnverifiedTail =
    L". Raporun imzalayandan geldiği ve sonradan değiştirilmediği doğrulanamadı.\r\n\r\n"
    L"Rapor yine de açılsın mı?";
const std::wstring kDoctypeQuestion =
    kUnverifiedHead + L"imzanın yapısı denetime izin vermiyor" + kUnverifiedTail;
const std::wstring kUnsignedQuestion = kUnverifiedHead + L"raporda imza yok" + kUnverifiedTail;
constexpr wchar_t kUntrustedQuestion[] =
    L"Bu raporun imzası güvenilen bir sertifika makamına dayanmıyor. İmzalayan olarak görünen "
    L"“Ayşe Yılmaz” adı doğrulanamadı; rapor bu kişiden gelmemiş olabilir.\r\n\r\nRapor yine de "
    L"açılsın mı?";

std::string Intact() {
    return ReadBytes(SamplePath(L"sample.Tolv"));
}
std::string Altered() {
    return ReadBytes(SamplePath(L"sample-altered.Tolv"));
}
// Intact, and its own CRL shows its signer revoked before its time-stamp (and
// before now, which is all that Wine, validating no time-stamp, can tell).
std::string RevokedBeforeSigning() {
    return ReadBytes(fs::path(TOLV_WINDOW_REPORTS) / L"revoked.Tolv");
}
// Intact, with a CRL of its signer's CA that does not list it.
std::string NotRevoked() {
    return ReadBytes(fs::path(TOLV_WINDOW_REPORTS) / L"valid.Tolv");
}
// Intact, signed with someone's own certificate in a real signer's name.
std::string SelfMade() {
    return ReadBytes(fs::path(TOLV_WINDOW_REPORTS) / L"self-made-qualified.Tolv");
}
// Valid, with a self-made twin of its CA and the twin's CRL that lists the signer.
std::string TwinCa() {
    return ReadBytes(fs::path(TOLV_WINDOW_REPORTS) / L"lt-good-twin-crl.Tolv");
}
// What a forger can do to a changed report to get past the check: make it
// uncheckable with a DOCTYPE line, or drop the signature altogether.
std::string AlteredWithDoctype() {
    std::string report = Altered();
    return report.insert(report.find('\n') + 1, "<!DOCTYPE ds:Signature>\n");
}
std::string Unsigned() {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<Rapor "
           "xmlns:ds=\"http://www.w3.org/2000/09/xmldsig#\">\r\n<ds:Object "
           "Encoding=\"http://www.w3.org/2000/09/xmldsig#base64\">" +
           Base64(kPdf) + "</ds:Object>\r\n</Rapor>\r\n";
}

struct SignatureCase {
    const char* name;
    std::string (*report)();
    bool desktop;          // SavePDF on, with an earlier PDF of the same name there
    const wchar_t* off;    // a switch stored as 0; null: every switch absent
    std::wstring question; // the box's text under the report's name; empty: no box
    BoxIcon icon;
    int answer; // IDYES or IDNO
};

void PrintTo(const SignatureCase& c, std::ostream* out) {
    *out << c.name;
}

class SignatureCaseTest : public FileModeTest,
                          public ::testing::WithParamInterface<SignatureCase> {};

TEST_P(SignatureCaseTest, ABrokenOrUncheckedSignatureAsksAndOnlyYesShowsTheReport) {
    const SignatureCase& c = GetParam();
    const std::string report = c.report();
    WriteBytes(reports_.path() / L"r.Tolv", report);
    preferences_.Delete(); // the fixture's WarnUnverified too: absent means on
    TrustTheTestSigners();
    SetPrefs(0, c.desktop ? 1 : 0, 0);
    if (c.off)
        StoreDword(c.off, 0);
    const fs::path desktopPdf = desktop_.folder() / L"r.Tolv.Pdf";
    const std::string earlier = "%PDF-1.4 an earlier one";
    if (c.desktop)
        WriteBytes(desktopPdf, earlier);
    const std::set<std::wstring> desktopBefore = NamesIn(desktop_.folder());

    RunResult result = RunViewer((reports_.path() / L"r.Tolv").wstring(), nullptr, c.answer);
    if (c.question.empty()) {
        ExpectNoBoxes(result);
    } else {
        EXPECT_EQ(result.exitCode, 0u);
        ASSERT_EQ(result.boxes.size(), 1u);
        const BoxReport& box = result.boxes.front();
        EXPECT_EQ(box.caption, tolv::kAppTitle);
        EXPECT_EQ(box.text, About(L"r.Tolv", c.question));
        EXPECT_EQ(box.icon, c.icon) << ToString(box.icon);
        ASSERT_EQ(box.buttons.size(), 2u);
        EXPECT_EQ(box.buttons[0].id, IDYES);
        EXPECT_EQ(box.buttons[1].id, IDNO);
        EXPECT_EQ(box.defaultButton, IDNO);
    }
    const fs::path pdf = c.desktop ? desktopPdf : OnlyTempFile();
    if (!c.question.empty() && c.answer == IDNO) {
        EXPECT_TRUE(chrome_.Runs().empty());
        EXPECT_EQ(ReadBytes(pdf), c.desktop ? earlier : std::string());
        EXPECT_EQ(NamesIn(desktop_.folder()), desktopBefore) << "a scratch file stayed";
        EXPECT_EQ(NamesIn(temp_.path()).size(), c.desktop ? 0u : 1u) << "a scratch file stayed";
        return;
    }
    const std::vector<BrowserRun> runs = chrome_.Runs();
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].commandLine, PlainCommand(chrome_, pdf));
    EXPECT_EQ(runs[0].size, static_cast<long long>(PayloadOf(report).size()));
    EXPECT_EQ(ReadBytes(pdf), PayloadOf(report));
}

INSTANTIATE_TEST_SUITE_P(
    Reports, SignatureCaseTest,
    ::testing::Values(
        SignatureCase{"Intact", Intact, false, nullptr, L"", BoxIcon::None, IDYES},
        SignatureCase{"AlteredYes", Altered, false, nullptr, kAlteredWarning, BoxIcon::Warning,
                      IDYES},
        SignatureCase{"AlteredNo", Altered, false, nullptr, kAlteredWarning, BoxIcon::Warning,
                      IDNO},
        SignatureCase{"AlteredNoKeepsTheDesktopPdf", Altered, true, nullptr, kAlteredWarning,
                      BoxIcon::Warning, IDNO},
        SignatureCase{"CheckSignatureZero", Altered, false, L"CheckSignature", L"", BoxIcon::None,
                      IDYES},
        SignatureCase{"DoctypeYes", AlteredWithDoctype, false, nullptr, kDoctypeQuestion,
                      BoxIcon::Question, IDYES},
        SignatureCase{"DoctypeNo", AlteredWithDoctype, false, nullptr, kDoctypeQuestion,
                      BoxIcon::Question, IDNO},
        SignatureCase{"UnsignedYes", Unsigned, false, nullptr, kUnsignedQuestion, BoxIcon::Question,
                      IDYES},
        SignatureCase{"UnsignedNoKeepsTheDesktopPdf", Unsigned, true, nullptr, kUnsignedQuestion,
                      BoxIcon::Question, IDNO},
        SignatureCase{"CannotBeCheckedWarnUnverifiedZero", GoodReport, false, L"WarnUnverified",
                      L"", BoxIcon::None, IDYES},
        SignatureCase{"AlteredWarnUnverifiedZero", Altered, false, L"WarnUnverified",
                      kAlteredWarning, BoxIcon::Warning, IDNO},
        SignatureCase{"RevokedBeforeSigningYes", RevokedBeforeSigning, false, nullptr,
                      kRevokedWarning, BoxIcon::Warning, IDYES},
        SignatureCase{"RevokedBeforeSigningNoKeepsTheDesktopPdf", RevokedBeforeSigning, true,
                      nullptr, kRevokedWarning, BoxIcon::Warning, IDNO},
        SignatureCase{"RevokedCheckSignatureZero", RevokedBeforeSigning, false, L"CheckSignature",
                      L"", BoxIcon::None, IDYES},
        SignatureCase{"NotRevoked", NotRevoked, false, nullptr, L"", BoxIcon::None, IDYES},
        SignatureCase{"SelfMadeInARealSignersNameNo", SelfMade, false, nullptr, kUntrustedQuestion,
                      BoxIcon::Question, IDNO},
        SignatureCase{"SelfMadeWarnUntrustedZero", SelfMade, false, L"WarnUntrusted", L"",
                      BoxIcon::None, IDYES},
        SignatureCase{"TwinCaAndItsCrl", TwinCa, false, nullptr, L"", BoxIcon::None, IDYES}),
    [](const ::testing::TestParamInfo<SignatureCase>& info) { return info.param.name; });

TEST_F(FileModeTest, TheSampleReportIsShown) {
    const fs::path sample = fs::path(L"Z:" TOLV_SOURCE_DIR_W) / L"samples" / L"sample.Tolv";
    if (!fs::exists(sample))
        GTEST_SKIP() << "no sample report at " << sample.string();
    fs::copy_file(sample, reports_.path() / L"sample.Tolv");
    ExpectNoBoxes(RunViewer((reports_.path() / L"sample.Tolv").wstring()));
    const fs::path pdf = OnlyTempFile();
    std::vector<BrowserRun> runs = chrome_.Runs();
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].commandLine, PlainCommand(chrome_, pdf));
    EXPECT_TRUE(runs[0].exists);
    const std::string bytes = ReadBytes(pdf);
    EXPECT_EQ(runs[0].size, static_cast<long long>(bytes.size()));
    EXPECT_EQ(bytes.substr(0, 5), "%PDF-");
    EXPECT_NE(bytes.find("%%EOF"), std::string::npos);
}

} // namespace
