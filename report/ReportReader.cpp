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

class FilePdfOutput : public PdfOutput {
public:
    FilePdfOutput(const std::filesystem::path& pdf, const std::filesystem::path& report)
        : pdf_(pdf), report_(report) {}

    bool Open() override {
        file_.reset();
        if (pdf_.empty())
            return false;
        // Written while the report is still being read: writing over the report
        // itself would destroy what is left to read.
        std::error_code error;
        if (std::filesystem::equivalent(pdf_, report_, error))
            return false;
        file_ = OpenFile(pdf_, "wb"); // an existing file is cut to the new length
        if (!file_)
            return false;
        std::setvbuf(file_.get(), nullptr, _IONBF, 0); // the decoder writes large blocks
        return true;
    }

    bool Write(const std::uint8_t* data, std::size_t size) override {
        return file_ && std::fwrite(data, 1, size, file_.get()) == size;
    }

    bool Close() override {
        if (!file_)
            return false;
        return std::fclose(file_.release()) == 0;
    }

private:
    std::filesystem::path pdf_;
    std::filesystem::path report_;
    UniqueFile file_;
};

[[noreturn]] void CannotRead(const std::string& name, const std::string& reason) {
    throw ReportError("Rapor dosyası okunamadı: " + name + " (" + reason + ")");
}

} // namespace

bool PDFFileFromXADESFile(const std::filesystem::path& LetXADESFile,
                          const std::filesystem::path& LetPDFFile) {
    const std::string name = PathText(LetXADESFile);
    std::error_code error;
    if (std::filesystem::is_directory(LetXADESFile, error))
        CannotRead(name, FileErrorText(EISDIR));
    errno = 0;
    UniqueFile input = OpenFile(LetXADESFile, "rb");
    if (!input)
        CannotRead(name, FileErrorText(errno));
    std::setvbuf(input.get(), nullptr, _IONBF, 0);

    FilePdfOutput output(LetPDFFile, LetXADESFile);
    ReportParser parser(output, name);
    const std::unique_ptr<std::uint8_t[]> buffer(new std::uint8_t[kReadSize]);
    std::uint64_t total = 0;
    for (;;) {
        errno = 0;
        const std::size_t n = std::fread(buffer.get(), 1, kReadSize, input.get());
        if (n > 0) {
            total += n;
            parser.Feed(buffer.get(), n);
        }
        if (n < kReadSize) {
            if (std::ferror(input.get()))
                CannotRead(name, FileErrorText(errno));
            break;
        }
    }
    if (total == 0)
        throw ReportError("Rapor dosyası boş: " + name);
    return parser.Finish();
}

} // namespace tolv::report
