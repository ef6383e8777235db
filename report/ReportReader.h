#pragma once

#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>

#include "report/XmlEvents.h"

namespace tolv::report {

// A report that cannot be read or parsed. what() is a Turkish description for
// the user, in UTF-8.
class ReportError : public std::runtime_error {
    using std::runtime_error::runtime_error;
};

// What became of the PDF of a report that could be read to its end.
struct PdfResult {
    enum class Outcome {
        Written,    // the PDF is complete at its path
        NoPdf,      // no qualifying element decodes to anything
        NotWritten, // one did, but its PDF could not be written
        Declined,   // one did, and the caller chose not to keep it
        Skipped,    // one did, and was read past undecoded as the caller asked
    };
    Outcome outcome = Outcome::NoPdf;
    std::string reason; // for NotWritten: why, in Turkish, UTF-8
};

// Writes the PDF that the signed report `report` carries to `pdf`. The PDF is
// put together in a scratch file beside `pdf` and takes its place only once
// the whole report has been read: whatever fails, a file already at `pdf` is
// left as it was and no scratch file stays behind. Throws ReportError when
// the report cannot be read or is not a well-formed XML document.
PdfResult WritePdfFromReport(const std::filesystem::path& report, const std::filesystem::path& pdf);

// What else may ride on the same read: an observer of the document's events,
// whether to decode the PDF at all, asked as its element begins (false: the
// read learns only that there is one, and ends Skipped), and a last word
// before a complete PDF takes its place (false: Declined).
struct ReadHooks {
    XmlObserver* observer = nullptr;
    std::function<bool()> decodePdf;
    std::function<bool()> beforeCommit;
};
PdfResult WritePdfFromReport(const std::filesystem::path& report, const std::filesystem::path& pdf,
                             const ReadHooks& hooks);

// Reads the report only, for its events; no PDF is written. Throws as above.
void ReadReport(const std::filesystem::path& report, XmlObserver& observer);

// The same, as the viewer asks it: true when the PDF was written at
// LetPDFFile, false when there was none that could be written.
bool PDFFileFromXADESFile(const std::filesystem::path& LetXADESFile,
                          const std::filesystem::path& LetPDFFile);

} // namespace tolv::report
