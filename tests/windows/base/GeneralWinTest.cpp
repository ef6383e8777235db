#include "windows/base/General_win.h"
#include "tests/windows/support/FakeBrowsers.h"
#include "tests/windows/support/TestPaths.h"

#include <gtest/gtest.h>

#include <chrono>

namespace fs = std::filesystem;
using namespace tolv::test;

namespace {

fs::path TestRoot() {
    return fs::path(L"C:\\users\\Public\\TolvGeneralTest" + std::to_wstring(GetCurrentProcessId()));
}

std::vector<fs::path> FilesIn(const fs::path& folder) {
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(folder))
        files.push_back(entry.path());
    return files;
}

// The temporary folder comes from TMP (then TEMP); each test points both at a
// folder of its own.
class TempFileTest : public ::testing::Test {
protected:
    void UseTemp(const fs::path& folder) {
        tmp_.reset();
        tempVar_.reset();
        temp_ = std::make_unique<ScopedFolder>(folder);
        tmp_ = std::make_unique<ScopedEnv>(L"TMP", folder.wstring());
        tempVar_ = std::make_unique<ScopedEnv>(L"TEMP", folder.wstring());
    }
    std::unique_ptr<ScopedFolder> root_ = std::make_unique<ScopedFolder>(TestRoot());
    std::unique_ptr<ScopedFolder> temp_;
    std::unique_ptr<ScopedEnv> tmp_, tempVar_;
};

TEST_F(TempFileTest, MakeTempFileCreatesAnEmptyTolFileInTheTemporaryFolder) {
    // Far longer than the 100 characters an older buffer allowed, and not ASCII.
    const fs::path folder =
        TestRoot() / std::wstring(70, L'ğ') / std::wstring(70, L'ş') / L"Ş Temp";
    UseTemp(folder);
    EXPECT_EQ(tolv::GetTempFolder(), folder.wstring() + L"\\");
    std::wstring folderVariable;
    const std::wstring path = tolv::MakeTempFile(folderVariable, L"TOL", false);
    EXPECT_EQ(folderVariable, folder.wstring() + L"\\"); // the caller's variable receives it

    ASSERT_FALSE(path.empty());
    const fs::path file(path);
    EXPECT_EQ(file.parent_path(), folder);
    EXPECT_EQ(file.filename().wstring().substr(0, 3), L"TOL");
    EXPECT_EQ(file.extension(), L".tmp");
    ASSERT_TRUE(fs::exists(file));
    EXPECT_EQ(fs::file_size(file), 0u);

    // Each call makes a new file.
    std::wstring again = tolv::MakeTempFile(folderVariable, L"TOL", false);
    EXPECT_NE(again, path);
    EXPECT_EQ(FilesIn(folder).size(), 2u);
}

TEST_F(TempFileTest, MakeTempFileInAGivenFolderAndNameOnly) {
    ScopedFolder folder(TestRoot() / L"Given Folder");
    std::wstring folderVariable = folder.path().wstring() + L"\\";
    const std::wstring name = tolv::MakeTempFile(folderVariable, L"ABCDEF", true);
    EXPECT_EQ(folderVariable, folder.path().wstring() + L"\\"); // left as it was
    EXPECT_EQ(name.find(L'\\'), std::wstring::npos);
    EXPECT_EQ(name.substr(0, 3), L"ABC"); // only three characters of the prefix
    EXPECT_TRUE(fs::exists(folder.path() / name));
}

TEST_F(TempFileTest, MakeTempFileInAMissingFolderGivesAnEmptyText) {
    std::wstring folderVariable = (TestRoot() / L"missing").wstring() + L"\\";
    EXPECT_EQ(tolv::MakeTempFile(folderVariable, L"TOL", false), L"");
    EXPECT_FALSE(fs::exists(TestRoot() / L"missing"));
}

// ShellAndWait, with copies of the fake browser as the programs it starts.
class ShellAndWaitTest : public ::testing::Test {
protected:
    ScopedFolder folder_{TestRoot() / L"Programs Folder"};
    FakeBrowserCopy program_{folder_.path() / L"program.exe"};
    std::wstring Command(const std::wstring& arguments = L"") const {
        return Quoted(program_.path().wstring()) + arguments;
    }
};

TEST_F(ShellAndWaitTest, WaitsForTheProcessAndPassesTheCommandLineAndWindowStyle) {
    program_.Configure(0, 1500); // "ended" in its record shows the wait
    int32_t exitCode = 77;
    const std::wstring command = Command(L" --flag \"C:\\a b\\c.pdf\"");
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(tolv::ShellAndWait(command, exitCode, SW_SHOWMINNOACTIVE));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1500));
    EXPECT_EQ(exitCode, 0);
    auto runs = program_.Runs();
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].commandLine, command);
    EXPECT_EQ(runs[0].show, std::to_wstring(SW_SHOWMINNOACTIVE));
    EXPECT_TRUE(runs[0].ended);
}

TEST_F(ShellAndWaitTest, ANonZeroExitCodeIsFalseAndIsHandedBack) {
    int32_t exitCode = 0;
    program_.Configure(3);
    EXPECT_FALSE(tolv::ShellAndWait(Command(), exitCode, SW_SHOWNORMAL));
    EXPECT_EQ(exitCode, 3);
    program_.Configure(-1);
    EXPECT_FALSE(tolv::ShellAndWait(Command(), exitCode, SW_SHOWNORMAL));
    EXPECT_EQ(exitCode, -1);
}

TEST_F(ShellAndWaitTest, AProgramThatCannotStartIsFalseAndLeavesTheExitCodeAlone) {
    int32_t exitCode = 12345;
    EXPECT_FALSE(tolv::ShellAndWait(Quoted((folder_.path() / L"missing.exe").wstring()), exitCode,
                                    SW_SHOWNORMAL));
    EXPECT_EQ(exitCode, 12345);
    // An App Paths entry that could not be read leaves two quotes in front.
    EXPECT_FALSE(tolv::ShellAndWait(L"\"\" \"C:\\a.pdf\"", exitCode, SW_SHOWNORMAL));
    EXPECT_EQ(exitCode, 12345);
    EXPECT_FALSE(tolv::ShellAndWait(L"", exitCode, SW_SHOWNORMAL));
    EXPECT_EQ(exitCode, 12345);
}

} // namespace
