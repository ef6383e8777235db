// The association and the default browser of the registry class, called in
// this process against the real registry, under names of their own.

#include "windows/registry/Register.h"

#include "windows/base/Handles.h"
#include "tests/windows/support/FakeBrowsers.h"
#include "tests/windows/support/TestPaths.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace fs = std::filesystem;

namespace tolv::test {
namespace {

constexpr wchar_t kExtension[] = L".TolvAssocTest";
constexpr wchar_t kProgram[] = L"C:\\Program Files\\Viewer\\ViewerAssocTest.Exe";
constexpr wchar_t kType[] = L"ViewerAssocTest.Exe";
constexpr wchar_t kCommandKey[] = L"ViewerAssocTest.Exe\\shell\\open\\command";
constexpr wchar_t kIconKey[] = L"ViewerAssocTest.Exe\\DefaultIcon";
constexpr wchar_t kVolatileParent[] = L"TolvAssocTestVolatile";

// A key under HKEY_CLASSES_ROOT below which no stable key can be created.
void CreateVolatileClassKey(const std::wstring& path) {
    UniqueHkey key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, REG_OPTION_VOLATILE,
                              KEY_ALL_ACCESS, nullptr, key.put(), nullptr),
              ERROR_SUCCESS);
}

bool ClassKeyExists(const std::wstring& path) {
    UniqueHkey key;
    return RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, key.put()) == ERROR_SUCCESS;
}

class Association : public ::testing::Test {
protected:
    void SetUp() override {
        extension_.Delete();
        type_.Delete();
        machineExtension_.Delete();
        volatile_.Delete();
    }
    void TearDown() override { volatile_.Delete(); }

    KeyBackup extension_{HKEY_CLASSES_ROOT, kExtension, 0};
    KeyBackup type_{HKEY_CLASSES_ROOT, kType, 0};
    KeyBackup machineExtension_{HKEY_LOCAL_MACHINE, kExtension, KEY_WOW64_64KEY};
    KeyBackup volatile_{HKEY_CLASSES_ROOT, kVolatileParent, 0};
};

TEST_F(Association, APathWithoutBackslashNamesTheTypeByTheWholeTrimmedPath) {
    EXPECT_TRUE(Register().AssociateToApp(L"  ViewerAssocTest.Exe ", kExtension));
    EXPECT_EQ(ReadClassText(kExtension), kType);
    EXPECT_EQ(ReadClassText(kCommandKey), L"\"  ViewerAssocTest.Exe \" %1");
}

TEST_F(Association, StopsAtTheFirstFailureAndKeepsWhatWasWritten) {
    // The extension key itself cannot be created: nothing is written.
    CreateVolatileClassKey(kVolatileParent);
    const std::wstring extension = std::wstring(kVolatileParent) + L"\\" + kExtension;
    EXPECT_FALSE(Register().AssociateToApp(kProgram, extension));
    EXPECT_FALSE(ClassKeyExists(kType));

    // Only DefaultIcon cannot be created: the extension and the command stay.
    type_.Delete();
    CreateVolatileClassKey(kType);
    CreateVolatileClassKey(std::wstring(kType) + L"\\shell");
    CreateVolatileClassKey(std::wstring(kType) + L"\\shell\\open");
    CreateVolatileClassKey(kCommandKey);
    EXPECT_FALSE(Register().AssociateToApp(kProgram, kExtension));
    EXPECT_EQ(ReadClassText(kExtension), kType);
    EXPECT_EQ(ReadClassText(kCommandKey), L"\"C:\\Program Files\\Viewer\\ViewerAssocTest.Exe\" %1");
    EXPECT_FALSE(ReadClassText(kIconKey));
}

class DefaultBrowser : public ::testing::Test {
protected:
    void SetUp() override { http_.Delete(); }

    KeyBackup http_{HKEY_CLASSES_ROOT, L"http", 0};
    ScopedFolder work_{ProgramPath().parent_path() / L"association-tests"};
    FakeBrowserCopy browser_{work_.path() / L"web browser.exe"};
};

std::vector<BrowserRun> WaitForRuns(const FakeBrowserCopy& browser) {
    for (int i = 0; i < 200; ++i) {
        std::vector<BrowserRun> runs = browser.Runs();
        if (!runs.empty() && runs.back().ended)
            return runs;
        Sleep(50);
    }
    return browser.Runs();
}

TEST_F(DefaultBrowser, StartsTheRegisteredCommandWithTheUrlAfterABlank) {
    const std::wstring command = Quoted(browser_.path().wstring()) + L" -osint -url \"%1\"";
    SetDefaultText(HKEY_CLASSES_ROOT, L"http\\shell\\open\\command", 0, command);
    EXPECT_TRUE(Register().OpenIBrowser(L"https://örnek.example/a?b=1"));
    const std::vector<BrowserRun> runs = WaitForRuns(browser_);
    ASSERT_EQ(runs.size(), 1u);
    // The placeholder stays as it is; the URL follows the whole command.
    EXPECT_EQ(runs[0].commandLine, command + L" https://örnek.example/a?b=1");
    EXPECT_EQ(runs[0].show, L"1");
}

TEST_F(DefaultBrowser, WithoutAnHttpCommandTheStartFailsWithAnError) {
    EXPECT_THROW(Register().OpenIBrowser(L"https://example.com/"), std::runtime_error);
}

} // namespace
} // namespace tolv::test
