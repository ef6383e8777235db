#include "windows/ui/DialogSupport.h"

#include <algorithm>

namespace tolv::ui {

UINT WindowDpi(HWND hwnd) {
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    static const auto getDpiForWindow = UserFunction<GetDpiForWindowFn>("GetDpiForWindow");
    if (getDpiForWindow != nullptr) {
        if (UINT dpi = getDpiForWindow(hwnd); dpi != 0)
            return dpi;
    }
    HDC dc = GetDC(hwnd);
    int dpi = dc != nullptr ? GetDeviceCaps(dc, LOGPIXELSX) : 0;
    if (dc != nullptr)
        ReleaseDC(hwnd, dc);
    return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

void AdjustForDpi(RECT& rect, DWORD style, DWORD exStyle, UINT dpi) {
    using AdjustFn = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
    static const auto adjustForDpi = UserFunction<AdjustFn>("AdjustWindowRectExForDpi");
    if (adjustForDpi == nullptr || !adjustForDpi(&rect, style, FALSE, exStyle, dpi))
        AdjustWindowRectEx(&rect, style, FALSE, exStyle);
}

int MetricForDpi(int metric, int atDefaultDpi, UINT dpi) {
    using MetricsFn = int(WINAPI*)(int, UINT);
    static const auto metricsForDpi = UserFunction<MetricsFn>("GetSystemMetricsForDpi");
    int size = metricsForDpi != nullptr ? metricsForDpi(metric, dpi) : 0;
    return size > 0 ? size : MulDiv(atDefaultDpi, static_cast<int>(dpi), 96);
}

LOGFONTW MessageFont(UINT dpi) {
    using ParametersFn = BOOL(WINAPI*)(UINT, UINT, void*, UINT, UINT);
    static const auto parametersForDpi = UserFunction<ParametersFn>("SystemParametersInfoForDpi");
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    if (parametersForDpi != nullptr &&
        parametersForDpi(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0, dpi))
        return metrics.lfMessageFont;
    // Older systems give it at the system's DPI only.
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) {
        HDC screen = GetDC(nullptr);
        const int systemDpi = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
        if (screen != nullptr)
            ReleaseDC(nullptr, screen);
        metrics.lfMessageFont.lfHeight =
            MulDiv(metrics.lfMessageFont.lfHeight, static_cast<int>(dpi), systemDpi);
        return metrics.lfMessageFont;
    }
    LOGFONTW font{};
    font.lfHeight = -MulDiv(9, static_cast<int>(dpi), 72);
    font.lfWeight = FW_NORMAL;
    lstrcpynW(font.lfFaceName, L"Segoe UI", LF_FACESIZE);
    return font;
}

void TakeOverDpiScaling(HWND dialog) {
    using DialogFn = BOOL(WINAPI*)(HWND, DIALOG_DPI_CHANGE_BEHAVIORS, DIALOG_DPI_CHANGE_BEHAVIORS);
    static const auto setBehaviour = UserFunction<DialogFn>("SetDialogDpiChangeBehavior");
    if (setBehaviour != nullptr)
        setBehaviour(dialog, DDC_DISABLE_ALL, DDC_DISABLE_ALL);
}

void KeepOwnFontAndPlace(HWND control) {
    using ControlFn = BOOL(WINAPI*)(HWND, DIALOG_CONTROL_DPI_CHANGE_BEHAVIORS,
                                    DIALOG_CONTROL_DPI_CHANGE_BEHAVIORS);
    static const auto setBehaviour = UserFunction<ControlFn>("SetDialogControlDpiChangeBehavior");
    constexpr auto both = static_cast<DIALOG_CONTROL_DPI_CHANGE_BEHAVIORS>(
        DCDC_DISABLE_FONT_UPDATE | DCDC_DISABLE_RELAYOUT);
    if (setBehaviour != nullptr)
        setBehaviour(control, both, both);
}

std::vector<WORD> EmptyDialogTemplate(DWORD style, DWORD exStyle, const wchar_t* title) {
    std::vector<WORD> words(sizeof(DLGTEMPLATE) / sizeof(WORD), 0);
    auto* header = reinterpret_cast<DLGTEMPLATE*>(words.data());
    header->style = style;
    header->dwExtendedStyle = exStyle;
    words.push_back(0); // no menu
    words.push_back(0); // the standard dialog class
    for (const wchar_t* c = title; *c != L'\0'; ++c)
        words.push_back(static_cast<WORD>(*c));
    words.push_back(0);
    return words;
}

void CentreOnScreen(HWND window) {
    RECT frame{};
    GetWindowRect(window, &frame);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    if (!GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY), &monitor))
        return;
    const RECT& screen = monitor.rcMonitor;
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    const int x = screen.left + (screen.right - screen.left - width) / 2;
    const int y = screen.top + (screen.bottom - screen.top - height) / 2;
    SetWindowPos(window, nullptr, x, y > screen.top ? y : screen.top, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void KeepOnScreen(HWND window) {
    RECT frame{};
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    if (!GetWindowRect(window, &frame) ||
        !GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor))
        return;
    const RECT& work = monitor.rcWork;
    if (frame.bottom <= work.bottom || frame.top <= work.top)
        return;
    const LONG top = std::max(work.top, frame.top - (frame.bottom - work.bottom));
    SetWindowPos(window, nullptr, frame.left, top, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

} // namespace tolv::ui
