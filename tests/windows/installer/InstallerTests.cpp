// The installer package under Windows Installer (Wine's msiexec): where the
// program lands, the association it writes compared with what setup mode
// writes, the shell opening a report through it, the preferences from the
// command line, upgrades and uninstalling.

#include "tests/windows/support/FakeBrowsers.h"
#include "tests/windows/support/MessageBoxWatcher.h"
#include "tests/windows/support/ProgramDriver.h"
#include "tests/windows/support/SampleReport.h"
#include "windows/base/Handles.h"
#include "windows/base/StringConvert.h"

#include <gtest/gtest.h>

#include <msi.h>
#include <msiquery.h>
#include <shlobj.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace tolv::test {
namespace {

constexpr wchar_t kUpgradeCode[] = L"{E75B5944-D5EB-41AC-A68B-9544588A8EF8}";
constexpr wchar_t kClasses[] = L"Software\\Classes\\";
constexpr REGSAM k64 = KEY_WOW64_64KEY;
constexpr DWORD kInstallFailed = 1603; // ERROR_INSTALL_FAILURE

fs::path Package(const wchar_t* name) {
    return BesideTestExe(name);
}
const fs::path kCurrent = Package(TOLV_MSI_W);
const fs::path kOlder = Package(TOLV_OLDER_MSI_W);
const fs::path kRebuilt = Package(TOLV_REBUILT_MSI_W); // same version, another program

fs::path InstalledProgram() {
    PWSTR folder = nullptr;
    if (FAILED(SHGetKnownFolderPath(FOLDERID_ProgramFilesX64, 0, nullptr, &folder)))
        throw std::runtime_error("no 64-bit Program Files folder");
    fs::path path = fs::path(folder) / L"Tolv Viewer" / L"Tolv.Viewer.Exe";
    CoTaskMemFree(folder);
    return path;
}

// Runs msiexec with these arguments, silently; answers its exit code.
DWORD Msiexec(const std::wstring& arguments) {
    TestProcess run(L"msiexec.exe " + arguments);
    if (!run.Started()) {
        ADD_FAILURE() << "msiexec did not start, error " << run.StartError();
        return ~0u;
    }
    std::optional<DWORD> code = run.WaitForExit(100000);
    if (!code) {
        ADD_FAILURE() << "msiexec did not end";
        return ~0u;
    }
    return *code;
}

DWORD Install(const fs::path& package, const std::wstring& properties = L"") {
    return Msiexec(L"/i " + Quoted(package.wstring()) + L" /qn " + properties);
}
DWORD Uninstall(const fs::path& package) {
    return Msiexec(L"/x " + Quoted(package.wstring()) + L" /qn");
}

// The product codes installed under the package's upgrade code.
std::vector<std::wstring> InstalledProducts() {
    std::vector<std::wstring> products;
    wchar_t code[39];
    for (DWORD index = 0; MsiEnumRelatedProductsW(kUpgradeCode, 0, index, code) == ERROR_SUCCESS;
         ++index)
        products.emplace_back(code);
    return products;
}

std::wstring ProductVersion(const std::wstring& productCode) {
    wchar_t version[64] = {};
    DWORD length = 64;
    MsiGetProductInfoW(productCode.c_str(), INSTALLPROPERTY_VERSIONSTRING, version, &length);
    return version;
}

void CloseMsiHandle(MSIHANDLE handle) noexcept {
    MsiCloseHandle(handle);
}
using UniqueMsiHandle = UniqueAny<MSIHANDLE, CloseMsiHandle>;

// The first column of a query on a package's database, the empty values left out.
std::set<std::wstring> QueryPackage(const fs::path& package, const wchar_t* query) {
    std::set<std::wstring> values;
    UniqueMsiHandle database;
    UniqueMsiHandle view;
    if (MsiOpenDatabaseW(package.c_str(), MSIDBOPEN_READONLY, database.put()) != ERROR_SUCCESS ||
        MsiDatabaseOpenViewW(database.get(), query, view.put()) != ERROR_SUCCESS ||
        MsiViewExecute(view.get(), 0) != ERROR_SUCCESS) {
        ADD_FAILURE() << "cannot query " << package.string();
        return values;
    }
    for (UniqueMsiHandle record; MsiViewFetch(view.get(), record.put()) == ERROR_SUCCESS;) {
        wchar_t text[1024];
        DWORD length = 1024;
        if (MsiRecordGetStringW(record.get(), 1, text, &length) == ERROR_SUCCESS && length > 0)
            values.emplace(text, length);
    }
    return values;
}

// Default values and sub-keys of the association's keys under
// HKEY_LOCAL_MACHINE\Software\Classes, as one comparable map.
std::map<std::wstring, std::wstring> MachineAssociation() {
    std::map<std::wstring, std::wstring> found;
    const std::vector<std::wstring> keys{L".Tolv",
                                         L"Tolv.Viewer.Exe",
                                         L"Tolv.Viewer.Exe\\shell",
                                         L"Tolv.Viewer.Exe\\shell\\open",
                                         L"Tolv.Viewer.Exe\\shell\\open\\command",
                                         L"Tolv.Viewer.Exe\\shell\\imza",
                                         L"Tolv.Viewer.Exe\\shell\\imza\\command",
                                         L"Tolv.Viewer.Exe\\DefaultIcon"};
    for (const std::wstring& key : keys) {
        UniqueHkey opened;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, (kClasses + key).c_str(), 0, KEY_READ | k64,
                          opened.put()) != ERROR_SUCCESS)
            continue;
        wchar_t text[1024];
        DWORD size = sizeof(text);
        DWORD type = REG_NONE;
        if (RegQueryValueExW(opened.get(), nullptr, nullptr, &type, reinterpret_cast<BYTE*>(text),
                             &size) == ERROR_SUCCESS)
            found[key] = (type == REG_SZ ? L"REG_SZ " : L"type " + std::to_wstring(type) + L" ") +
                         std::wstring(text, wcsnlen(text, size / sizeof(wchar_t)));
        else
            found[key] = L"(no default value)";
        for (DWORD index = 0;; ++index) {
            wchar_t name[256];
            DWORD length = 256;
            if (RegEnumKeyExW(opened.get(), index, name, &length, nullptr, nullptr, nullptr,
                              nullptr) != ERROR_SUCCESS)
                break;
            found[key + L" sub-key"] += std::wstring(name, length) + L";";
        }
    }
    return found;
}

std::string Describe(const std::map<std::wstring, std::wstring>& values) {
    std::string text;
    for (const auto& [key, value] : values)
        text += WideToUtf8(key) + " = " + WideToUtf8(value) + "\n";
    return text;
}

class Installer : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(fs::exists(kCurrent)) << kCurrent.string();
        ASSERT_TRUE(fs::exists(kOlder)) << kOlder.string();
        RemoveProducts();
        association_.Delete();
        extension_.Delete();
        type_.Delete();
        WriteBytes(report_, GoodReport());
    }
    void TearDown() override { RemoveProducts(); }

    // Whatever an earlier run left installed goes first.
    static void RemoveProducts() {
        for (const std::wstring& product : InstalledProducts())
            Msiexec(L"/x " + product + L" /qn");
    }

    // Setup mode of the installed program, started and closed.
    static void RunSetupMode() {
        ProgramRun run(InstalledProgram());
        HWND window = run.WaitForWindow();
        ASSERT_NE(window, nullptr) << "the preferences window did not appear";
        PostMessageW(window, WM_CLOSE, 0, 0);
        EXPECT_EQ(run.WaitForExit(), 0u);
    }

    static void ExpectStored(const wchar_t* setting, DWORD type, const std::vector<BYTE>& data) {
        std::optional<StoredValue> value = ReadSetting(setting);
        ASSERT_TRUE(value) << WideToUtf8(setting) << " is missing";
        EXPECT_EQ(value->type, type) << WideToUtf8(setting);
        EXPECT_EQ(value->data, data) << WideToUtf8(setting);
    }

    AssociationBackup association_;
    KeyBackup extension_{HKEY_LOCAL_MACHINE, std::wstring(kClasses) + L".Tolv", k64};
    KeyBackup type_{HKEY_LOCAL_MACHINE, std::wstring(kClasses) + L"Tolv.Viewer.Exe", k64};
    PreferencesBackup preferences_;
    InstalledBrowsers browsers_;
    ScopedFolder work_{ProgramPath().parent_path() / L"installer-tests"};
    fs::path report_{work_.path() / L"Örnek rapor.Tolv"};
};

std::vector<BYTE> DwordBytes(DWORD value) {
    const BYTE* bytes = reinterpret_cast<const BYTE*>(&value);
    return {bytes, bytes + sizeof(value)};
}

// Whether Windows Installer's log says the action ran and succeeded.
bool ActionSucceeded(const fs::path& log, const std::string& action) {
    return ReadBytes(log).find(action + ". Return value 1.") != std::string::npos;
}

TEST_F(Installer, InstallsTheProgramWithTheAssociationOfSetupModeAndUninstallsBoth) {
    const fs::path log = work_.path() / L"install.log";
    ASSERT_EQ(Install(kCurrent, L"/l*v " + Quoted(log.wstring())), 0u);
    EXPECT_TRUE(ActionSucceeded(log, "NotifyShellInstalled")) << "the shell was not told";
    const fs::path program = InstalledProgram();
    ASSERT_TRUE(fs::exists(program));
    EXPECT_EQ(ReadBytes(program), ReadBytes(ProgramPath())) << "not the program of this build";
    EXPECT_EQ(InstalledProducts().size(), 1u);
    // The licences beside it: ours, and those of expat and OpenSSL, which the
    // program carries.
    for (const auto& [file, holder] : {std::pair{L"LICENSE.txt", "TolvViewer open source team"},
                                       std::pair{L"expat-COPYING.txt", "Expat maintainers"},
                                       std::pair{L"openssl-LICENSE.txt", "Apache License"}})
        EXPECT_NE(ReadBytes(program.parent_path() / file).find(holder), std::string::npos)
            << WideToUtf8(file);

    const std::map<std::wstring, std::wstring> written = MachineAssociation();
    const std::map<std::wstring, std::wstring> expected{
        {L".Tolv", L"REG_SZ Tolv.Viewer.Exe"},
        {L"Tolv.Viewer.Exe", L"(no default value)"},
        {L"Tolv.Viewer.Exe sub-key", L"DefaultIcon;shell;"},
        {L"Tolv.Viewer.Exe\\shell", L"(no default value)"},
        {L"Tolv.Viewer.Exe\\shell sub-key", L"imza;open;"},
        {L"Tolv.Viewer.Exe\\shell\\open", L"(no default value)"},
        {L"Tolv.Viewer.Exe\\shell\\open sub-key", L"command;"},
        {L"Tolv.Viewer.Exe\\shell\\open\\command", L"REG_SZ \"" + program.wstring() + L"\" %1"},
        {L"Tolv.Viewer.Exe\\DefaultIcon", L"REG_SZ " + program.wstring() + L",0"},
        {L"Tolv.Viewer.Exe\\shell\\imza", L"REG_SZ İmza bilgisi"},
        {L"Tolv.Viewer.Exe\\shell\\imza sub-key", L"command;"},
        {L"Tolv.Viewer.Exe\\shell\\imza\\command",
         L"REG_SZ \"" + program.wstring() + L"\" /imza \"%1\""}};
    EXPECT_EQ(written, expected) << Describe(written);

    // Setup mode of the same program writes exactly the same.
    extension_.Delete();
    type_.Delete();
    RunSetupMode();
    EXPECT_EQ(MachineAssociation(), written) << Describe(MachineAssociation());

    ASSERT_EQ(Msiexec(L"/x " + Quoted(kCurrent.wstring()) + L" /qn /l*v " + Quoted(log.wstring())),
              0u);
    EXPECT_TRUE(ActionSucceeded(log, "NotifyShellRemoved")) << "the shell was not told";
    EXPECT_FALSE(fs::exists(program));
    EXPECT_FALSE(fs::exists(program.parent_path()));
    EXPECT_TRUE(MachineAssociation().empty()) << Describe(MachineAssociation());
    EXPECT_TRUE(InstalledProducts().empty());
}

TEST_F(Installer, TheShellOpensAReportWithTheInstalledProgram) {
    ASSERT_EQ(Install(kCurrent), 0u);
    StoreDword(L"WarnUnverified", 0); // the report's made-up signature would be asked about
    // `start` follows the association, as a double-click does.
    const RunResult start = RunAndWatch(L"start.exe /wait " + Quoted(report_.wstring()), 60000);
    ASSERT_TRUE(start.started);
    ASSERT_FALSE(start.timedOut);
    EXPECT_EQ(start.exitCode, 0u);
    EXPECT_TRUE(start.boxes.empty());
    ExpectOneRunWithTheSamplePdf(browsers_.chrome);
    EXPECT_TRUE(browsers_.edge.Runs().empty());
}

// Preferences already on the machine, and what a command line makes of them.
struct PropertyCase {
    const char* name;
    const wchar_t* properties;
    std::optional<DWORD> browser, savePDF, frame; // nothing: the value that was there stays
    std::optional<DWORD> checkSignature = std::nullopt;
    std::optional<DWORD> warnUnverified = std::nullopt;
    const wchar_t* trustAnchors = nullptr; // a text; nothing given: none is written
    std::optional<DWORD> onlineRevocation = std::nullopt;
    std::optional<DWORD> warnUntrusted = std::nullopt;
};

void PrintTo(const PropertyCase& c, std::ostream* out) {
    *out << c.name;
}

class InstallerProperties : public Installer, public ::testing::WithParamInterface<PropertyCase> {};

TEST_P(InstallerProperties, SetExactlyThePreferencesGivenAndKeepThemOnUninstall) {
    const PropertyCase& c = GetParam();
    // The window's own values: Edge as all bits set, a greyed check box, and
    // a text value that only a hand could have written.
    StoreDword(L"Browser", 0xFFFFFFFF);
    StoreDword(L"SavePDF", 2);
    StoreText(L"Frame", L"7");
    StoreDword(L"CheckSignature", 5);
    StoreDword(L"WarnUnverified", 5);
    StoreDword(L"OnlineRevocation", 5);
    StoreDword(L"WarnUntrusted", 5);
    const std::vector<BYTE> frameText{'7', 0, 0, 0};

    ASSERT_EQ(Install(kCurrent, c.properties), 0u);
    const auto expect = [&] {
        ExpectStored(L"Browser", REG_DWORD, DwordBytes(c.browser.value_or(0xFFFFFFFF)));
        ExpectStored(L"SavePDF", REG_DWORD, DwordBytes(c.savePDF.value_or(2)));
        if (c.frame)
            ExpectStored(L"Frame", REG_DWORD, DwordBytes(*c.frame));
        else
            ExpectStored(L"Frame", REG_SZ, frameText);
        ExpectStored(L"CheckSignature", REG_DWORD, DwordBytes(c.checkSignature.value_or(5)));
        ExpectStored(L"WarnUnverified", REG_DWORD, DwordBytes(c.warnUnverified.value_or(5)));
        ExpectStored(L"OnlineRevocation", REG_DWORD, DwordBytes(c.onlineRevocation.value_or(5)));
        ExpectStored(L"WarnUntrusted", REG_DWORD, DwordBytes(c.warnUntrusted.value_or(5)));
        if (c.trustAnchors) {
            const std::wstring text(c.trustAnchors);
            const BYTE* bytes = reinterpret_cast<const BYTE*>(text.c_str());
            ExpectStored(L"TrustAnchors", REG_SZ,
                         {bytes, bytes + (text.size() + 1) * sizeof(wchar_t)});
        } else {
            EXPECT_FALSE(ReadSetting(L"TrustAnchors"));
        }
    };
    expect();
    // Nothing lands in the 64-bit view, where the program does not look.
    for (const wchar_t* setting :
         {L"Browser", L"SavePDF", L"Frame", L"CheckSignature", L"WarnUnverified",
          L"OnlineRevocation", L"TrustAnchors", L"WarnUntrusted"})
        EXPECT_FALSE(ReadSetting(setting, k64)) << WideToUtf8(setting);

    // They are the machine's settings: uninstalling leaves them.
    ASSERT_EQ(Uninstall(kCurrent), 0u);
    expect();
}

INSTANTIATE_TEST_SUITE_P(
    CommandLines, InstallerProperties,
    ::testing::Values(
        PropertyCase{"None", L"", std::nullopt, std::nullopt, std::nullopt},
        PropertyCase{"AllThree", L"BROWSER=1 SAVEPDF=0 FRAME=1", 1, 0, 1},
        PropertyCase{"AllThreeTheOtherWay", L"BROWSER=0 SAVEPDF=1 FRAME=0", 0, 1, 0},
        PropertyCase{"OnlySavePDF", L"SAVEPDF=1", std::nullopt, 1, std::nullopt},
        PropertyCase{"CheckSignatureOff", L"CHECKSIGNATURE=0 FRAME=0", std::nullopt, std::nullopt,
                     0, 0},
        PropertyCase{"CheckSignatureOn", L"CHECKSIGNATURE=1", std::nullopt, std::nullopt,
                     std::nullopt, 1},
        PropertyCase{"WarnUnverifiedOff", L"WARNUNVERIFIED=0", std::nullopt, std::nullopt,
                     std::nullopt, std::nullopt, 0},
        PropertyCase{"TrustAnchors", L"TRUSTANCHORS=\"C:\\Kurum Sertifikaları\"", std::nullopt,
                     std::nullopt, std::nullopt, std::nullopt, std::nullopt,
                     L"C:\\Kurum Sertifikaları"},
        PropertyCase{"OnlineRevocationOff", L"ONLINEREVOCATION=0", std::nullopt, std::nullopt,
                     std::nullopt, std::nullopt, std::nullopt, nullptr, 0},
        PropertyCase{"OnlineRevocationOn", L"ONLINEREVOCATION=1 BROWSER=0", 0, std::nullopt,
                     std::nullopt, std::nullopt, std::nullopt, nullptr, 1},
        PropertyCase{"WarnUntrustedOff", L"WARNUNTRUSTED=0", std::nullopt, std::nullopt,
                     std::nullopt, std::nullopt, std::nullopt, nullptr, std::nullopt, 0}),
    [](const ::testing::TestParamInfo<PropertyCase>& info) { return info.param.name; });

// An administrator under UAC starts msiexec unelevated, and only secure
// properties reach the elevated install: every property a preference component
// is conditioned on must be one, as the upgrade's own are.
TEST(InstallerPackage, EveryPropertyTheCommandLineSetsIsSecure) {
    std::set<std::wstring> secure;
    for (const std::wstring& list : QueryPackage(
             kCurrent,
             L"SELECT `Value` FROM `Property` WHERE `Property` = 'SecureCustomProperties'"))
        for (size_t start = 0; start <= list.size();) {
            const size_t end = std::min(list.find(L';', start), list.size());
            secure.insert(list.substr(start, end - start));
            start = end + 1;
        }
    std::set<std::wstring> needed = QueryPackage(kCurrent, L"SELECT `Condition` FROM `Component`");
    needed.merge(QueryPackage(kCurrent, L"SELECT `ActionProperty` FROM `Upgrade`"));
    for (const wchar_t* property : {L"BROWSER", L"SAVEPDF", L"FRAME"})
        EXPECT_TRUE(needed.contains(property)) << WideToUtf8(property) << " sets nothing";
    for (const std::wstring& property : needed)
        EXPECT_TRUE(secure.contains(property)) << WideToUtf8(property) << " is not secure";
}

// And so does a trust anchors' path that is not a full one.
TEST_F(Installer, APropertyOtherThanZeroOrOneStopsTheInstall) {
    StoreDword(L"Browser", 0);
    for (const wchar_t* properties :
         {L"BROWSER=1 FRAME=yes", L"BROWSER=1 CHECKSIGNATURE=2", L"BROWSER=1 WARNUNVERIFIED=2",
          L"BROWSER=1 ONLINEREVOCATION=2", L"BROWSER=1 WARNUNTRUSTED=2",
          L"BROWSER=1 TRUSTANCHORS=sertifikalar"}) {
        SCOPED_TRACE(WideToUtf8(properties));
        EXPECT_EQ(Install(kCurrent, properties), kInstallFailed);
        EXPECT_FALSE(fs::exists(InstalledProgram()));
        EXPECT_TRUE(InstalledProducts().empty());
        ExpectStored(L"Browser", REG_DWORD, DwordBytes(0));
        EXPECT_FALSE(ReadSetting(L"Frame"));
        EXPECT_FALSE(ReadSetting(L"CheckSignature"));
        EXPECT_FALSE(ReadSetting(L"WarnUnverified"));
        EXPECT_FALSE(ReadSetting(L"OnlineRevocation"));
        EXPECT_FALSE(ReadSetting(L"WarnUntrusted"));
        EXPECT_FALSE(ReadSetting(L"TrustAnchors"));
    }
}

TEST_F(Installer, AnUpgradeReplacesTheEarlierVersion) {
    ASSERT_EQ(Install(kOlder, L"BROWSER=1"), 0u);
    std::vector<std::wstring> products = InstalledProducts();
    ASSERT_EQ(products.size(), 1u);
    EXPECT_EQ(ProductVersion(products[0]), L"1.99.0");

    ASSERT_EQ(Install(kCurrent), 0u);
    products = InstalledProducts();
    ASSERT_EQ(products.size(), 1u) << "both versions are installed";
    EXPECT_EQ(ProductVersion(products[0]), L"2.0.0");
    EXPECT_TRUE(fs::exists(InstalledProgram()));
    EXPECT_EQ(MachineAssociation()[L".Tolv"], L"REG_SZ Tolv.Viewer.Exe");
    ExpectStored(L"Browser", REG_DWORD, DwordBytes(1));

    // The earlier version cannot be put back over the later one.
    EXPECT_EQ(Install(kOlder), kInstallFailed);
    products = InstalledProducts();
    ASSERT_EQ(products.size(), 1u);
    EXPECT_EQ(ProductVersion(products[0]), L"2.0.0");
}

TEST_F(Installer, AnotherBuildOfTheSameVersionReplacesTheInstalledOne) {
    ASSERT_EQ(Install(kCurrent), 0u);
    ASSERT_EQ(Install(kRebuilt), 0u);
    const std::vector<std::wstring> products = InstalledProducts();
    ASSERT_EQ(products.size(), 1u) << "both builds are installed";
    EXPECT_EQ(ProductVersion(products[0]), L"2.0.0");
    EXPECT_TRUE(ReadBytes(InstalledProgram()) ==
                ReadBytes(kRebuilt.parent_path() / L"Tolv.Viewer.Exe"))
        << "the earlier build's program stayed";
}

} // namespace
} // namespace tolv::test
