#include "linux/Settings.h"
#include "tests/linux/ScratchFolder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace tolv::linux_edition {
namespace {

using testing::ReadText;
using testing::ScratchFolder;

struct ChoiceCase {
    const char* text;
    std::optional<BrowserChoice> expected;
};
void PrintTo(const ChoiceCase& c, std::ostream* out) {
    *out << '"' << c.text << '"';
}

class BrowserChoiceTest : public ::testing::TestWithParam<ChoiceCase> {};

TEST_P(BrowserChoiceTest, Parses) {
    EXPECT_EQ(ParseBrowserChoice(GetParam().text), GetParam().expected) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(Words, BrowserChoiceTest,
                         ::testing::Values(ChoiceCase{"chrome", BrowserChoice::Chrome},
                                           ChoiceCase{"Chrome", BrowserChoice::Chrome},
                                           ChoiceCase{"  EDGE\t", BrowserChoice::Edge},
                                           ChoiceCase{"desktop", BrowserChoice::Desktop},
                                           ChoiceCase{"chromium", std::nullopt},
                                           ChoiceCase{"", std::nullopt},
                                           ChoiceCase{"1", std::nullopt},
                                           ChoiceCase{"firefox", std::nullopt}));

// Each row: the user's file, the administrator's file (nullptr: none), and the
// settings the viewer then uses; the administrator's file stands in a folder of
// XDG_CONFIG_DIRS and in the fixed one, as /etc/xdg does, and other only in a
// folder the user put into XDG_CONFIG_DIRS.
struct LoadCase {
    const char* name;
    const char* user;
    const char* admin;
    std::optional<BrowserChoice> browser;
    bool savePDF;
    bool frame;
    bool checkSignature = true; // absent: on
    bool warnUnverified = true;
    bool onlineRevocation = true;
    bool warnUntrusted = true;
    const char* other = nullptr;
};
void PrintTo(const LoadCase& c, std::ostream* out) {
    *out << c.name;
}

class LoadSettingsTest : public ::testing::TestWithParam<LoadCase> {};

TEST_P(LoadSettingsTest, TakesEachSettingFromTheFirstFileThatHasIt) {
    const LoadCase& c = GetParam();
    ScratchFolder scratch;
    std::vector<std::filesystem::path> files{scratch.path() / "user/settings.ini",
                                             scratch.path() / "other/settings.ini",
                                             scratch.path() / "admin/settings.ini"};
    if (c.user)
        scratch.Write("user/settings.ini", c.user);
    if (c.admin)
        scratch.Write("admin/settings.ini", c.admin);
    if (c.other)
        scratch.Write("other/settings.ini", c.other);
    Settings settings = LoadSettings(files, {files.back()});
    EXPECT_EQ(settings.browser, c.browser);
    EXPECT_EQ(settings.savePDF, c.savePDF);
    EXPECT_EQ(settings.frame, c.frame);
    EXPECT_EQ(settings.checkSignature, c.checkSignature);
    EXPECT_EQ(settings.warnUnverified, c.warnUnverified);
    EXPECT_EQ(settings.onlineRevocation, c.onlineRevocation);
    EXPECT_EQ(settings.warnUntrusted, c.warnUntrusted);
}

INSTANTIATE_TEST_SUITE_P(
    Files, LoadSettingsTest,
    ::testing::Values(
        LoadCase{"NoFiles", nullptr, nullptr, std::nullopt, false, false},
        LoadCase{"UserOnly", "[Viewer]\nBrowser=edge\nSavePDF=1\nFrame=1\n", nullptr,
                 BrowserChoice::Edge, true, true},
        LoadCase{"AdminOnly", nullptr, "[Viewer]\nBrowser=desktop\nSavePDF=1\n",
                 BrowserChoice::Desktop, true, false},
        LoadCase{"UserOverAdmin", "[Viewer]\nFrame=0\nBrowser=chrome\n",
                 "[Viewer]\nBrowser=edge\nFrame=1\nSavePDF=1\n", BrowserChoice::Chrome, true,
                 false},
        LoadCase{"NumberRule", "[Viewer]\nSavePDF=2\nFrame=-1\n", nullptr, std::nullopt, true,
                 true},
        LoadCase{"NumberRuleBlanks", "[Viewer]\nSavePDF= -0 \nFrame= 0 1\n",
                 "[Viewer]\nSavePDF=1\nFrame=0\n", std::nullopt, false, true},
        LoadCase{"WordsOverNumbers", "[Viewer]\nSavePDF=yes\nFrame=Off\n",
                 "[Viewer]\nSavePDF=0\nFrame=1\n", std::nullopt, true, false},
        LoadCase{"WordsInAnyCase", "[Viewer]\nSavePDF= TRUE \nFrame=on\n", nullptr, std::nullopt,
                 true, true},
        LoadCase{"OtherTextFallsThrough", "[Viewer]\nSavePDF=maybe\nFrame=\n",
                 "[Viewer]\nSavePDF=1\nFrame=&o7\n", std::nullopt, true, true},
        LoadCase{"OtherTextInEveryFile", "[Viewer]\nSavePDF=abc\n", "[Viewer]\nSavePDF=-\n",
                 std::nullopt, false, false},
        LoadCase{"HexNumber", "[Viewer]\nFrame=&HFFFF\n", nullptr, std::nullopt, false, true},
        LoadCase{"UnknownBrowserFallsThrough", "[Viewer]\nBrowser=firefox\n",
                 "[Viewer]\nBrowser=edge\n", BrowserChoice::Edge, false, false},
        LoadCase{"BrokenUserFile", "this is not a key file\n\x01\x02",
                 "[Viewer]\nBrowser=edge\nFrame=1\n", BrowserChoice::Edge, false, true},
        LoadCase{"BrokenAdminFile", nullptr, "[Viewer\nBrowser=edge\n", std::nullopt, false, false},
        LoadCase{"NotUtf8", "[Viewer]\nBrowser=\xff\xfe\nSavePDF=1\xff\n", nullptr, std::nullopt,
                 true, false},
        LoadCase{"OtherGroup", "[Tolv]\nBrowser=edge\nFrame=1\n", nullptr, std::nullopt, false,
                 false},
        LoadCase{"CheckSignatureOffForEveryone", nullptr, "[Viewer]\nCheckSignature=0\n",
                 std::nullopt, false, false, false},
        LoadCase{"PolicyOfTheUserWhereTheAdminSaysNothing",
                 "[Viewer]\nCheckSignature=no\nWarnUnverified=off\nOnlineRevocation=0\n",
                 "[Viewer]\nFrame=1\n", std::nullopt, false, true, false, false, false},
        LoadCase{
            "AdminPolicyOverUserButUserPreferencesOverAdmin",
            "[Viewer]\nBrowser=chrome\nCheckSignature=1\nWarnUnverified=1\nOnlineRevocation=1\n"
            "WarnUntrusted=1\n",
            "[Viewer]\nBrowser=edge\nCheckSignature=0\nWarnUnverified=0\nOnlineRevocation=no\n"
            "WarnUntrusted=off\n",
            BrowserChoice::Chrome, false, false, false, false, false, false},
        LoadCase{"PolicyNotFromTheUsersConfigFolders", nullptr, nullptr, std::nullopt, true, false,
                 true, true, true, true,
                 "[Viewer]\nSavePDF=1\nCheckSignature=0\nWarnUnverified=0\nOnlineRevocation=0\n"
                 "WarnUntrusted=0\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LoadSettingsTest, FolderInPlaceOfTheFileIsSkipped) {
    ScratchFolder scratch;
    std::filesystem::create_directories(scratch.path() / "user/settings.ini");
    scratch.Write("admin/settings.ini", "[Viewer]\nSavePDF=1\n");
    Settings settings = LoadSettings(
        {scratch.path() / "user/settings.ini", scratch.path() / "admin/settings.ini"}, {});
    EXPECT_TRUE(settings.savePDF);
}

TEST(SettingsFilesTest, UserFileFirstThenEachConfigFolder) {
    std::vector<std::filesystem::path> files = SettingsFiles();
    ASSERT_GE(files.size(), 1u);
    EXPECT_EQ(files.front(), UserSettingsFile());
    EXPECT_EQ(files.front().filename(), "settings.ini");
    EXPECT_EQ(files.front().parent_path().filename(), "tolv-viewer");
    EXPECT_EQ(PolicyFiles("/etc"),
              (std::vector<std::filesystem::path>{"/etc/xdg/tolv-viewer/settings.ini",
                                                  "/etc/tolv-viewer/settings.ini"}));
}

TEST(SaveSettingsTest, WritesWhatLoadReadsBack) {
    ScratchFolder scratch;
    std::filesystem::path file = scratch.path() / "new/folder/settings.ini";
    for (auto browser : {std::optional<BrowserChoice>(), std::optional(BrowserChoice::Chrome),
                         std::optional(BrowserChoice::Edge), std::optional(BrowserChoice::Desktop)})
        for (bool savePDF : {false, true})
            for (bool frame : {false, true}) {
                ASSERT_EQ(SaveSettings(Settings{browser, savePDF, frame}, file), "");
                Settings back = LoadSettings({file}, {});
                EXPECT_EQ(back.browser, browser);
                EXPECT_EQ(back.savePDF, savePDF);
                EXPECT_EQ(back.frame, frame);
            }
    // Only the file itself is left: no scratch copies beside it.
    size_t count = 0;
    for ([[maybe_unused]] auto& entry : std::filesystem::directory_iterator(file.parent_path()))
        ++count;
    EXPECT_EQ(count, 1u);
    struct stat info {};
    ASSERT_EQ(stat(file.parent_path().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
}

TEST(SaveSettingsTest, KeepsCommentsAndOtherKeys) {
    ScratchFolder scratch;
    std::filesystem::path file =
        scratch.Write("settings.ini", "# set by the institution\n[Viewer]\nBrowser=edge\n"
                                      "Extra=kept\n\n[Other]\nKey=value\n");
    ASSERT_EQ(SaveSettings(Settings{BrowserChoice::Desktop, true, false, false, false}, file), "");
    std::string text = ReadText(file);
    EXPECT_EQ(text.find("CheckSignature"), std::string::npos) << text; // the administrator's
    EXPECT_EQ(text.find("WarnUnverified"), std::string::npos) << text;
    EXPECT_NE(text.find("# set by the institution"), std::string::npos) << text;
    EXPECT_NE(text.find("Extra=kept"), std::string::npos) << text;
    EXPECT_NE(text.find("[Other]\nKey=value"), std::string::npos) << text;
    EXPECT_NE(text.find("Browser=desktop"), std::string::npos) << text;
    EXPECT_NE(text.find("SavePDF=1"), std::string::npos) << text;
    EXPECT_NE(text.find("Frame=0"), std::string::npos) << text;
}

// Dotfile managers keep the file elsewhere and link it in.
TEST(SaveSettingsTest, ALinkStaysALinkAndItsTargetKeepsItsMode) {
    ScratchFolder scratch;
    std::filesystem::path target = scratch.Write("dotfiles/tolv.ini", "[Viewer]\nBrowser=edge\n");
    chmod(target.c_str(), 0640);
    std::filesystem::path link = scratch.path() / "config/settings.ini";
    std::filesystem::create_directories(link.parent_path());
    std::filesystem::create_symlink("../dotfiles/tolv.ini", link);
    ASSERT_EQ(SaveSettings(Settings{BrowserChoice::Desktop, true, false}, link), "");
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(LoadSettings({target}, {}).browser, BrowserChoice::Desktop);
    struct stat info {};
    ASSERT_EQ(stat(target.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(target.parent_path()), {}), 1);
}

TEST(SaveSettingsTest, ReplacesABrokenFile) {
    ScratchFolder scratch;
    std::filesystem::path file = scratch.Write("settings.ini", "garbage without group\n");
    ASSERT_EQ(SaveSettings(Settings{BrowserChoice::Edge, false, true}, file), "");
    Settings back = LoadSettings({file}, {});
    EXPECT_EQ(back.browser, BrowserChoice::Edge);
    EXPECT_TRUE(back.frame);
}

TEST(SaveSettingsTest, AnswersWhyItFailedAndLeavesNothing) {
    ScratchFolder scratch;
    // A file where the folder should be: the folder cannot be made.
    scratch.Write("blocked", "a file");
    std::string error =
        SaveSettings(Settings{BrowserChoice::Edge, true, true}, scratch.path() / "blocked/s.ini");
    EXPECT_NE(error, "");
    EXPECT_NE(error.find("blocked"), std::string::npos) << error;

    // A folder in place of the file: the rename fails, the scratch copy goes.
    std::filesystem::create_directories(scratch.path() / "dir/settings.ini/inner");
    error = SaveSettings(Settings{}, scratch.path() / "dir/settings.ini");
    EXPECT_NE(error, "");
    size_t count = 0;
    for ([[maybe_unused]] auto& entry : std::filesystem::directory_iterator(scratch.path() / "dir"))
        ++count;
    EXPECT_EQ(count, 1u);
}

} // namespace
} // namespace tolv::linux_edition
