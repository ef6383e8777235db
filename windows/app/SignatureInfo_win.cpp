// "İmza bilgisi", the second verb of reports: what the check of the report's
// signature found, in one box.

#include "windows/app/Modes.h"

#include "signature/Summary.h"
#include "signature/Verifier.h"
#include "windows/base/General_win.h"
#include "windows/base/MessageBox.h"

#include <filesystem>

namespace tolv {

namespace {

unsigned IconStyle(signature::SummaryIcon icon) {
    switch (icon) {
    case signature::SummaryIcon::Information:
        return kStyleInformation;
    case signature::SummaryIcon::Warning:
        return kStyleWarning;
    case signature::SummaryIcon::Question:
        break;
    }
    return kStyleQuestion;
}

} // namespace

void RunSignatureInfo(const std::wstring& reportPath) {
    signature::SignatureReport check;
    try {
        check = signature::CheckReport(std::filesystem::path(reportPath));
    } catch (...) {
        LeaveWorkingFolder();
        throw;
    }
    // The box may stay open a while; the report's folder must not stay in use.
    LeaveWorkingFolder();
    ShowMessage(BoxText(signature::SummaryText(check)), IconStyle(signature::IconOf(check.status)));
}

} // namespace tolv
