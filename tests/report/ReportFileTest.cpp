#include "report/File.h"
#include "report/ReportReader.h"

#include "ReportTesting.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

namespace tolv::report::reporttest {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

Bytes ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteAll(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

fs::path Utf8Path(const char* text) {
    return fs::path(std::u8string(reinterpret_cast<const char8_t*>(text)));
}

class ReportFile : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ =
            fs::temp_directory_path() / ("tolv-report-" + std::to_string(std::random_device{}()));
        fs::create_directories(dir_);
    }
    void TearDown() override {
        std::error_code error;
        fs::remove_all(dir_, error);
    }
    fs::path dir_;
};

// Written at build time by scripts/make-report.py, beside the test's working folder.
TEST_F(ReportFile, GeneratedReportsGiveBackTheirPdfExactly) {
    for (const char* name : {"small", "large"}) {
        const fs::path report = fs::path(std::string(name) + ".Tolv");
        const fs::path expected = fs::path(std::string(name) + ".pdf");
        ASSERT_TRUE(fs::exists(report)) << fs::absolute(report);
        EXPECT_TRUE(PDFFileFromXADESFile(report, dir_ / "out.pdf"));
        EXPECT_EQ(ReadAll(dir_ / "out.pdf"), ReadAll(expected)) << name;
    }
}

TEST_F(ReportFile, ExistingFileIsWrittenOverAndCutToTheNewLength) {
    const fs::path report = dir_ / "a.Tolv";
    WriteAll(report, Report(Base64Object("QUJD")));
    WriteAll(dir_ / "a.pdf", std::string(10000, 'x'));
    EXPECT_TRUE(PDFFileFromXADESFile(report, dir_ / "a.pdf"));
    EXPECT_EQ(ReadAll(dir_ / "a.pdf"), ToBytes("ABC"));
}

TEST_F(ReportFile, TurkishLettersInBothPaths) {
    const fs::path folder = dir_ / Utf8Path("Masaüstü Şirket Ğİ");
    fs::create_directories(folder);
    const fs::path report = folder / Utf8Path("rapor_çığöşü İ.Tolv");
    const fs::path pdf = folder / Utf8Path("rapor_çığöşü İ.Tolv.Pdf");
    WriteAll(report, Report(Base64Object("QUJD")));
    EXPECT_TRUE(PDFFileFromXADESFile(report, pdf));
    EXPECT_EQ(ReadAll(pdf), ToBytes("ABC"));
    try {
        PDFFileFromXADESFile(folder / Utf8Path("yok_ş.Tolv"), pdf);
        ADD_FAILURE();
    } catch (const ReportError& error) {
        EXPECT_THAT(error.what(), HasSubstr("yok_ş.Tolv"));
        EXPECT_THAT(error.what(), HasSubstr("Masaüstü Şirket Ğİ"));
    }
}

TEST_F(ReportFile, ReportsThatCannotBeReadRaiseErrors) {
    const struct {
        fs::path path;
        const char* text;
    } rows[] = {
        {dir_ / "missing.Tolv", "Rapor dosyası okunamadı: "},
        {dir_, "klasör"},
        {dir_ / "empty.Tolv", "Rapor dosyası boş: "},
        {dir_ / "broken.Tolv", "satır 1, sütun"},
    };
    WriteAll(dir_ / "empty.Tolv", "");
    WriteAll(dir_ / "broken.Tolv", "<a><b></a>");
    for (const auto& row : rows) {
        try {
            PDFFileFromXADESFile(row.path, dir_ / "out.pdf");
            ADD_FAILURE() << row.path;
        } catch (const ReportError& error) {
            EXPECT_THAT(error.what(), HasSubstr(row.text));
            EXPECT_THAT(error.what(), HasSubstr(PathText(row.path)));
        }
    }
    EXPECT_FALSE(fs::exists(dir_ / "out.pdf"));
}

TEST_F(ReportFile, NoFileIsCreatedWhenNothingCanBeWritten) {
    const fs::path report = dir_ / "a.Tolv";
    WriteAll(report, Report(Base64Object("====") + "<ds:Object>QUJD</ds:Object>"));
    EXPECT_FALSE(PDFFileFromXADESFile(report, dir_ / "a.pdf"));
    EXPECT_FALSE(fs::exists(dir_ / "a.pdf"));

    WriteAll(report, Report(Base64Object("QUJD") + Base64Object("REVG")));
    EXPECT_FALSE(PDFFileFromXADESFile(report, dir_ / "no such folder" / "a.pdf"));
    EXPECT_FALSE(PDFFileFromXADESFile(report, fs::path()));
}

// The report is still being read while the PDF is written, so it must never be
// its own output.
TEST_F(ReportFile, ReportIsNeverWrittenOverByItsOwnPdf) {
    const fs::path report = dir_ / "a.Tolv";
    const std::string doc = Report(Base64Object("QUJD"));
    WriteAll(report, doc);
    EXPECT_FALSE(PDFFileFromXADESFile(report, report));
    EXPECT_EQ(ReadAll(report), ToBytes(doc));
}

} // namespace
} // namespace tolv::report::reporttest
