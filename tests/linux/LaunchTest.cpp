#include "linux/Launch.h"
#include "tests/linux/ScratchFolder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace tolv::linux_edition {
namespace {

using testing::ScratchFolder;

TEST(BrowserArgvTest, PlainWindowGetsTheUrlAlone) {
    EXPECT_EQ(BrowserArgv("/usr/bin/chromium", "file:///r/a%20b.pdf", false),
              (std::vector<std::string>{"/usr/bin/chromium", "file:///r/a%20b.pdf"}));
}

TEST(BrowserArgvTest, FrameIsTheWindowsEditionsApplicationWindow) {
    EXPECT_EQ(BrowserArgv("/opt/edge", "file:///a.pdf", true),
              (std::vector<std::string>{"/opt/edge", "--window-size=1200,650",
                                        "--window-position=250,100", "--app=file:///a.pdf"}));
}

struct UriCase {
    const char* path;
    const char* uri;
};
void PrintTo(const UriCase& c, std::ostream* out) {
    *out << c.path;
}

class FileUriTest : public ::testing::TestWithParam<UriCase> {};

TEST_P(FileUriTest, PercentEncodesUtf8) {
    EXPECT_EQ(FileUri(GetParam().path), GetParam().uri);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, FileUriTest,
    ::testing::Values(UriCase{"/tmp/a.pdf", "file:///tmp/a.pdf"},
                      UriCase{"/tmp/a b.pdf", "file:///tmp/a%20b.pdf"},
                      UriCase{"/tmp/#1 %20.pdf", "file:///tmp/%231%20%2520.pdf"},
                      UriCase{"/home/ayşe/Masaüstü/Ödeme.pdf",
                              "file:///home/ay%C5%9Fe/Masa%C3%BCst%C3%BC/%C3%96deme.pdf"},
                      UriCase{"/tmp/a?b.pdf", "file:///tmp/a%3Fb.pdf"},
                      UriCase{"relative.pdf", ""}));

// PATH pointed at a scratch folder holding the named programs.
class FindBrowserTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* path = g_getenv("PATH");
        savedPath_ = path ? path : "";
        g_setenv("PATH", (scratch_.path() / "bin").c_str(), TRUE);
        std::filesystem::create_directories(scratch_.path() / "bin");
    }
    void TearDown() override { g_setenv("PATH", savedPath_.c_str(), TRUE); }
    std::string Install(const std::string& name) {
        std::filesystem::path file = scratch_.Write("bin/" + name, "#!/bin/sh\nexit 0\n");
        chmod(file.c_str(), 0755);
        return file.string();
    }
    ScratchFolder scratch_;
    std::string savedPath_;
};

TEST_F(FindBrowserTest, ChromeBeforeChromiumAndEdgeByItsOwnNames) {
    EXPECT_EQ(FindBrowser(BrowserChoice::Chrome), "");
    EXPECT_EQ(DefaultBrowser(), BrowserChoice::Desktop);
    std::string chromiumBrowser = Install("chromium-browser");
    EXPECT_EQ(FindBrowser(BrowserChoice::Chrome), chromiumBrowser);
    EXPECT_EQ(DefaultBrowser(), BrowserChoice::Chrome);
    std::string chromium = Install("chromium");
    EXPECT_EQ(FindBrowser(BrowserChoice::Chrome), chromium);
    std::string chrome = Install("google-chrome");
    EXPECT_EQ(FindBrowser(BrowserChoice::Chrome), chrome);
    std::string stable = Install("google-chrome-stable");
    EXPECT_EQ(FindBrowser(BrowserChoice::Chrome), stable);

    EXPECT_EQ(FindBrowser(BrowserChoice::Edge), "");
    std::string edge = Install("microsoft-edge");
    EXPECT_EQ(FindBrowser(BrowserChoice::Edge), edge);
    std::string edgeStable = Install("microsoft-edge-stable");
    EXPECT_EQ(FindBrowser(BrowserChoice::Edge), edgeStable);
    EXPECT_EQ(FindBrowser(BrowserChoice::Desktop), "");
}

TEST_F(FindBrowserTest, AFileThatCannotRunIsNoBrowser) {
    std::filesystem::path file = scratch_.Write("bin/google-chrome-stable", "not a program");
    chmod(file.c_str(), 0644);
    EXPECT_EQ(FindBrowser(BrowserChoice::Chrome), "");
}

struct RunCase {
    std::vector<std::string> argv;
    bool succeeded;
};
void PrintTo(const RunCase& c, std::ostream* out) {
    for (const std::string& arg : c.argv)
        *out << arg << ' ';
}

class RunAndWaitTest : public ::testing::TestWithParam<RunCase> {};

TEST_P(RunAndWaitTest, OnlyExitCodeZeroSucceeds) {
    EXPECT_EQ(RunAndWait(GetParam().argv), GetParam().succeeded);
}

INSTANTIATE_TEST_SUITE_P(Programs, RunAndWaitTest,
                         ::testing::Values(RunCase{{"/bin/true"}, true},
                                           RunCase{{"/bin/false"}, false},
                                           RunCase{{"/bin/sh", "-c", "exit 3"}, false},
                                           RunCase{{"/bin/sh", "-c", "sleep 0.3; exit 0"}, true},
                                           RunCase{{"/bin/sh", "-c", "kill -TERM $$"}, false},
                                           RunCase{{"/nonexistent/browser"}, false}));

TEST(RunAndWaitTest, WaitsUntilTheProgramHasEnded) {
    ScratchFolder scratch;
    std::filesystem::path mark = scratch.path() / "done";
    ASSERT_TRUE(RunAndWait({"/bin/sh", "-c", "sleep 0.5; touch \"$0\"", mark.string()}));
    EXPECT_TRUE(std::filesystem::exists(mark));
}

} // namespace
} // namespace tolv::linux_edition
