#include "windows/app/Browser.h"

#include "core/BrowserCommand.h"
#include "core/General.h"
#include "windows/base/General_win.h"
#include "windows/base/Handles.h"
#include "windows/base/MessageBox.h"
#include "core/Preferences.h"
#include "windows/base/SettingPaths.h"
#include "windows/base/ShellRegistry.h"
#include "windows/base/StringConvert.h"
#include "report/ReportReader.h"
#include "signature/Summary.h"
#include "signature/Verifier.h"
#include "validation/Validation.h"
#include "windows/app/MachineAnchors.h"

#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>

#include <ctime>
#include <filesystem>

namespace tolv {

namespace {

constexpr char kExtractionFailed[] = "Tolv imza dosyasının PDF ayrıştırması başarısız.";
constexpr char kBrowserFailed[] = "Tarayıcı entegrasyonu başarısız.";
constexpr wchar_t kAppPaths[] = L"\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";

// Where a browser registers its executable. Machine-wide first, in the 64-bit
// and then the 32-bit view, so that what an administrator installed wins; then
// the current user's, where a browser installed without administrator rights
// (Chrome's per-user installer) puts it and Windows' own program lookup finds it.
struct AppPathsPlace {
    const wchar_t* root;
    RegistryView view;
};
constexpr AppPathsPlace kAppPathsPlaces[] = {
    {L"HKEY_LOCAL_MACHINE", RegistryView::Native},
    {L"HKEY_LOCAL_MACHINE", RegistryView::Wow64_32},
    {L"HKEY_CURRENT_USER", RegistryView::Native},
};

// Some installers store the path in quotes; the command line adds its own.
std::wstring WithoutEnclosingQuotes(const std::wstring& path) {
    if (path.size() >= 2 && path.front() == L'"' && path.back() == L'"')
        return path.substr(1, path.size() - 2);
    return path;
}

// The user's desktop as the shell reports it; empty when it has none.
std::wstring DesktopPath() {
    UniqueCoTaskString path;
    if (FAILED(SHGetKnownFolderPath(FOLDERID_Desktop, 0, nullptr, path.put())) || !path)
        return {};
    return path.get();
}

[[noreturn]] void EndProgram() {
    ExitProcess(0);
}

} // namespace

std::string ReportNameUtf8(const std::wstring& reportPath) {
    std::wstring folder;
    return WideToUtf8(SplitPath(reportPath, folder));
}

void Browser::Show(const std::wstring& LetFileName) {
    ReportName = ReportNameUtf8(LetFileName);
    ReadPreferences();

    if (SavePDFOnDesktop) {
        std::wstring reportFolder;
        PDFFile = DesktopFolder + SplitPath(LetFileName, reportFolder) + L".Pdf";
    } else {
        // The file is created here, before the report is read, and stays.
        std::wstring tempFolder;
        PDFFile = MakeTempFile(tempFolder, L"TOL", false);
    }

    const bool written = PDFFileFromXADESFile(LetFileName, PDFFile);
    // From here on the program only waits. Neither it nor the browser may keep
    // the report's folder in use (the stick it came from must come out): the
    // browser works in the PDF's folder, the program in the system's.
    const std::wstring pdfFolder = FolderOfFile(PDFFile);
    LeaveWorkingFolder();
    if (!written) {
        if (!Declined)
            ShowAboutReport(kExtractionFailed, kStyleError);
        EndProgram();
    }

    std::wstring executable = GetExecutablePath(UseEdge ? L"msedge" : L"chrome");
    std::wstring arguments = CMDParameters(kFrameWidth, kFrameHeight, kFramePosX, kFramePosY);
    std::wstring commandLine = L"\"" + executable + L"\"" + arguments;

    int32_t exitCode = 0;
    if (!ShellAndWait(commandLine, exitCode, SW_SHOWNORMAL, pdfFolder))
        ShowAboutReport(kBrowserFailed, kStyleError);
    EndProgram();
}

std::wstring Browser::CMDParameters(const int32_t& LetWidth, const int32_t& LetHeight,
                                    const int32_t& LetPosX, const int32_t& LetPosY) const {
    return BrowserArguments(SeparateFrame, PDFFile, LetWidth, LetHeight, LetPosX, LetPosY);
}

bool Browser::PDFFileFromXADESFile(const std::wstring& LetXADESFile,
                                   const std::wstring& LetPDFFile) {
    bool written = CheckSignature
                       ? WriteCheckedPdf(LetXADESFile, LetPDFFile)
                       : report::PDFFileFromXADESFile(std::filesystem::path(LetXADESFile),
                                                      std::filesystem::path(LetPDFFile));
    // One pass over whatever user-interface events are pending.
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return written;
}

bool Browser::WriteCheckedPdf(const std::wstring& report, const std::wstring& pdf) {
    const signature::ViewResult result = signature::WritePdfAndCheck(
        std::filesystem::path(report), std::filesystem::path(pdf),
        [this](const signature::SignatureReport& check) { return MayShow(check); });
    return result.pdf.outcome == report::PdfResult::Outcome::Written;
}

bool Browser::MayShow(const signature::SignatureReport& check) {
    std::string question;
    unsigned icon = kStyleQuestion;
    switch (check.status) {
    case signature::Status::Intact: {
        // The chain is built once, offline, with the machine's anchors.
        const auto asked = validation::IntactReportQuestion(
            check, MachineAnchors(), static_cast<std::int64_t>(std::time(nullptr)), WarnUntrusted);
        if (!asked)
            return true;
        question = asked->text;
        icon = asked->warning ? kStyleWarning : kStyleQuestion;
        break;
    }
    case signature::Status::Altered:
        question = signature::kAlteredWarning;
        icon = kStyleWarning;
        break;
    case signature::Status::Unknown:
        // A forger who cannot keep the signature intact can still make it
        // uncheckable (or drop it), so such a report is asked about too.
        if (!WarnUnverified)
            return true;
        question = signature::UnverifiedQuestion(check);
        break;
    }
    Declined = ShowAboutReport(question, icon | kStyleYesNo) != IDYES;
    return !Declined;
}

int Browser::ShowAboutReport(const std::string& text, unsigned style) const {
    return ShowMessage(BoxText(signature::AboutReport(ReportName, text)), style);
}

std::wstring Browser::GetExecutablePath(const std::wstring& shortName) const {
    const std::wstring key = kAppPaths + shortName + L".exe\\";
    for (const AppPathsPlace& place : kAppPathsPlaces) {
        // A REG_EXPAND_SZ path ("%ProgramFiles%\Google\...") is expanded, as the shell does.
        if (std::optional<std::wstring> executable = RegReadExpanded(place.root + key, place.view))
            return WithoutEnclosingQuotes(*executable);
    }
    return {};
}

void Browser::ReadPreferences() {
    std::wstring desktop = DesktopPath();
    DesktopFolder = AddBackslash(desktop, false);
    CheckSignature = SwitchIsOn(kCheckSignatureSettingPath);
    WarnUnverified = SwitchIsOn(kWarnUnverifiedSettingPath);
    WarnUntrusted = SwitchIsOn(kWarnUntrustedSettingPath);
    // A setting that cannot be read ends the reading: it and the ones after it
    // stay off. Earlier 32-bit versions stored them in the 32-bit view.
    std::optional<std::wstring> value = RegRead(kBrowserSettingPath, RegistryView::Wow64_32);
    if (!value)
        return;
    UseEdge = SettingIsOn(*value);
    value = RegRead(kSavePDFSettingPath, RegistryView::Wow64_32);
    if (!value)
        return;
    SavePDFOnDesktop = SettingIsOn(*value);
    value = RegRead(kFrameSettingPath, RegistryView::Wow64_32);
    if (!value)
        return;
    SeparateFrame = SettingIsOn(*value);
}

} // namespace tolv
