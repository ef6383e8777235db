#include "report/ReportReader.h"

#include "report/File.h"
#include "report/ReportParser.h"

#include <cerrno>
#include <memory>

namespace tolv::report {
namespace {

// The report is read in pieces of this size whatever its length, and the PDF
// written as it is decoded, so memory use stays flat.
constexpr std::size_t kReadSize = 1024 * 1024;

// Decoded bytes go to a scratch file beside the PDF, which replaces the PDF
// only when the caller commits it after the whole report has been read: a
// report that turns out broken after its payload never destroys an earlier PDF.
class FilePdfOutput : public PdfOutput {
public:
    FilePdfOutput(const std::filesystem::path& pdf, const std::filesystem::path& report)
        : pdf_(pdf), report_(report) {}
    ~FilePdfOutput() override { Discard(); }
    FilePdfOutput(const FilePdfOutput&) = delete;
    FilePdfOutput& operator=(const FilePdfOutput&) = delete;

    bool Open() override {
        file_.reset();
        if (pdf_.empty())
            return Fail(FileErrorText(EINVAL));
        // Moving the PDF over the report would destroy the report.
        std::error_code error;
        if (std::filesystem::equivalent(pdf_, report_, error))
            return Fail("PDF raporun kendi yerine yazılamaz");
        errno = 0;
        // A later element starts afresh in the same scratch file.
        file_ = scratch_.empty() ? CreateScratchFile(pdf_, scratch_) : OpenFile(scratch_, "wb");
        if (!file_)
            return Fail(FileErrorText(errno));
        std::setvbuf(file_.get(), nullptr, _IONBF, 0); // the decoder writes large blocks
        return true;
    }

    bool Write(const std::uint8_t* data, std::size_t size) override {
        if (!file_)
            return false;
        errno = 0;
        if (std::fwrite(data, 1, size, file_.get()) == size)
            return true;
        return Fail(FileErrorText(errno != 0 ? errno : EIO));
    }

    bool Close() override {
        if (!file_)
            return false;
        errno = 0;
        if (std::fclose(file_.release()) == 0)
            return true;
        return Fail(FileErrorText(errno != 0 ? errno : EIO));
    }

    // Puts the finished scratch file in the PDF's place.
    bool Commit() {
        file_.reset();
        errno = 0;
        if (scratch_.empty() || !MoveOver(scratch_, pdf_))
            return Fail(FileErrorText(errno != 0 ? errno : EIO));
        scratch_.clear();
        return true;
    }

    void Discard() noexcept {
        file_.reset();
        if (scratch_.empty())
            return;
        std::error_code ignored;
        std::filesystem::remove(scratch_, ignored);
        scratch_.clear();
    }

    const std::string& FailureReason() const { return failure_; }

private:
    bool Fail(std::string reason) {
        failure_ = std::move(reason);
        return false;
    }

    std::filesystem::path pdf_;
    std::filesystem::path report_;
    std::filesystem::path scratch_;
    UniqueFile file_;
    std::string failure_;
};

[[noreturn]] void CannotRead(const std::string& name, const std::string& reason) {
    throw ReportError("Rapor dosyası okunamadı: " + name + " (" + reason + ")");
}


// A PDF that goes nowhere: the observer's read still learns which element the
// reader would take.
class NullPdfOutput : public PdfOutput {
public:
    bool Open() override { return true; }
    bool Write(const std::uint8_t*, std::size_t) override { return true; }
    bool Close() override { return true; }
};

UniqueFile OpenReport(const std::filesystem::path& report, const std::string& name) {
    std::error_code error;
    if (std::filesystem::is_directory(report, error))
        CannotRead(name, FileErrorText(EISDIR));
    errno = 0;
    UniqueFile input = OpenFile(report, "rb");
    if (!input)
        CannotRead(name, FileErrorText(errno));
    std::setvbuf(input.get(), nullptr, _IONBF, 0);
    return input;
}

// Feeds the whole report to parser; true when an element's PDF was written.
bool ReadInto(std::FILE* input, const std::string& name, ReportParser& parser) {
    const std::unique_ptr<std::uint8_t[]> buffer(new std::uint8_t[kReadSize]);
    std::uint64_t total = 0;
    for (;;) {
        errno = 0;
        const std::size_t n = std::fread(buffer.get(), 1, kReadSize, input);
        if (n > 0) {
            total += n;
            parser.Feed(buffer.get(), n);
        }
        if (n < kReadSize) {
            if (std::ferror(input))
                CannotRead(name, FileErrorText(errno));
            break;
        }
    }
    if (total == 0)
        throw ReportError("Rapor dosyası boş: " + name);
    return parser.Finish();
}

} // namespace

PdfResult WritePdfFromReport(const std::filesystem::path& report,
                             const std::filesystem::path& pdf) {
    return WritePdfFromReport(report, pdf, ReadHooks{});
}

PdfResult WritePdfFromReport(const std::filesystem::path& report, const std::filesystem::path& pdf,
                             const ReadHooks& hooks) {
    const std::string name = PathText(report);
    UniqueFile input = OpenReport(report, name);
    FilePdfOutput output(pdf, report);
    bool found = false;
    {
        ReportParser::Options options;
        options.observer = hooks.observer;
        ReportParser parser(output, name, options);
        found = ReadInto(input.get(), name, parser);
    }
    input.reset();

    PdfResult result;
    if (found && hooks.beforeCommit && !hooks.beforeCommit()) {
        output.Discard();
        result.outcome = PdfResult::Outcome::Declined;
    } else if (found && output.Commit()) {
        result.outcome = PdfResult::Outcome::Written;
    } else if (!output.FailureReason().empty()) {
        result.outcome = PdfResult::Outcome::NotWritten;
        result.reason = output.FailureReason();
    }
    return result;
}

void ReadReport(const std::filesystem::path& report, XmlObserver& observer) {
    const std::string name = PathText(report);
    UniqueFile input = OpenReport(report, name);
    NullPdfOutput output;
    ReportParser::Options options;
    options.observer = &observer;
    ReportParser parser(output, name, options);
    ReadInto(input.get(), name, parser);
}

bool PDFFileFromXADESFile(const std::filesystem::path& LetXADESFile,
                          const std::filesystem::path& LetPDFFile) {
    return WritePdfFromReport(LetXADESFile, LetPDFFile).outcome == PdfResult::Outcome::Written;
}

} // namespace tolv::report
