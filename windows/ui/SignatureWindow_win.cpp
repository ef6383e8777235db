#include "windows/ui/SignatureWindow.h"

#include "windows/base/MessageBox.h"
#include "windows/base/StringConvert.h"
#include "windows/resources/resource.h"
#include "windows/ui/DialogSupport.h"

#include <windows.h>
#include <commctrl.h>
#include <wincrypt.h>
#include <wintrust.h> // before cryptuiapi.h, which uses it without including it

#include <cryptuiapi.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

namespace tolv {
namespace {

using ui::UniqueFont;
using ui::UniqueIcon;
using validation::SignatureSummary;
using validation::VerdictIcon;

// The ids are what another program (a screen reader, a test) finds the
// parts of the window by.
enum ControlId : int {
    kIconId = 100,
    kHeadingId,
    kContentId,
    kProgressId,
    kDetailsToggleId,
    kDetailsId,
    kFooterId,
    kShowCertificateId = 1001,
    kOpenReportId = 1002,
    // Kapat is the cancel button: Esc and the close box press it.
    kCloseId = IDCANCEL,
};

// Posted by the second look's thread once its work has ended.
constexpr UINT kLookEnded = WM_APP + 1;
constexpr DWORD kWindowStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
constexpr wchar_t kHideDetails[] = L"Ayrıntıları &gizle";
constexpr char kNoCertificateViewer[] = "Sertifika bu sistemde gösterilemiyor.";

// Sizes in pixels at 96 DPI.
constexpr int kMargin = 12;
constexpr int kGap = 6;
constexpr int kIconSize = 48;
constexpr int kTextWidth = 420;
constexpr int kButtonHeight = 23;
constexpr int kButtonMinWidth = 75;
constexpr int kProgressHeight = 15;
constexpr int kDetailsMaxHeight = 260;

// The program's own verdict icons: the system's shields draw nothing under
// Wine and say "secure" rather than "valid".
int IconResource(VerdictIcon icon) {
    switch (icon) {
    case VerdictIcon::Good:
        return IDI_VERDICT_VALID;
    case VerdictIcon::Bad:
        return IDI_VERDICT_INVALID;
    case VerdictIcon::Altered:
        return IDI_VERDICT_ALTERED;
    case VerdictIcon::Caution:
        break;
    }
    return IDI_VERDICT_UNVERIFIED;
}

std::wstring Lines(const std::vector<std::string>& lines, const char* separator) {
    std::string text;
    for (const std::string& line : lines)
        text += (text.empty() ? "" : separator) + line;
    return Utf8ToWide(text);
}

// Whether the control is to be shown: it counts before the window is.
bool Shown(HWND control) {
    return (GetWindowLongPtrW(control, GWL_STYLE) & WS_VISIBLE) != 0;
}

bool HighContrast() {
    HIGHCONTRASTW contrast{};
    contrast.cbSize = sizeof(contrast);
    return SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof(contrast), &contrast, 0) &&
           (contrast.dwFlags & HCF_HIGHCONTRASTON) != 0;
}

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

// The window a second look's thread tells of its end, as long as there is
// one: the thread may outlive it.
struct LookHandOver {
    std::mutex lock;
    HWND window = nullptr;
};

class SignatureDialog {
public:
    SignatureDialog(const SignatureSummary& summary, const SecondLook* secondLook)
        : summary_(summary), secondLook_(secondLook), asking_(secondLook != nullptr) {}
    SignatureDialog(const SignatureDialog&) = delete;
    SignatureDialog& operator=(const SignatureDialog&) = delete;

    // The button that closed the window, or -1 when it could not be shown.
    INT_PTR Run();

private:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    void CreateControls();
    void StartSecondLook();
    void ApplyDpi(UINT dpi);
    void LoadVerdictIcon();
    void Fill();
    void Layout(const RECT* suggested);
    int TextHeight(HWND control, HFONT font, int width) const;
    int DetailsHeight(int width) const;
    int ButtonWidth(HWND button) const;
    void Command(int id);
    void DrawVerdictIcon(const DRAWITEMSTRUCT& item) const;
    int Px(int at96Dpi) const { return MulDiv(at96Dpi, static_cast<int>(dpi_), 96); }

    SignatureSummary summary_;
    const SecondLook* secondLook_;
    std::shared_ptr<LookHandOver> handOver_ = std::make_shared<LookHandOver>();
    bool asking_;
    bool expanded_ = false;

    HWND hwnd_ = nullptr;
    UINT dpi_ = 96;
    HWND icon_ = nullptr;
    HWND heading_ = nullptr;
    HWND content_ = nullptr;
    HWND progress_ = nullptr;
    HWND detailsToggle_ = nullptr;
    HWND details_ = nullptr;
    HWND footer_ = nullptr;
    HWND openReport_ = nullptr;
    HWND showCertificate_ = nullptr;
    HWND close_ = nullptr;
    UniqueFont font_;
    UniqueFont headingFont_;
    UniqueIcon verdictIcon_;
    UniqueIcon bigIcon_;
    UniqueIcon smallIcon_;
};

INT_PTR SignatureDialog::Run() {
    const std::wstring title = Utf8ToWide(summary_.title);
    const std::vector<WORD> dialogTemplate =
        ui::EmptyDialogTemplate(kWindowStyle, 0, title.c_str());
    return DialogBoxIndirectParamW(GetModuleHandleW(nullptr),
                                   reinterpret_cast<const DLGTEMPLATE*>(dialogTemplate.data()),
                                   nullptr, DialogProc, reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK SignatureDialog::DialogProc(HWND hwnd, UINT message, WPARAM wParam,
                                             LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, lParam);
        reinterpret_cast<SignatureDialog*>(lParam)->hwnd_ = hwnd;
    }
    auto* self = reinterpret_cast<SignatureDialog*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self == nullptr)
        return FALSE;
    // Nothing thrown may unwind through the system's frames. A window that
    // could not be built gives way to a box; otherwise what is shown stays.
    try {
        return self->HandleMessage(message, wParam, lParam);
    } catch (...) {
        if (message == WM_INITDIALOG)
            EndDialog(hwnd, 0);
        return FALSE;
    }
}

INT_PTR SignatureDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        ui::TakeOverDpiScaling(hwnd_);
        CreateControls();
        ApplyDpi(ui::WindowDpi(hwnd_));
        Fill();
        Layout(nullptr);
        ui::CentreOnScreen(hwnd_);
        StartSecondLook();
        // Enter closes, as in every box of the program: the focus starts there.
        SendMessageW(hwnd_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(close_), TRUE);
        return FALSE;
    case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED)
            Command(LOWORD(wParam));
        return TRUE;
    case kLookEnded:
        if (asking_) {
            asking_ = false;
            try {
                // The worker let go of this lock after its last write.
                std::lock_guard<std::mutex> hold(handOver_->lock);
                summary_ = secondLook_->result();
            } catch (...) {
                // What was known before stays, without the question.
            }
            Fill();
            Layout(nullptr);
        }
        return TRUE;
    case WM_CTLCOLORSTATIC:
        // The heading in its verdict's colour, unless the user chose colours
        // of their own.
        if (reinterpret_cast<HWND>(lParam) == heading_ && !HighContrast()) {
            const std::uint32_t colour = validation::LookOf(summary_.icon).colour;
            const auto dc = reinterpret_cast<HDC>(wParam);
            SetTextColor(dc, RGB(colour >> 16, (colour >> 8) & 0xFF, colour & 0xFF));
            SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
            return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_BTNFACE));
        }
        return FALSE;
    case WM_DRAWITEM:
        if (wParam != kIconId)
            return FALSE;
        DrawVerdictIcon(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        return TRUE;
    case WM_DPICHANGED:
        ApplyDpi(LOWORD(wParam));
        Layout(reinterpret_cast<const RECT*>(lParam));
        SetWindowLongPtrW(hwnd_, DWLP_MSGRESULT, 0);
        return TRUE;
    case WM_DESTROY: {
        std::lock_guard<std::mutex> hold(handOver_->lock);
        handOver_->window = nullptr;
        return FALSE;
    }
    default:
        return FALSE;
    }
}

void SignatureDialog::CreateControls() {
    INITCOMMONCONTROLSEX classes{sizeof(classes), ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&classes);
    const auto make = [this](const wchar_t* className, DWORD style, int id, DWORD exStyle = 0) {
        HWND control = CreateWindowExW(exStyle, className, L"", WS_CHILD | style, 0, 0, 0, 0, hwnd_,
                                       reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                       GetModuleHandleW(nullptr), nullptr);
        if (control == nullptr)
            throw std::runtime_error("İmza bilgisi penceresi oluşturulamadı.");
        ui::KeepOwnFontAndPlace(control);
        return control;
    };
    // Owner-drawn, so that its text, the verdict in words, is its accessible name.
    icon_ = make(L"Static", WS_VISIBLE | SS_OWNERDRAW, kIconId);
    heading_ = make(L"Static", WS_VISIBLE | SS_LEFT | SS_NOPREFIX, kHeadingId);
    content_ = make(L"Static", WS_VISIBLE | SS_LEFT | SS_NOPREFIX, kContentId);
    progress_ = make(PROGRESS_CLASSW, PBS_MARQUEE, kProgressId);
    // Created in tab order. The details are an edit field so that the
    // fingerprint and the codes can be selected and copied.
    detailsToggle_ = make(L"Button", BS_PUSHBUTTON | WS_TABSTOP | WS_GROUP, kDetailsToggleId);
    details_ = make(L"Edit", ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | WS_VSCROLL | WS_TABSTOP,
                    kDetailsId, WS_EX_CLIENTEDGE);
    footer_ = make(L"Static", WS_VISIBLE | SS_LEFT | SS_NOPREFIX | WS_GROUP, kFooterId);
    openReport_ =
        make(L"Button", WS_VISIBLE | BS_PUSHBUTTON | WS_TABSTOP | WS_GROUP, kOpenReportId);
    showCertificate_ = make(L"Button", BS_PUSHBUTTON | WS_TABSTOP, kShowCertificateId);
    close_ = make(L"Button", WS_VISIBLE | BS_DEFPUSHBUTTON | WS_TABSTOP, kCloseId);
    SetWindowTextW(openReport_, (L"&" + Utf8ToWide(validation::kOpenReportLabel)).c_str());
    SetWindowTextW(showCertificate_,
                   (L"&" + Utf8ToWide(validation::kShowCertificateLabel)).c_str());
    SetWindowTextW(close_, (L"&" + Utf8ToWide(validation::kCloseLabel)).c_str());
    SendMessageW(hwnd_, DM_SETDEFID, kCloseId, 0);
}

void SignatureDialog::StartSecondLook() {
    if (secondLook_ == nullptr)
        return;
    handOver_->window = hwnd_;
    std::thread([work = secondLook_->work, handOver = handOver_] {
        try {
            work();
        } catch (...) {
            // The result shows what was known before.
        }
        std::lock_guard<std::mutex> hold(handOver->lock);
        if (handOver->window != nullptr)
            PostMessageW(handOver->window, kLookEnded, 0, 0);
    }).detach();
}

void SignatureDialog::ApplyDpi(UINT dpi) {
    dpi_ = dpi;
    LOGFONTW look = ui::MessageFont(dpi);
    UniqueFont font(CreateFontIndirectW(&look));
    look.lfHeight = MulDiv(look.lfHeight, 6, 5);
    look.lfWeight = FW_BOLD;
    UniqueFont headingFont(CreateFontIndirectW(&look));
    for (HWND control : {content_, progress_, detailsToggle_, details_, footer_, openReport_,
                         showCertificate_, close_})
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), TRUE);
    SendMessageW(heading_, WM_SETFONT, reinterpret_cast<WPARAM>(headingFont.get()), TRUE);
    // The controls hold the new fonts now; the old ones may go.
    font_ = std::move(font);
    headingFont_ = std::move(headingFont);

    HINSTANCE instance = GetModuleHandleW(nullptr);
    const auto load = [instance](int id, int size) {
        return UniqueIcon(static_cast<HICON>(
            LoadImageW(instance, MAKEINTRESOURCEW(id), IMAGE_ICON, size, size, LR_DEFAULTCOLOR)));
    };
    UniqueIcon bigIcon = load(IDI_APP, ui::MetricForDpi(SM_CXICON, 32, dpi));
    UniqueIcon smallIcon = load(IDI_APP, ui::MetricForDpi(SM_CXSMICON, 16, dpi));
    SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon.get()));
    SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon.get()));
    bigIcon_ = std::move(bigIcon);
    smallIcon_ = std::move(smallIcon);
    LoadVerdictIcon();
}

void SignatureDialog::LoadVerdictIcon() {
    const int size = Px(kIconSize);
    verdictIcon_.reset(static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr),
                                                     MAKEINTRESOURCEW(IconResource(summary_.icon)),
                                                     IMAGE_ICON, size, size, LR_DEFAULTCOLOR)));
    InvalidateRect(icon_, nullptr, TRUE);
}

// Puts the summary into the controls; Layout then gives them their places.
void SignatureDialog::Fill() {
    SetWindowTextW(hwnd_, Utf8ToWide(summary_.title).c_str());
    LoadVerdictIcon();
    SetWindowTextW(icon_, Utf8ToWide(validation::LookOf(summary_.icon).meaning).c_str());
    SetWindowTextW(heading_, Utf8ToWide(summary_.verdictText).c_str());
    std::vector<std::string> content;
    if (!summary_.reason.empty()) {
        content.push_back(summary_.reason);
        if (!summary_.lines.empty())
            content.emplace_back(); // the next step stands apart from the facts
    }
    content.insert(content.end(), summary_.lines.begin(), summary_.lines.end());
    if (asking_)
        content.push_back(validation::kAskingOnline);
    SetWindowTextW(content_, Lines(content, "\n").c_str());
    SetWindowTextW(details_, Lines(summary_.details, "\r\n").c_str());
    SetWindowTextW(detailsToggle_, expanded_
                                       ? kHideDetails
                                       : (L"&" + Utf8ToWide(validation::kDetailsLabel)).c_str());
    SetWindowTextW(footer_, Utf8ToWide(summary_.legalNote).c_str());

    ShowWindow(progress_, asking_ ? SW_SHOWNA : SW_HIDE);
    SendMessageW(progress_, PBM_SETMARQUEE, asking_, 30);
    ShowWindow(detailsToggle_, summary_.details.empty() ? SW_HIDE : SW_SHOWNA);
    ShowWindow(details_, expanded_ && !summary_.details.empty() ? SW_SHOWNA : SW_HIDE);
    // A made-up certificate cannot be shown: the button is not offered.
    ShowWindow(showCertificate_, summary_.certificate.empty() ? SW_HIDE : SW_SHOWNA);
    if (HWND focus = GetFocus(); focus != nullptr && IsChild(hwnd_, focus) && !Shown(focus))
        SendMessageW(hwnd_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(close_), TRUE);
}

int SignatureDialog::TextHeight(HWND control, HFONT font, int width) const {
    const int length = GetWindowTextLengthW(control);
    if (length == 0)
        return 0;
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(control, text.data(), length + 1)));
    HDC dc = GetDC(hwnd_);
    const HGDIOBJ old = SelectObject(dc, font);
    RECT rect{0, 0, width, 0};
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &rect,
              DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS | DT_NOPREFIX);
    SelectObject(dc, old);
    ReleaseDC(hwnd_, dc);
    return rect.bottom - rect.top;
}

// The edit field's own wrapping decides its lines: it is given its width
// first and asked how many it made; its frame comes on top.
int SignatureDialog::DetailsHeight(int width) const {
    SetWindowPos(details_, nullptr, 0, 0, width, Px(kDetailsMaxHeight),
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    RECT outer{}, inner{};
    GetWindowRect(details_, &outer);
    GetClientRect(details_, &inner);
    const int frame = (outer.bottom - outer.top) - (inner.bottom - inner.top);
    const auto lines = static_cast<int>(SendMessageW(details_, EM_GETLINECOUNT, 0, 0));
    HDC dc = GetDC(hwnd_);
    const HGDIOBJ old = SelectObject(dc, font_.get());
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, old);
    ReleaseDC(hwnd_, dc);
    return lines * metrics.tmHeight + frame + Px(2);
}

int SignatureDialog::ButtonWidth(HWND button) const {
    wchar_t text[64] = {};
    const int length = GetWindowTextW(button, text, 64);
    HDC dc = GetDC(hwnd_);
    const HGDIOBJ old = SelectObject(dc, font_.get());
    RECT rect{};
    DrawTextW(dc, text, length, &rect, DT_CALCRECT | DT_SINGLELINE);
    SelectObject(dc, old);
    ReleaseDC(hwnd_, dc);
    return std::max(Px(kButtonMinWidth), static_cast<int>(rect.right - rect.left) + Px(24));
}

// Top to bottom: the icon beside the heading, the content and the progress;
// the details' button and the details; the legal note; the buttons in a row
// on the right. The window takes the height its texts need.
void SignatureDialog::Layout(const RECT* suggested) {
    const auto place = [](HWND control, int x, int y, int width, int height) {
        SetWindowPos(control, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    };
    const int left = Px(kMargin + kIconSize + kMargin);
    const int width = Px(kTextWidth);
    place(icon_, Px(kMargin), Px(kMargin), Px(kIconSize), Px(kIconSize));
    int y = Px(kMargin);
    for (const auto& [control, font] :
         {std::pair{heading_, headingFont_.get()}, std::pair{content_, font_.get()}}) {
        const int height = TextHeight(control, font, width);
        place(control, left, y, width, height);
        y += height + (height > 0 ? Px(kGap) : 0);
    }
    if (asking_) {
        place(progress_, left, y, width, Px(kProgressHeight));
        y += Px(kProgressHeight + kGap);
    }
    y = std::max(y, Px(kMargin + kIconSize + kGap)) + Px(kGap);
    if (Shown(detailsToggle_)) {
        place(detailsToggle_, left, y, ButtonWidth(detailsToggle_), Px(kButtonHeight));
        y += Px(kButtonHeight + kGap);
    }
    if (Shown(details_)) {
        const int height = std::min(DetailsHeight(width), Px(kDetailsMaxHeight));
        place(details_, left, y, width, height);
        y += height + Px(kGap);
    }
    const int footer = TextHeight(footer_, font_.get(), width);
    place(footer_, left, y + Px(kGap), width, footer);
    y += footer + Px(kGap + kMargin);

    int right = left + width;
    for (HWND button : {close_, showCertificate_, openReport_}) {
        if (!Shown(button))
            continue;
        const int buttonWidth = ButtonWidth(button);
        place(button, right - buttonWidth, y, buttonWidth, Px(kButtonHeight));
        right -= buttonWidth + Px(kGap);
    }
    RECT frame{0, 0, left + width + Px(kMargin), y + Px(kButtonHeight + kMargin)};
    ui::AdjustForDpi(frame, static_cast<DWORD>(GetWindowLongPtrW(hwnd_, GWL_STYLE)),
                     static_cast<DWORD>(GetWindowLongPtrW(hwnd_, GWL_EXSTYLE)), dpi_);
    const UINT flags = SWP_NOZORDER | SWP_NOACTIVATE | (suggested != nullptr ? 0 : SWP_NOMOVE);
    SetWindowPos(hwnd_, nullptr, suggested != nullptr ? suggested->left : 0,
                 suggested != nullptr ? suggested->top : 0, frame.right - frame.left,
                 frame.bottom - frame.top, flags);
    if (suggested == nullptr)
        ui::KeepOnScreen(hwnd_);
    InvalidateRect(hwnd_, nullptr, TRUE);
}

void SignatureDialog::Command(int id) {
    switch (id) {
    case kCloseId:
    case kOpenReportId:
        EndDialog(hwnd_, id);
        break;
    case kShowCertificateId:
        ShowCertificate(hwnd_,
                        {summary_.certificate, summary_.path, Utf8ToWide(summary_.signerName)});
        break;
    case kDetailsToggleId:
        expanded_ = !expanded_;
        Fill();
        Layout(nullptr);
        break;
    default:
        break;
    }
}

void SignatureDialog::DrawVerdictIcon(const DRAWITEMSTRUCT& item) const {
    FillRect(item.hDC, &item.rcItem, GetSysColorBrush(COLOR_BTNFACE));
    if (verdictIcon_)
        DrawIconEx(item.hDC, item.rcItem.left, item.rcItem.top, verdictIcon_.get(),
                   item.rcItem.right - item.rcItem.left, item.rcItem.bottom - item.rcItem.top, 0,
                   nullptr, DI_NORMAL);
}

} // namespace

void ShowSignatureWindow(const SignatureSummary& summary, const SecondLook* secondLook,
                         std::function<void()> openReport) {
    SignatureDialog dialog(summary, secondLook);
    const INT_PTR pressed = dialog.Run();
    if (pressed == -1 || pressed == 0)
        ShowMessage(Utf8ToWide(validation::SummaryText(summary)), kStylePlain);
    else if (pressed == kOpenReportId && openReport)
        openReport();
}

} // namespace tolv
