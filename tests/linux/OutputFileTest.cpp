#include "linux/OutputFile.h"
#include "tests/linux/ScratchFolder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace tolv::linux_edition {
namespace {

using testing::ScratchFolder;

mode_t ModeOf(const std::filesystem::path& path) {
    struct stat info {};
    EXPECT_EQ(lstat(path.c_str(), &info), 0) << path;
    return info.st_mode & 07777;
}

struct NameCase {
    const char* report;
    const char* desktopName;
    const char* privateName;
};
void PrintTo(const NameCase& c, std::ostream* out) {
    *out << c.report;
}

class PdfNameTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(PdfNameTest, NamedAfterTheReport) {
    const NameCase& c = GetParam();
    EXPECT_EQ(DesktopPdfPath("/home/ayşe/Masaüstü", c.report),
              std::filesystem::path("/home/ayşe/Masaüstü") / c.desktopName);
    ScratchFolder scratch;
    std::filesystem::path pdf = CreatePrivatePdf(scratch.path() / "private", c.report);
    EXPECT_EQ(pdf, scratch.path() / "private" / c.privateName);
    EXPECT_TRUE(std::filesystem::is_regular_file(pdf));
    EXPECT_EQ(std::filesystem::file_size(pdf), 0u);
    EXPECT_EQ(ModeOf(pdf), 0600u);
    EXPECT_EQ(ModeOf(pdf.parent_path()), 0700u);
}

INSTANTIATE_TEST_SUITE_P(
    Reports, PdfNameTest,
    ::testing::Values(NameCase{"/a/b/a.Tolv", "a.Tolv.Pdf", "a.pdf"},
                      NameCase{"rapor.TOLV", "rapor.TOLV.Pdf", "rapor.pdf"},
                      NameCase{"../Ödeme #3 %50 indirim.tolv", "Ödeme #3 %50 indirim.tolv.Pdf",
                               "Ödeme #3 %50 indirim.pdf"},
                      NameCase{"/x/noextension", "noextension.Pdf", "noextension.pdf"},
                      NameCase{"/x/.tolv", ".tolv.Pdf", ".tolv.pdf"}));

TEST(CreatePrivatePdfTest, NeverReusesAFile) {
    ScratchFolder scratch;
    std::filesystem::path folder = scratch.path() / "p";
    std::vector<std::filesystem::path> made;
    for (int i = 0; i < 3; ++i)
        made.push_back(CreatePrivatePdf(folder, "/r/Rapor 1.Tolv"));
    EXPECT_EQ(made[0].filename(), "Rapor 1.pdf");
    EXPECT_EQ(made[1].filename(), "Rapor 1 (2).pdf");
    EXPECT_EQ(made[2].filename(), "Rapor 1 (3).pdf");
}

TEST(CreatePrivatePdfTest, TightensAnOpenFolder) {
    ScratchFolder scratch;
    std::filesystem::path folder = scratch.path() / "p";
    std::filesystem::create_directory(folder);
    chmod(folder.c_str(), 0755);
    CreatePrivatePdf(folder, "a.Tolv");
    EXPECT_EQ(ModeOf(folder), 0700u);
}

TEST(CreatePrivatePdfTest, RefusesALinkInPlaceOfTheFolder) {
    ScratchFolder scratch;
    std::filesystem::create_directory(scratch.path() / "elsewhere");
    std::filesystem::create_directory_symlink(scratch.path() / "elsewhere", scratch.path() / "p");
    EXPECT_THROW(CreatePrivatePdf(scratch.path() / "p", "a.Tolv"), ViewerError);
    EXPECT_TRUE(std::filesystem::is_empty(scratch.path() / "elsewhere"));
}

TEST(CreatePrivatePdfTest, DoesNotFollowALinkInPlaceOfTheFile) {
    ScratchFolder scratch;
    std::filesystem::path folder = scratch.path() / "p";
    std::filesystem::create_directory(folder);
    std::filesystem::create_symlink(scratch.path() / "target", folder / "a.pdf");
    std::filesystem::path pdf = CreatePrivatePdf(folder, "a.Tolv");
    EXPECT_EQ(pdf.filename(), "a (2).pdf");
    EXPECT_FALSE(std::filesystem::exists(scratch.path() / "target"));
}

TEST(CreatePrivatePdfTest, ReasonInTurkishWhenTheFolderCannotBeMade) {
    ScratchFolder scratch;
    scratch.Write("file", "x");
    try {
        CreatePrivatePdf(scratch.path() / "file/p", "a.Tolv");
        FAIL() << "no error";
    } catch (const ViewerError& error) {
        EXPECT_NE(std::string(error.what()).find("Klasör oluşturulamadı: "), std::string::npos)
            << error.what();
    }
}

// The runtime folder only where the XDG rules hold for it: the user's own
// folder, mode 0700.
TEST(PrivateFolderTest, RuntimeFolderElseCache) {
    const char* saved = g_getenv("XDG_RUNTIME_DIR");
    std::string keep = saved ? saved : "";
    ScratchFolder scratch;
    chmod(scratch.path().c_str(), 0700);
    g_setenv("XDG_RUNTIME_DIR", scratch.path().c_str(), TRUE);
    EXPECT_EQ(PrivateFolder(), scratch.path() / "tolv-viewer");
    const std::filesystem::path cache =
        std::filesystem::path(g_get_user_cache_dir()) / "tolv-viewer";
    chmod(scratch.path().c_str(), 0755);
    EXPECT_EQ(PrivateFolder(), cache);
    g_setenv("XDG_RUNTIME_DIR", "relative/run", TRUE);
    EXPECT_EQ(PrivateFolder(), cache);
    g_unsetenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(PrivateFolder(), cache);
    if (saved)
        g_setenv("XDG_RUNTIME_DIR", keep.c_str(), TRUE);
}

} // namespace
} // namespace tolv::linux_edition
