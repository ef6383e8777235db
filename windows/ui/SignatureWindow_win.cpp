#include "windows/ui/SignatureWindow.h"

#include "windows/base/MessageBox.h"
#include "windows/base/StringConvert.h"
#include "windows/resources/resource.h"

#include <windows.h>
#include <commctrl.h>
#include <wincrypt.h>
#include <wintrust.h> // before cryptuiapi.h, which uses it without including it

#include <cryptuiapi.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

namespace tolv {
namespace {

using validation::SignatureSummary;
using validation::VerdictIcon;

constexpr int kShowCertificateId = 1001;
constexpr int kOpenReportId = 1002;
// Kapat is the cancel button: Esc presses it wherever the dialog's own
// cancellation is missing (Wine's ends only through a button of that id).
constexpr int kCloseId = IDCANCEL;
constexpr wchar_t kHideDetails[] = L"Ayrıntıları gizle";
constexpr char kNoCertificateViewer[] = "Sertifika bu sistemde gösterilemiyor.";

// The program's own verdict icons: the system's shields draw nothing under
// Wine and say "secure" rather than "valid".
HICON IconOf(VerdictIcon icon) {
    int id = IDI_VERDICT_UNVERIFIED;
    switch (icon) {
    case VerdictIcon::Good:
        id = IDI_VERDICT_VALID;
        break;
    case VerdictIcon::Bad:
        id = IDI_VERDICT_INVALID;
        break;
    case VerdictIcon::Altered:
        id = IDI_VERDICT_ALTERED;
        break;
    case VerdictIcon::Caution:
        break;
    }
    // Shared: the system keeps it for the life of the program.
    return static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id),
                                         IMAGE_ICON, GetSystemMetrics(SM_CXICON),
                                         GetSystemMetrics(SM_CYICON), LR_SHARED));
}

std::wstring Lines(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines)
        text += (text.empty() ? "" : "\n") + line;
    return Utf8ToWide(text);
}

// One page of the task dialog: its texts and the configuration that points
// into them, kept together for as long as the dialog may read them.
class Page {
public:
    Page(const SignatureSummary& summary, bool asking, PFTASKDIALOGCALLBACK callback, LONG_PTR data)
        : title_(Utf8ToWide(summary.title)), instruction_(Utf8ToWide(summary.verdictText)),
          details_(Lines(summary.details)), footer_(Utf8ToWide(summary.legalNote)),
          detailsLabel_(Utf8ToWide(validation::kDetailsLabel)),
          showCertificate_(Utf8ToWide(validation::kShowCertificateLabel)),
          openReport_(L"&" + Utf8ToWide(validation::kOpenReportLabel)),
          close_(Utf8ToWide(validation::kCloseLabel)) {
        std::vector<std::string> content;
        if (!summary.reason.empty())
            content.push_back(summary.reason);
        content.insert(content.end(), summary.lines.begin(), summary.lines.end());
        if (asking)
            content.push_back(validation::kAskingOnline);
        content_ = Lines(content);
        buttons_.push_back({kOpenReportId, openReport_.c_str()});
        if (!summary.certificate.empty())
            buttons_.push_back({kShowCertificateId, showCertificate_.c_str()});
        buttons_.push_back({kCloseId, close_.c_str()});

        config_.cbSize = sizeof(config_);
        config_.dwFlags = TDF_ALLOW_DIALOG_CANCELLATION | TDF_SIZE_TO_CONTENT | TDF_USE_HICON_MAIN;
        if (asking)
            config_.dwFlags |= TDF_SHOW_MARQUEE_PROGRESS_BAR | TDF_CALLBACK_TIMER;
        config_.pszWindowTitle = title_.c_str();
        config_.hMainIcon = IconOf(summary.icon);
        config_.pszMainInstruction = instruction_.c_str();
        config_.pszContent = content_.c_str();
        config_.pButtons = buttons_.data();
        config_.cButtons = static_cast<UINT>(buttons_.size());
        config_.nDefaultButton = kCloseId;
        if (!details_.empty()) {
            config_.pszExpandedInformation = details_.c_str();
            config_.pszCollapsedControlText = detailsLabel_.c_str();
            config_.pszExpandedControlText = kHideDetails;
        }
        config_.pszFooter = footer_.c_str();
        config_.pfCallback = callback;
        config_.lpCallbackData = data;
    }
    Page(const Page&) = delete;
    Page& operator=(const Page&) = delete;

    const TASKDIALOGCONFIG& Config() const { return config_; }

private:
    std::wstring title_, instruction_, content_, details_, footer_;
    std::wstring detailsLabel_, showCertificate_, openReport_, close_;
    std::vector<TASKDIALOG_BUTTON> buttons_;
    TASKDIALOGCONFIG config_{};
};

// What the certificate window is shown: the signer's certificate and the
// rest of the path the validation built, in a store of their own so that
// the window finds the issuers the report carried or the institution added.
struct CertificateToShow {
    signature::Bytes der;
    std::vector<signature::Bytes> path;
    std::wstring signer;
};

// The system's certificate window, from cryptui, which is loaded only when
// asked for: file mode never needs it.
void ShowCertificate(HWND owner, const CertificateToShow& shown) {
    using View = BOOL(WINAPI*)(PCCRYPTUI_VIEWCERTIFICATE_STRUCTW, BOOL*);
    static const HMODULE cryptui = LoadLibraryW(L"cryptui.dll");
    const auto view = cryptui == nullptr
                          ? nullptr
                          : reinterpret_cast<View>(reinterpret_cast<void (*)()>(
                                GetProcAddress(cryptui, "CryptUIDlgViewCertificateW")));
    constexpr DWORD kEncoding = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;
    HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_MEMORY, 0, 0, 0, nullptr);
    PCCERT_CONTEXT certificate = nullptr;
    if (store != nullptr) {
        CertAddEncodedCertificateToStore(store, kEncoding, shown.der.data(),
                                         static_cast<DWORD>(shown.der.size()),
                                         CERT_STORE_ADD_USE_EXISTING, &certificate);
        for (const signature::Bytes& issuer : shown.path)
            CertAddEncodedCertificateToStore(store, kEncoding, issuer.data(),
                                             static_cast<DWORD>(issuer.size()),
                                             CERT_STORE_ADD_USE_EXISTING, nullptr);
    }
    if (view == nullptr || certificate == nullptr) {
        ShowMessage(Utf8ToWide(kNoCertificateViewer), kStyleError, nullptr, owner);
    } else {
        CRYPTUI_VIEWCERTIFICATE_STRUCTW how{};
        how.dwSize = sizeof(how);
        how.hwndParent = owner;
        how.dwFlags = CRYPTUI_DISABLE_EDITPROPERTIES | CRYPTUI_DISABLE_ADDTOSTORE;
        how.szTitle = shown.signer.empty() ? nullptr : shown.signer.c_str();
        how.pCertContext = certificate;
        how.cStores = 1;
        how.rghStores = &store;
        BOOL changed = FALSE;
        view(&how, &changed);
    }
    if (certificate != nullptr)
        CertFreeCertificateContext(certificate);
    if (store != nullptr)
        CertCloseStore(store, 0);
}

CertificateToShow ToShow(const SignatureSummary& summary) {
    return {summary.certificate, summary.path, Utf8ToWide(summary.signerName)};
}

struct WindowState {
    const SecondLook* secondLook = nullptr;
    std::function<void()> openReport;
    std::shared_ptr<std::atomic<bool>> lookEnded;
    CertificateToShow certificate;
    std::vector<std::unique_ptr<Page>> pages; // every page shown, alive to the end
};

HRESULT CALLBACK OnNotification(HWND window, UINT notification, WPARAM wParam, LPARAM,
                                LONG_PTR data) noexcept {
    auto& state = *reinterpret_cast<WindowState*>(data);
    try {
        switch (notification) {
        case TDN_CREATED:
            if (state.lookEnded)
                SendMessageW(window, TDM_SET_PROGRESS_BAR_MARQUEE, TRUE, 0);
            break;
        case TDN_TIMER:
            // The worker cannot send to the dialog itself; the timer looks for its end.
            if (state.lookEnded && state.lookEnded->load(std::memory_order_acquire)) {
                state.lookEnded.reset();
                const SignatureSummary summary = state.secondLook->result();
                state.certificate = ToShow(summary);
                state.pages.push_back(std::make_unique<Page>(summary, false, OnNotification, data));
                SendMessageW(window, TDM_NAVIGATE_PAGE, 0,
                             reinterpret_cast<LPARAM>(&state.pages.back()->Config()));
            }
            break;
        case TDN_BUTTON_CLICKED:
            if (wParam == kShowCertificateId) {
                ShowCertificate(window, state.certificate);
                return S_FALSE; // the window stays open
            }
            if (wParam == kOpenReportId && state.openReport)
                state.openReport(); // then the window closes, as the button says
            break;
        default:
            break;
        }
    } catch (...) {
        // Nothing may cross the dialog's own code; the page shown stays.
    }
    return S_OK;
}

} // namespace

void ShowSignatureWindow(const SignatureSummary& summary, const SecondLook* secondLook,
                         std::function<void()> openReport) {
    WindowState state;
    state.openReport = std::move(openReport);
    state.secondLook = secondLook;
    state.certificate = ToShow(summary);
    if (secondLook != nullptr) {
        state.lookEnded = std::make_shared<std::atomic<bool>>(false);
        std::thread([work = secondLook->work, ended = state.lookEnded] {
            try {
                work();
            } catch (...) {
                // The result shows what was known before.
            }
            ended->store(true, std::memory_order_release);
        }).detach();
    }
    state.pages.push_back(std::make_unique<Page>(summary, secondLook != nullptr, OnNotification,
                                                 reinterpret_cast<LONG_PTR>(&state)));
    int pressed = 0;
    if (FAILED(TaskDialogIndirect(&state.pages.front()->Config(), &pressed, nullptr, nullptr)))
        ShowMessage(Utf8ToWide(validation::SummaryText(summary)), kStylePlain);
}

} // namespace tolv
