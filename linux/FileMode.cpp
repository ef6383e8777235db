#include "linux/FileMode.h"

#include "linux/Launch.h"
#include "linux/MessageBox.h"
#include "linux/OutputFile.h"
#include "linux/Settings.h"
#include "linux/Texts.h"
#include "report/ReportReader.h"
#include "signature/Summary.h"
#include "signature/Verifier.h"

#include <glib.h>

namespace tolv::linux_edition {

namespace {

std::filesystem::path ChoosePdfPath(const Settings& settings, const std::string& report) {
    if (!settings.savePDF)
        return CreatePrivatePdf(PrivateFolder(), report);
    std::filesystem::path desktop = g_get_user_special_dir(G_USER_DIRECTORY_DESKTOP);
    // The user asked for the desktop; a fresh account may not have the folder yet.
    g_mkdir_with_parents(desktop.c_str(), 0755);
    return DesktopPdfPath(desktop, report);
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

// Writes the PDF, and with the check on looks at the signature in the same
// read: a broken one asks the user first, and Hayır discards the new PDF.
bool WritePdf(const Settings& settings, const std::string& report, const std::filesystem::path& pdf,
              bool& declined) {
    if (!settings.checkSignature)
        return report::PDFFileFromXADESFile(report, pdf);
    const auto decide = [&declined](const signature::SignatureReport& check) {
        if (check.status != signature::Status::Altered)
            return true;
        declined = !AskYesNo(signature::kAlteredWarning, BoxKind::Warning);
        return !declined;
    };
    const signature::ViewResult result = signature::WritePdfAndCheck(report, pdf, decide);
    return result.pdf.outcome == report::PdfResult::Outcome::Written;
}

} // namespace

int ViewReport(const std::string& report) {
    Settings settings = LoadSettings();
    // Absolute, so that the browser's URL is; the reader gets it as given.
    std::filesystem::path pdf = std::filesystem::absolute(ChoosePdfPath(settings, report));
    bool declined = false;
    if (!WritePdf(settings, report, pdf, declined)) {
        if (!declined)
            ShowMessage(kExtractionFailed, BoxKind::Error);
        return 1;
    }
    if (!ShowPdf(settings, pdf)) {
        ShowMessage(kBrowserFailed, BoxKind::Error);
        return 1;
    }
    return 0;
}

int ShowSignatureInfo(const std::string& report) {
    const signature::SignatureReport check = signature::CheckReport(report);
    BoxKind kind = BoxKind::Question;
    switch (signature::IconOf(check.status)) {
    case signature::SummaryIcon::Information:
        kind = BoxKind::Information;
        break;
    case signature::SummaryIcon::Warning:
        kind = BoxKind::Warning;
        break;
    case signature::SummaryIcon::Question:
        break;
    }
    ShowMessage(signature::SummaryText(check), kind);
    return 0;
}

} // namespace tolv::linux_edition
