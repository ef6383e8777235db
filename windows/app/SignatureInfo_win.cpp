// "İmza bilgisi", the second verb of reports: the report's signature checked
// and validated, in a window of its own; where the report's own data leaves
// the revocation open, it is asked online while the window is shown.

#include "windows/app/Modes.h"

#include "signature/Verifier.h"
#include "validation/OnlineRevocation.h"
#include "validation/SignatureSummary.h"
#include "windows/app/Browser.h"
#include "windows/app/MachineAnchors.h"
#include "windows/base/General_win.h"
#include "windows/base/MessageBox.h"
#include "windows/base/Process_win.h"
#include "windows/base/SettingPaths.h"
#include "windows/ui/SignatureWindow.h"

#include <ctime>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>

namespace tolv {

namespace {

// What the online look needs and what it found, shared with its thread, which
// may outlive the window.
struct LookState {
    signature::SignatureReport report;
    validation::Anchors anchors;
    std::int64_t now = 0;
    validation::ValidationReport offline;
    validation::OnlineLook online;
};

SecondLook AskOnline(const std::shared_ptr<LookState>& look, const std::string& reportName) {
    return {
        [look] { look->online = validation::LookOnline(look->report, look->anchors, look->now); },
        [look, reportName] {
            const auto& online = look->online.validation;
            validation::SignatureSummary summary =
                validation::Summarize(reportName, look->report, online.value_or(look->offline));
            if (!online) {
                // What was known before stands; why the question failed is technical.
                summary.lines.push_back(validation::kAskingFailed);
                summary.details.push_back("Teknik ayrıntı: " + look->online.error);
            }
            return summary;
        }};
}

// "Raporu aç": the report as a double-click shows it, with file mode's
// questions, in a process of its own as the shell's verb starts it.
std::function<void()> OpenReport(const std::wstring& reportPath) {
    return [reportPath] {
        std::wstring module(MAX_PATH, L'\0');
        for (;;) {
            const DWORD length =
                GetModuleFileNameW(nullptr, module.data(), static_cast<DWORD>(module.size()));
            if (length == 0)
                return;
            if (length < module.size()) {
                module.resize(length);
                break;
            }
            module.resize(module.size() * 2);
        }
        if (!StartProcess(L"\"" + module + L"\" \"" + reportPath + L"\"", SW_SHOWNORMAL))
            ShowMessage(L"Rapor açılamadı.", kStyleError);
    };
}

} // namespace

void RunSignatureInfo(const std::wstring& reportPath) {
    auto look = std::make_shared<LookState>();
    try {
        look->report = signature::CheckReport(std::filesystem::path(reportPath));
    } catch (...) {
        LeaveWorkingFolder();
        throw;
    }
    // The window may stay open a while; the report's folder must not stay in use.
    LeaveWorkingFolder();
    look->anchors = MachineAnchors();
    look->now = static_cast<std::int64_t>(std::time(nullptr));
    look->offline = validation::Validate(look->report, look->anchors, look->now);

    const std::string reportName = ReportNameUtf8(reportPath);
    if (!validation::WantsOnlineRevocation(look->offline) ||
        !SwitchIsOn(kOnlineRevocationSettingPath)) {
        ShowSignatureWindow(validation::Summarize(reportName, look->report, look->offline), nullptr,
                            OpenReport(reportPath));
        return;
    }
    const SecondLook online = AskOnline(look, reportName);
    ShowSignatureWindow(validation::Summarize(reportName, look->report, look->offline, true),
                        &online, OpenReport(reportPath));
    // The look's thread may still wait for a responder: it ends with the program.
    ExitProcess(0);
}

} // namespace tolv
