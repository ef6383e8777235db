// The program after signing (tests/windows/installer/sign-test.sh leaves a
// signed copy in signed/): Windows still loads it, and file mode still shows a
// report in the (fake) browser.

#include "tests/windows/support/FakeBrowsers.h"
#include "tests/windows/support/MessageBoxWatcher.h"
#include "tests/windows/support/SampleReport.h"
#include "tests/windows/support/TestPaths.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;

namespace tolv::test {
namespace {

TEST(SignedProgram, ShowsAReportInFileMode) {
    const fs::path signedProgram = BesideTestExe(L"signed") / L"Tolv.Viewer.Exe";
    ASSERT_TRUE(fs::exists(signedProgram)) << "sign-test.sh has not run";
    ASSERT_NE(ReadBytes(signedProgram), ReadBytes(ProgramPath())) << "the copy is not signed";

    PreferencesBackup preferences;
    InstalledBrowsers browsers;
    ScopedFolder work(ProgramPath().parent_path() / L"signed-tests");
    const fs::path report = work.path() / L"imzalı rapor.Tolv";
    WriteBytes(report, GoodReport());
    StoreDword(L"WarnUnverified", 0); // its made-up signature would be asked about

    const RunResult run =
        RunAndWatch(Quoted(signedProgram.wstring()) + L" " + report.wstring(), 60000);
    ASSERT_TRUE(run.started);
    ASSERT_FALSE(run.timedOut);
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_TRUE(run.boxes.empty());
    ExpectOneRunWithTheSamplePdf(browsers.chrome);
}

} // namespace
} // namespace tolv::test
