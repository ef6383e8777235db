#include "report/Extraction.h"
#include "report/File.h"
#include "report/ReportReader.h"

#include "ReportTesting.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <random>

#ifndef _WIN32
#include "Umask_posix.h"
#endif

namespace tolv::report::reporttest {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::Not;

Bytes ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteAll(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::vector<std::string> NamesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(PathText(entry.path().filename()));
    std::sort(names.begin(), names.end());
    return names;
}

// Where the system looks first for its temporary folder; nullptr unsets it.
#ifdef _WIN32
constexpr char kTempVariable[] = "TMP"; // GetTempPathW's first choice
void SetTempVariable(const char* value) {
    _putenv_s(kTempVariable, value ? value : "");
}
#else
constexpr char kTempVariable[] = "TMPDIR";
void SetTempVariable(const char* value) {
    value ? ::setenv(kTempVariable, value, 1) : ::unsetenv(kTempVariable);
}
#endif

// A device that reads as empty: a report only in name.
#ifdef _WIN32
const fs::path kDevice = "NUL";
#else
const fs::path kDevice = "/dev/null";
#endif

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

// A report whose PDF decodes completely before the document turns out broken:
// the earlier PDF of the same name must survive, and no scratch file may stay.
TEST_F(ReportFile, AFailedReportLeavesTheEarlierPdfAsItWasAndNoScratchFile) {
    const std::string earlier = "%PDF-1.4 earlier, good run";
    const std::string payload(3 * 1024 * 1024, 'Q'); // decodes to 2.25 MB before the fault
    const struct {
        const char* name;
        std::string doc;
    } rows[] = {
        {"broken after the payload", Report(Base64Object(payload)) + "<oops>"},
        {"unclosed after the payload", "<ds:Signature xmlns:ds=\"u\">" + Base64Object(payload)},
        {"undeclared prefix later", Report(Base64Object(payload) + "<x:y/>")},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        WriteAll(dir_ / "a.Tolv", row.doc);
        WriteAll(dir_ / "a.Tolv.Pdf", earlier);
        EXPECT_THROW(PDFFileFromXADESFile(dir_ / "a.Tolv", dir_ / "a.Tolv.Pdf"), ReportError);
        EXPECT_EQ(ReadAll(dir_ / "a.Tolv.Pdf"), ToBytes(earlier));
        EXPECT_EQ(NamesIn(dir_), (std::vector<std::string>{"a.Tolv", "a.Tolv.Pdf"}));
    }
}

// Reads or writes up to a point, then fails as a bad sector or a full disk does.
class FailingSource : public ByteSource {
public:
    FailingSource(std::unique_ptr<ByteSource> inner, std::uint64_t after, int error)
        : inner_(std::move(inner)), left_(after), error_(error) {}
    int Read(std::uint8_t* data, std::size_t size, std::size_t& got) noexcept override {
        if (left_ == 0)
            return error_;
        const int error =
            inner_->Read(data, std::size_t(std::min<std::uint64_t>(size, left_)), got);
        left_ -= got;
        return error;
    }

private:
    std::unique_ptr<ByteSource> inner_;
    std::uint64_t left_;
    int error_;
};

class FailingSink : public ByteSink {
public:
    FailingSink(std::unique_ptr<ByteSink> inner, std::uint64_t after, int error)
        : inner_(std::move(inner)), left_(after), error_(error) {}
    int Write(const std::uint8_t* data, std::size_t size) noexcept override {
        const std::size_t n = std::size_t(std::min<std::uint64_t>(size, left_));
        left_ -= n;
        const int error = inner_->Write(data, n);
        return error != 0 ? error : n < size ? error_ : 0;
    }

private:
    std::unique_ptr<ByteSink> inner_;
    std::uint64_t left_;
    int error_;
};

// A read or a write that fails part way through a report larger than the
// pieces and blocks in flight: the earlier PDF stays, no scratch file is left,
// and the reason is the system's.
TEST_F(ReportFile, AReadOrWriteFailingMidwayLeavesTheEarlierPdfAndNoScratchFile) {
    const std::uint64_t pdfSize = fs::file_size("large.pdf");
    const struct {
        const char* name;
        std::uint64_t readFailsAt, writeFailsAt;
        int error;
        const char* text;
    } rows[] = {
        {"bad sector", pdfSize * 2 / 3, UINT64_MAX, EIO,
         "Rapor dosyası okunamadı: {} (okuma ya da yazma sırasında donanım hatası)"},
        {"disk full", UINT64_MAX, pdfSize / 2, ENOSPC, "diskte yer kalmadı"},
        {"disk full in the last block", UINT64_MAX, pdfSize - 10, ENOSPC, "diskte yer kalmadı"},
        {"no room at all", UINT64_MAX, 0, ENOSPC, "diskte yer kalmadı"},
    };
    const std::string earlier = "%PDF-1.4 earlier, good run";
    fs::copy_file("large.Tolv", dir_ / "a.Tolv");
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        WriteAll(dir_ / "a.Tolv.Pdf", earlier);
        FileTaps taps;
        taps.input = [&](std::unique_ptr<ByteSource> file) -> std::unique_ptr<ByteSource> {
            return std::make_unique<FailingSource>(std::move(file), row.readFailsAt, row.error);
        };
        taps.output = [&](std::unique_ptr<ByteSink> file) -> std::unique_ptr<ByteSink> {
            return std::make_unique<FailingSink>(std::move(file), row.writeFailsAt, row.error);
        };
        std::string reading, writing;
        try {
            const PdfResult result =
                ExtractPdf(dir_ / "a.Tolv", dir_ / "a.Tolv.Pdf", ReadHooks{}, taps);
            EXPECT_EQ(result.outcome, PdfResult::Outcome::NotWritten);
            writing = result.reason;
        } catch (const ReportError& error) {
            reading = error.what();
        }
        std::string text = row.text;
        if (const auto at = text.find("{}"); at != std::string::npos)
            text.replace(at, 2, PathText(dir_ / "a.Tolv"));
        EXPECT_EQ(row.readFailsAt != UINT64_MAX ? reading : writing, text);
        EXPECT_EQ(ReadAll(dir_ / "a.Tolv.Pdf"), ToBytes(earlier));
        EXPECT_EQ(NamesIn(dir_), (std::vector<std::string>{"a.Tolv", "a.Tolv.Pdf"}));
    }
}

TEST_F(ReportFile, ASuccessfulRunReplacesTheEarlierPdfAndLeavesNoScratchFile) {
    WriteAll(dir_ / "a.Tolv", Report(Base64Object("====") + Base64Object("REVG")));
    WriteAll(dir_ / "a.Tolv.Pdf", std::string(100, 'x'));
    EXPECT_TRUE(PDFFileFromXADESFile(dir_ / "a.Tolv", dir_ / "a.Tolv.Pdf"));
    EXPECT_EQ(ReadAll(dir_ / "a.Tolv.Pdf"), ToBytes("DEF"));
    EXPECT_EQ(NamesIn(dir_), (std::vector<std::string>{"a.Tolv", "a.Tolv.Pdf"}));
}

#ifndef _WIN32
// The replacing file keeps the permissions of the one it replaces: a private
// PDF stays private, a shared one stays shared, even where the umask would
// narrow a new file's (0664 under 022).
TEST_F(ReportFile, AReplacedPdfKeepsItsPermissions) {
    WriteAll(dir_ / "a.Tolv", Report(Base64Object("REVG")));
    const mode_t umaskBefore = SetUmask(022);
    for (const auto mode : {fs::perms::owner_read | fs::perms::owner_write,
                            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                                fs::perms::others_read,
                            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                                fs::perms::group_write | fs::perms::others_read}) {
        WriteAll(dir_ / "a.pdf", "old");
        fs::permissions(dir_ / "a.pdf", mode);
        EXPECT_TRUE(PDFFileFromXADESFile(dir_ / "a.Tolv", dir_ / "a.pdf"));
        EXPECT_EQ(fs::status(dir_ / "a.pdf").permissions(), mode);
        EXPECT_EQ(ReadAll(dir_ / "a.pdf"), ToBytes("DEF"));
    }
    SetUmask(umaskBefore);
}
#endif

// The scratch file lives beside the PDF, never in the temporary folder: a
// rename from there fails wherever that folder is another file system (a
// runtime folder in memory), and here it does not even exist.
TEST_F(ReportFile, ThePdfIsWrittenWhenTheTemporaryFolderIsUnusable) {
    WriteAll(dir_ / "a.Tolv", Report(Base64Object("QUJD")));
    const char* before = std::getenv(kTempVariable);
    const std::optional<std::string> saved =
        before ? std::optional<std::string>(before) : std::nullopt;
    SetTempVariable(PathText(dir_ / "no temporary folder").c_str());
    const bool written = PDFFileFromXADESFile(dir_ / "a.Tolv", dir_ / "a.pdf");
    SetTempVariable(saved ? saved->c_str() : nullptr);
    EXPECT_TRUE(written);
    EXPECT_EQ(ReadAll(dir_ / "a.pdf"), ToBytes("ABC"));
}

TEST(FileErrorText, FailuresOfTheFileFunctionsAreToldInWords) {
    for (const int error : {ENOENT, EACCES, EISDIR, ENOSPC, EROFS, EBUSY, EEXIST, EXDEV})
        EXPECT_THAT(FileErrorText(error), Not(HasSubstr("sistem hata kodu"))) << error;
}

// A PDF that cannot be written is told apart from a report without one, and
// leaves nothing behind either way.
TEST_F(ReportFile, OutcomesTellANotWrittenPdfFromAMissingOne) {
    using Outcome = PdfResult::Outcome;
    WriteAll(dir_ / "a.Tolv", Report(Base64Object("QUJD")));
    WriteAll(dir_ / "none.Tolv", Report("<ds:Object>QUJD</ds:Object>" + Base64Object("==")));
    fs::create_directories(dir_ / "folder.pdf");
    WriteAll(dir_ / "plain", "x");
    const struct {
        const char* name;
        fs::path report, pdf;
        Outcome outcome;
    } rows[] = {
        {"written", dir_ / "a.Tolv", dir_ / "out.pdf", Outcome::Written},
        {"no pdf", dir_ / "none.Tolv", dir_ / "none.pdf", Outcome::NoPdf},
        {"missing folder", dir_ / "a.Tolv", dir_ / "no such" / "a.pdf", Outcome::NotWritten},
        {"parent is a file", dir_ / "a.Tolv", dir_ / "plain" / "a.pdf", Outcome::NotWritten},
        {"target is a folder", dir_ / "a.Tolv", dir_ / "folder.pdf", Outcome::NotWritten},
        {"the report itself", dir_ / "a.Tolv", dir_ / "a.Tolv", Outcome::NotWritten},
        {"empty path", dir_ / "a.Tolv", fs::path(), Outcome::NotWritten},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const PdfResult result = WritePdfFromReport(row.report, row.pdf);
        EXPECT_EQ(result.outcome, row.outcome);
        EXPECT_EQ(result.reason.empty(), row.outcome != Outcome::NotWritten) << result.reason;
    }
    EXPECT_EQ(ReadAll(dir_ / "out.pdf"), ToBytes("ABC"));
    EXPECT_TRUE(fs::is_directory(dir_ / "folder.pdf"));
    EXPECT_EQ(NamesIn(dir_),
              (std::vector<std::string>{"a.Tolv", "folder.pdf", "none.Tolv", "out.pdf", "plain"}));
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
        {kDevice, "düzenli bir dosya değil"},
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
