#include "report/ReportReader.h"

#include "report/Extraction.h"
#include "report/File.h"
#include "report/Io.h"
#include "report/ReportParser.h"

#include <algorithm>
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
    // The room the PDF may take at most is reserved when the file opens: what
    // the rest of the report decodes to, read counting what has been read.
    FilePdfOutput(const std::filesystem::path& pdf, const std::filesystem::path& report,
                  std::uint64_t reportSize, const std::uint64_t& read, const FileTaps& taps,
                  const std::function<bool()>& decode)
        : pdf_(pdf), report_(report), reportSize_(reportSize), read_(read), taps_(taps),
          decode_(decode) {}
    ~FilePdfOutput() override { Discard(); }
    FilePdfOutput(const FilePdfOutput&) = delete;
    FilePdfOutput& operator=(const FilePdfOutput&) = delete;

    void Begin() override { needsBytes_ = !decode_ || decode_(); }
    bool NeedsBytes() const override { return needsBytes_; }
    // The PDF was found and, as asked, not decoded.
    bool Skipped() const { return !needsBytes_; }

    bool Open() override {
        Stop();
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
        std::setvbuf(file_.get(), nullptr, _IONBF, 0); // written past stdio, by descriptor
        // Base64 gives at most three bytes for four characters: those of the
        // report from the piece being parsed on, and the decoder's own buffer
        // of bytes decoded before. Too small a room would bring nothing: the
        // file would be written out at the rename all the same.
        const std::uint64_t rest = reportSize_ - std::min(reportSize_, read_) + kReadSize;
        ReserveRoom(file_.get(), std::min(std::min(rest, reportSize_) / 4 * 3 + kReadSize,
                                          reportSize_ / 4 * 3 + 3));
        sink_ = std::make_unique<FileSink>(file_.get());
        if (taps_.output)
            sink_ = taps_.output(std::move(sink_));
        written_ = 0;
        return true;
    }

    bool Write(const std::uint8_t* data, std::size_t size) override {
        if (!sink_)
            return false;
        if (const int error = sink_->Write(data, size); error != 0)
            return Fail(FileErrorText(error));
        written_ += size;
        return true;
    }

    bool Close() override {
        if (!file_)
            return false;
        sink_.reset();
        // The room reserved beyond the PDF's end goes back.
        int error = SetFileLength(file_.get(), written_);
        errno = 0;
        if (std::fclose(file_.release()) != 0 && error == 0)
            error = errno != 0 ? errno : EIO;
        return error == 0 || Fail(FileErrorText(error));
    }

    // Puts the finished scratch file in the PDF's place.
    bool Commit() {
        Stop();
        errno = 0;
        if (scratch_.empty() || !MoveOver(scratch_, pdf_))
            return Fail(FileErrorText(errno != 0 ? errno : EIO));
        scratch_.clear();
        return true;
    }

    void Discard() noexcept {
        Stop();
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

    void Stop() noexcept {
        sink_.reset();
        file_.reset();
    }

    std::filesystem::path pdf_;
    std::filesystem::path report_;
    std::filesystem::path scratch_;
    std::uint64_t reportSize_;
    const std::uint64_t& read_;
    const FileTaps& taps_;
    const std::function<bool()>& decode_;
    bool needsBytes_ = true;
    UniqueFile file_;
    std::unique_ptr<ByteSink> sink_;
    std::uint64_t written_ = 0;
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
    bool NeedsBytes() const override { return false; }
};

// Sets size to the report's length.
std::unique_ptr<ByteSource> OpenReport(const std::filesystem::path& report, const std::string& name,
                                       const FileTaps& taps, std::uint64_t& size) {
    std::error_code error;
    if (std::filesystem::is_directory(report, error))
        CannotRead(name, FileErrorText(EISDIR));
    int openError = 0;
    std::unique_ptr<ReportInput> file = ReportInput::Open(report, openError);
    if (!file)
        CannotRead(name, FileErrorText(openError));
    size = file->Size();
    std::unique_ptr<ByteSource> input = std::move(file);
    if (taps.input)
        input = taps.input(std::move(input));
    return input;
}

// Feeds the whole report to parser; true when an element's PDF was written.
// read counts the bytes as they come.
bool ReadInto(ByteSource& input, const std::string& name, ReportParser& parser,
              std::uint64_t& read) {
    const std::unique_ptr<std::uint8_t[]> buffer(new std::uint8_t[kReadSize]);
    for (;;) {
        std::size_t n = 0;
        const int readError = ReadPiece(input, buffer.get(), kReadSize, n);
        if (n > 0) {
            read += n;
            parser.Feed(buffer.get(), n);
        }
        if (readError != 0)
            CannotRead(name, FileErrorText(readError));
        if (n < kReadSize)
            break;
    }
    if (read == 0)
        throw ReportError("Rapor dosyası boş: " + name);
    return parser.Finish();
}

} // namespace

PdfResult ExtractPdf(const std::filesystem::path& report, const std::filesystem::path& pdf,
                     const ReadHooks& hooks, const FileTaps& taps) {
    const std::string name = PathText(report);
    std::uint64_t size = 0;
    std::unique_ptr<ByteSource> input = OpenReport(report, name, taps, size);
    std::uint64_t read = 0;
    FilePdfOutput output(pdf, report, size, read, taps, hooks.decodePdf);
    bool found = false;
    {
        ReportParser::Options options;
        options.observer = hooks.observer;
        ReportParser parser(output, name, options);
        found = ReadInto(*input, name, parser, read);
    }
    input.reset();

    PdfResult result;
    if (found && output.Skipped()) {
        result.outcome = PdfResult::Outcome::Skipped;
    } else if (found && hooks.beforeCommit && !hooks.beforeCommit()) {
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

PdfResult WritePdfFromReport(const std::filesystem::path& report,
                             const std::filesystem::path& pdf) {
    return ExtractPdf(report, pdf, ReadHooks{}, FileTaps{});
}

PdfResult WritePdfFromReport(const std::filesystem::path& report, const std::filesystem::path& pdf,
                             const ReadHooks& hooks) {
    return ExtractPdf(report, pdf, hooks, FileTaps{});
}

void ReadReport(const std::filesystem::path& report, XmlObserver& observer) {
    ReadReport(report, observer, FileTaps{});
}

void ReadReport(const std::filesystem::path& report, XmlObserver& observer, const FileTaps& taps) {
    const std::string name = PathText(report);
    std::uint64_t size = 0;
    std::unique_ptr<ByteSource> input = OpenReport(report, name, taps, size);
    NullPdfOutput output;
    ReportParser::Options options;
    options.observer = &observer;
    ReportParser parser(output, name, options);
    std::uint64_t read = 0;
    ReadInto(*input, name, parser, read);
}

bool PDFFileFromXADESFile(const std::filesystem::path& LetXADESFile,
                          const std::filesystem::path& LetPDFFile) {
    return WritePdfFromReport(LetXADESFile, LetPDFFile).outcome == PdfResult::Outcome::Written;
}

} // namespace tolv::report
