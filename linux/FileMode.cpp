#include "linux/FileMode.h"

#include "linux/GPtr.h"
#include "linux/Launch.h"
#include "linux/MachineAnchors.h"
#include "linux/MessageBox.h"
#include "linux/OutputFile.h"
#include "linux/Settings.h"
#include "linux/Texts.h"
#include "report/File.h"
#include "report/ReportReader.h"
#include "signature/Summary.h"
#include "signature/Verifier.h"
#include "validation/Validation.h"

#include <glib.h>

#include <ctime>
#include <utility>

namespace tolv::linux_edition {

namespace {

// A file this run made and wrote nothing into is removed again: the private
// folder is a small RAM disk shared with the session's sockets.
class MadeFile {
public:
    explicit MadeFile(std::filesystem::path path) : path_(std::move(path)) {}
    ~MadeFile() {
        std::error_code ignored;
        if (!path_.empty())
            std::filesystem::remove(path_, ignored);
    }
    MadeFile(const MadeFile&) = delete;
    MadeFile& operator=(const MadeFile&) = delete;
    void Keep() { path_.clear(); }

private:
    std::filesystem::path path_;
};

// The PDF's path, and whether this run created the file.
std::pair<std::filesystem::path, bool> ChoosePdfPath(const Settings& settings,
                                                     const std::string& report) {
    if (!settings.savePDF)
        return {CreatePrivatePdf(PrivateFolder(), report), true};
    std::filesystem::path desktop = g_get_user_special_dir(G_USER_DIRECTORY_DESKTOP);
    // The user asked for the desktop; a fresh account may not have the folder yet.
    g_mkdir_with_parents(desktop.c_str(), 0700);
    std::filesystem::path pdf = DesktopPdfPath(desktop, report);
    return {pdf, CreateDesktopPdf(pdf)};
}

std::string NotWrittenText(const std::filesystem::path& pdf, const std::string& reason) {
    return std::string(kExtractionFailed) + "\n" + kPdfNotWritten + report::PathText(pdf) + " (" +
           reason + ")";
}

bool ShowPdf(const Settings& settings, const std::filesystem::path& pdf) {
    BrowserChoice choice = settings.browser.value_or(DefaultBrowser());
    if (choice == BrowserChoice::Desktop)
        return OpenWithDesktopApp(pdf);
    std::string program = FindBrowser(choice);
    if (program.empty())
        return false;
    return RunAndWait(BrowserArgv(program, FileUri(pdf), settings.frame));
}

// An intact signature is asked about when its own revocation data shows the
// signer revoked before signing, when its validation concludes invalid, or
// when no trusted anchor vouches for its signer. The chain is built once,
// offline: file mode must stay fast and never goes to the network.
bool MayShowIntact(const Settings& settings, const std::string& report,
                   const signature::SignatureReport& check) {
    const auto question = validation::IntactReportQuestion(
        check, MachineAnchors(), static_cast<std::int64_t>(std::time(nullptr)),
        settings.warnUntrusted);
    return !question || AskYesNo(ReportBoxText(report, question->text),
                                 question->warning ? BoxKind::Warning : BoxKind::Question);
}

// Whether the user wants to see the report, given its signature: a broken one
// asks, an intact one as above, and one that could not be checked unless the
// administrator turned that question off.
bool MayShow(const Settings& settings, const std::string& report,
             const signature::SignatureReport& check) {
    switch (check.status) {
    case signature::Status::Intact:
        return MayShowIntact(settings, report, check);
    case signature::Status::Altered:
        return AskYesNo(ReportBoxText(report, signature::kAlteredWarning), BoxKind::Warning);
    case signature::Status::Unknown:
        break;
    }
    return !settings.warnUnverified ||
           AskYesNo(ReportBoxText(report, signature::UnverifiedQuestion(check)), BoxKind::Question);
}

// Writes the PDF, and with the check on looks at the signature in the same
// read: Hayır to MayShow's question discards the new PDF.
report::PdfResult WritePdf(const Settings& settings, const std::string& report,
                           const std::filesystem::path& pdf) {
    if (!settings.checkSignature)
        return report::WritePdfFromReport(report, pdf);
    const auto decide = [&](const signature::SignatureReport& check) {
        return MayShow(settings, report, check);
    };
    return signature::WritePdfAndCheck(report, pdf, decide).pdf;
}

} // namespace

std::string ReportBoxText(const std::string& report, const std::string& text) {
    UniqueGChar name(g_filename_display_basename(report.c_str()));
    return signature::AboutReport(name.get(), text);
}

int ViewReport(const std::string& report) {
    Settings settings = LoadSettings();
    const auto [path, made] = ChoosePdfPath(settings, report);
    // Absolute, so that the browser's URL is; the reader gets it as given.
    const std::filesystem::path pdf = std::filesystem::absolute(path);
    MadeFile madeFile(made ? pdf : std::filesystem::path());
    const report::PdfResult result = WritePdf(settings, report, pdf);
    if (result.outcome == report::PdfResult::Outcome::Declined)
        return 1; // the user chose not to see the report, given its signature
    if (result.outcome == report::PdfResult::Outcome::NotWritten) {
        ShowMessage(ReportBoxText(report, NotWrittenText(pdf, result.reason)), BoxKind::Error);
        return 1;
    }
    if (result.outcome != report::PdfResult::Outcome::Written) {
        ShowMessage(ReportBoxText(report, kExtractionFailed), BoxKind::Error);
        return 1;
    }
    madeFile.Keep();
    if (!ShowPdf(settings, pdf)) {
        ShowMessage(ReportBoxText(report, kBrowserFailed), BoxKind::Error);
        return 1;
    }
    return 0;
}

} // namespace tolv::linux_edition
