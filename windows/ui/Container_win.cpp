#include "windows/ui/Container.h"

#include "windows/base/MessageBox.h"
#include "core/Preferences.h"
#include "windows/base/SettingPaths.h"
#include "windows/base/ShellRegistry.h"
#include "core/Text.h"
#include "windows/base/StringConvert.h"
#include "windows/registry/Errors.h"
#include "windows/resources/resource.h"
#include "core/CheckState.h"

#include <windows.h>

#include <cstdint>
#include <exception>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace tolv::ui {

namespace {

constexpr wchar_t kTitle[] = L"TolvViewer - Tercihler";
constexpr wchar_t kAboutTitle[] = L"Hakkında";

// Save and Cancel carry the ids the dialog manager gives Enter and Esc.
enum ControlId : int {
    kIdCdSave = IDOK,
    kIdCdCancel = IDCANCEL,
    kIdLabel1 = 100,
    kIdFrame1,
    kIdOpChrome,
    kIdOpEdge,
    kIdChSavePDF,
    kIdChFrame,
    kIdFrame2,
    kIdCdAbout,
};

constexpr DWORD kWindowStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU;
constexpr DWORD kWindowExStyle = 0;

// Positions and sizes in twips, relative to the client area; the two options
// are relative to Frame1, which holds them.
struct Twips {
    int left, top, width, height;
};
constexpr int kClientWidth = 5730;
constexpr int kClientHeight = 3825;
constexpr Twips kLabel1{210, 150, 5685, 435};
constexpr Twips kFrame1{180, 840, 5085, 1095};
constexpr Twips kOpBrowser0{270, 300, 3285, 285};
constexpr Twips kOpBrowser1{270, 630, 1995, 285};
constexpr Twips kChSavePDF{210, 2040, 4605, 225};
constexpr Twips kChFrame{210, 2310, 3825, 285};
constexpr Twips kFrame2{0, 2760, 6000, 130}; // wider than the client area on purpose
constexpr Twips kCdAbout{1470, 3180, 1200, 365};
constexpr Twips kCdSave{2790, 3180, 1200, 365};
constexpr Twips kCdCancel{4110, 3180, 1200, 365};

// Tahoma 8.25 pt, Turkish character set.
constexpr wchar_t kFontFace[] = L"Tahoma";
constexpr int kFontHundredthsOfPoint = 825;
constexpr BYTE kTurkishCharset = 162;

UniqueFont MakeFont(UINT dpi, LONG weight) {
    LOGFONTW font{};
    font.lfHeight = -MulDiv(kFontHundredthsOfPoint, static_cast<int>(dpi), 72 * 100);
    font.lfWeight = weight;
    font.lfCharSet = kTurkishCharset;
    font.lfOutPrecision = OUT_DEFAULT_PRECIS;
    font.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    font.lfQuality = DEFAULT_QUALITY;
    font.lfPitchAndFamily = DEFAULT_PITCH | FF_DONTCARE;
    lstrcpynW(font.lfFaceName, kFontFace, LF_FACESIZE);
    return UniqueFont(CreateFontIndirectW(&font));
}

HWND MakeControl(HWND parent, const wchar_t* className, const wchar_t* caption, DWORD style,
                 int id) {
    HWND control = CreateWindowExW(0, className, caption, WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0,
                                   parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                   GetModuleHandleW(nullptr), nullptr);
    if (control == nullptr)
        throw std::runtime_error("Tercihler penceresinin denetimleri oluşturulamadı.");
    KeepOwnFontAndPlace(control);
    return control;
}

bool IsSelected(HWND button) {
    return SendMessageW(button, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

int CheckState(HWND box) {
    return static_cast<int>(SendMessageW(box, BM_GETCHECK, 0, 0));
}

void SetCheckState(HWND box, int state) {
    SendMessageW(box, BM_SETCHECK, static_cast<WPARAM>(state), 0);
}

// The number of a stored setting; nothing when it cannot be read (absent, or
// a value without a text form).
std::optional<double> ReadNumber(const wchar_t* path) {
    std::optional<std::wstring> text = RegRead(path, RegistryView::Wow64_32);
    if (!text)
        return std::nullopt;
    return Val(*text);
}

std::optional<int> ReadCheckState(const wchar_t* path) {
    std::optional<double> number = ReadNumber(path);
    return number ? CheckStateFromNumber(*number) : std::nullopt;
}

// Every failure in setup mode ends the same way: the unexpected-error box,
// then the end of the program. A window left half built or with an event half
// handled is not worth keeping open.
[[noreturn]] void EndUnexpectedly(HWND window, const char* description) noexcept {
    try {
        // A window still being built is not shown yet; the box then stands alone.
        HWND owner = window != nullptr && IsWindowVisible(window) ? window : nullptr;
        ShowMessage(L"Beklenmeyen hata: " + Utf8ToWide(description), kStylePlain, nullptr, owner);
    } catch (...) {
    }
    ExitProcess(0);
}

} // namespace

Container::~Container() {
    if (hwnd_ != nullptr)
        DestroyWindow(hwnd_);
}

bool Container::Show() {
    std::vector<WORD> dialogTemplate = EmptyDialogTemplate(kWindowStyle, kWindowExStyle, kTitle);
    HWND hwnd = CreateDialogIndirectParamW(
        GetModuleHandleW(nullptr), reinterpret_cast<const DLGTEMPLATE*>(dialogTemplate.data()),
        nullptr, DialogProc, reinterpret_cast<LPARAM>(this));
    if (hwnd == nullptr)
        return false;
    ShowWindow(hwnd, SW_SHOWNORMAL);
    SetForegroundWindow(hwnd);
    SendMessageW(hwnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(ChSavePDF), TRUE);
    return true;
}

INT_PTR CALLBACK Container::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    // Nothing thrown may leave a dialog procedure: it would unwind through
    // the system's own frames.
    try {
        if (message == WM_INITDIALOG) {
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, lParam);
            reinterpret_cast<Container*>(lParam)->hwnd_ = hwnd;
        }
        auto* self = reinterpret_cast<Container*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (self == nullptr)
            return FALSE;
        if (message == WM_NCDESTROY) {
            self->hwnd_ = nullptr;
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
            return FALSE;
        }
        return self->HandleMessage(message, wParam, lParam);
    } catch (const std::exception& e) {
        EndUnexpectedly(hwnd, e.what());
    } catch (...) {
        EndUnexpectedly(hwnd, "?");
    }
}

INT_PTR Container::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        TakeOverDpiScaling(hwnd_);
        CreateControls();
        ApplyDpi(WindowDpi(hwnd_));
        SizeWindow(nullptr);
        Load();
        KeepTabStopOnSelectedOption();
        CentreOnScreen(hwnd_);
        return FALSE; // Show() puts the focus on ChSavePDF
    case WM_COMMAND:
        if (HIWORD(wParam) != BN_CLICKED)
            return FALSE;
        switch (LOWORD(wParam)) {
        case kIdCdSave:
            CdSave_Click();
            return TRUE;
        case kIdCdCancel:
            CdCancel_Click();
            return TRUE;
        case kIdCdAbout:
            CdAbout_Click();
            return TRUE;
        case kIdChSavePDF:
            CheckBox_Click(ChSavePDF);
            return TRUE;
        case kIdChFrame:
            CheckBox_Click(ChFrame);
            return TRUE;
        case kIdOpChrome:
        case kIdOpEdge:
            KeepTabStopOnSelectedOption();
            return TRUE;
        }
        return FALSE;
    case WM_CLOSE:
        // Closing stores nothing, like Cancel.
        ExitProcess(0);
    case WM_DPICHANGED:
        ApplyDpi(LOWORD(wParam));
        SizeWindow(reinterpret_cast<const RECT*>(lParam));
        SetWindowLongPtrW(hwnd_, DWLP_MSGRESULT, 0);
        return TRUE;
    }
    return FALSE;
}

void Container::CreateControls() {
    // Created in tab-index order: the order of the windows is the order in
    // which Tab moves the focus.
    Frame1 = MakeControl(hwnd_, L"Button", L"PDF Gösterimi Kullanılacak Tarayıcı",
                         BS_GROUPBOX | WS_GROUP, kIdFrame1);
    ChSavePDF = MakeControl(hwnd_, L"Button", L"Çıktı dosyasını masaüstünde PDF olarak oluştur",
                            BS_3STATE | WS_GROUP | WS_TABSTOP, kIdChSavePDF);
    OpBrowser[0] = MakeControl(hwnd_, L"Button", L"Google Chrome",
                               BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP, kIdOpChrome);
    OpBrowser[1] = MakeControl(hwnd_, L"Button", L"Microsoft Edge", BS_AUTORADIOBUTTON, kIdOpEdge);
    CdSave = MakeControl(hwnd_, L"Button", L"&Kaydet", BS_DEFPUSHBUTTON | WS_GROUP | WS_TABSTOP,
                         kIdCdSave);
    CdCancel = MakeControl(hwnd_, L"Button", L"&İptal", BS_PUSHBUTTON | WS_TABSTOP, kIdCdCancel);
    CdAbout = MakeControl(hwnd_, L"Button", L"&Hakkında", BS_PUSHBUTTON | WS_TABSTOP, kIdCdAbout);
    Frame2 = MakeControl(hwnd_, L"Button", L"", BS_GROUPBOX | WS_GROUP, kIdFrame2);
    Label1 = MakeControl(hwnd_, L"Static",
                         L"İmzalı rapor tolv dosyaları 'TolvViewer' ile ilişkilendirildi. İmzalı "
                         L"dosya içeriklerini görmek için üzerlerine çift tıklatın.",
                         SS_LEFT | WS_GROUP, kIdLabel1);
    ChFrame = MakeControl(hwnd_, L"Button", L"Ayrı çerçevede göster",
                          BS_3STATE | WS_GROUP | WS_TABSTOP, kIdChFrame);

    SetCheckState(OpBrowser[0], BST_CHECKED);
    SendMessageW(hwnd_, DM_SETDEFID, kIdCdSave, 0);
}

void Container::ApplyDpi(UINT dpi) {
    dpi_ = dpi;
    UniqueFont font = MakeFont(dpi, FW_NORMAL);
    UniqueFont boldFont = MakeFont(dpi, FW_BOLD);
    SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), FALSE);
    for (HWND control : {Frame1, ChSavePDF, OpBrowser[0], OpBrowser[1], CdSave, CdCancel, CdAbout,
                         Frame2, ChFrame})
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), TRUE);
    SendMessageW(Label1, WM_SETFONT, reinterpret_cast<WPARAM>(boldFont.get()), TRUE);
    // The controls hold the new fonts now; the old ones may go.
    font_ = std::move(font);
    boldFont_ = std::move(boldFont);

    HINSTANCE instance = GetModuleHandleW(nullptr);
    const int big = MetricForDpi(SM_CXICON, 32, dpi);
    const int small = MetricForDpi(SM_CXSMICON, 16, dpi);
    UniqueIcon bigIcon(static_cast<HICON>(
        LoadImageW(instance, MAKEINTRESOURCEW(IDI_APP), IMAGE_ICON, big, big, LR_DEFAULTCOLOR)));
    UniqueIcon smallIcon(static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_APP),
                                                       IMAGE_ICON, small, small, LR_DEFAULTCOLOR)));
    SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon.get()));
    SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon.get()));
    bigIcon_ = std::move(bigIcon);
    smallIcon_ = std::move(smallIcon);

    PlaceControls();
}

void Container::PlaceControls() {
    auto px = [this](int twips) { return TwipsToPixels(twips, dpi_); };
    auto place = [&](HWND control, const Twips& t, int originX, int originY) {
        SetWindowPos(control, nullptr, originX + px(t.left), originY + px(t.top), px(t.width),
                     px(t.height), SWP_NOZORDER | SWP_NOACTIVATE);
    };
    place(Label1, kLabel1, 0, 0);
    place(Frame1, kFrame1, 0, 0);
    place(OpBrowser[0], kOpBrowser0, px(kFrame1.left), px(kFrame1.top));
    place(OpBrowser[1], kOpBrowser1, px(kFrame1.left), px(kFrame1.top));
    place(ChSavePDF, kChSavePDF, 0, 0);
    place(ChFrame, kChFrame, 0, 0);
    place(Frame2, kFrame2, 0, 0);
    place(CdAbout, kCdAbout, 0, 0);
    place(CdSave, kCdSave, 0, 0);
    place(CdCancel, kCdCancel, 0, 0);
    InvalidateRect(hwnd_, nullptr, TRUE);
}

// Sizes the window so that its client area is exactly the twips of the
// design at the current DPI; on a DPI change it goes where the system
// suggests.
void Container::SizeWindow(const RECT* suggested) {
    RECT frame{0, 0, TwipsToPixels(kClientWidth, dpi_), TwipsToPixels(kClientHeight, dpi_)};
    AdjustForDpi(frame, kWindowStyle, kWindowExStyle, dpi_);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    if (suggested != nullptr)
        SetWindowPos(hwnd_, nullptr, suggested->left, suggested->top, width, height,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    else
        SetWindowPos(hwnd_, nullptr, 0, 0, width, height,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// Tab into the option group lands on the selected option, as in any group
// of radio buttons.
void Container::KeepTabStopOnSelectedOption() {
    const bool edge = IsSelected(OpBrowser[1]);
    for (int index = 0; index < 2; ++index) {
        LONG_PTR style = GetWindowLongPtrW(OpBrowser[index], GWL_STYLE);
        const bool stop = (index == 1) == edge;
        style = stop ? (style | WS_TABSTOP) : (style & ~static_cast<LONG_PTR>(WS_TABSTOP));
        SetWindowLongPtrW(OpBrowser[index], GWL_STYLE, style);
    }
}

// Reads the settings in the order Browser, SavePDF, Frame and stops silently
// at the first that cannot be read or shown: the controls of that step and
// the later ones keep their initial states.
void Container::Load() {
    std::optional<double> browser = ReadNumber(kBrowserSettingPath);
    if (!browser)
        return;
    if (*browser != 0)
        CheckRadioButton(hwnd_, kIdOpChrome, kIdOpEdge, kIdOpEdge);
    else
        SetCheckState(OpBrowser[1], BST_UNCHECKED);

    std::optional<int> savePdf = ReadCheckState(kSavePDFSettingPath);
    if (!savePdf)
        return;
    SetCheckState(ChSavePDF, *savePdf);

    std::optional<int> frame = ReadCheckState(kFrameSettingPath);
    if (!frame)
        return;
    SetCheckState(ChFrame, *frame);
}

// Writes Browser, SavePDF and Frame in this order, stops at the first failed
// write (the earlier ones stay written), reports it, and ends the program
// either way: there is no second attempt.
void Container::CdSave_Click() {
    const int32_t browser = IsSelected(OpBrowser[1]) ? -1 : 0;
    LSTATUS status = RegWriteDword(kBrowserSettingPath, browser, RegistryView::Wow64_32);
    if (status == ERROR_SUCCESS)
        status = RegWriteDword(kSavePDFSettingPath, CheckState(ChSavePDF), RegistryView::Wow64_32);
    if (status == ERROR_SUCCESS)
        status = RegWriteDword(kFrameSettingPath, CheckState(ChFrame), RegistryView::Wow64_32);
    if (status != ERROR_SUCCESS)
        ShowMessage(Errors::WriteFailureText(status), kStyleError, nullptr, hwnd_);
    ExitProcess(status == ERROR_SUCCESS ? 0 : 1);
}

void Container::CdCancel_Click() {
    ExitProcess(0);
}

void Container::CdAbout_Click() {
    ShowMessage(ExpandLineBreaks(LoadResString(IDS_ABOUT)), kStyleInformation, kAboutTitle, hwnd_);
}

// The boxes can show the indeterminate state of a stored 2, but a click only
// ever switches between unchecked and checked.
void Container::CheckBox_Click(HWND box) {
    SetCheckState(box, StateAfterClick(CheckState(box)));
}

} // namespace tolv::ui
