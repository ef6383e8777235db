#pragma once
// What the program's windows share: dialogs built in code from an empty
// template, laid out again by their own code when the DPI changes, and the
// owners of the fonts and icons they make.

#include "windows/base/Handles.h"

#include <windows.h>

#include <vector>

namespace tolv::ui {

namespace detail {
inline void DeleteFont(HFONT font) noexcept {
    DeleteObject(font);
}
inline void DestroyIconHandle(HICON icon) noexcept {
    DestroyIcon(icon);
}
} // namespace detail
using UniqueFont = UniqueAny<HFONT, detail::DeleteFont>;
using UniqueIcon = UniqueAny<HICON, detail::DestroyIconHandle>;

// A function of newer Windows versions, looked up at run time so that the
// program still starts where it is missing; null there.
template <class Function> Function UserFunction(const char* name) {
    FARPROC address = GetProcAddress(GetModuleHandleW(L"user32.dll"), name);
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(address));
}

UINT WindowDpi(HWND hwnd);
// The window rectangle around a client rectangle, at the given DPI.
void AdjustForDpi(RECT& rect, DWORD style, DWORD exStyle, UINT dpi);
// A system metric at the given DPI (an icon's size); atDefaultDpi scaled
// where the system cannot say.
int MetricForDpi(int metric, int atDefaultDpi, UINT dpi);
// The font messages are shown in (Segoe UI on Windows), at the given DPI.
LOGFONTW MessageFont(UINT dpi);

// The window lays itself out again on a DPI change; the dialog manager's own
// rescaling (Windows 10 1703 and later) would fight it.
void TakeOverDpiScaling(HWND dialog);
void KeepOwnFontAndPlace(HWND control);

// An in-memory dialog template without controls: the controls are made in
// code. The dialog manager gives the window Tab, Enter and Esc handling and
// the default push button.
std::vector<WORD> EmptyDialogTemplate(DWORD style, DWORD exStyle, const wchar_t* title);

void CentreOnScreen(HWND window);
// Moves the window up as far as it takes for its bottom to stay within the
// work area of its monitor (a window that grew), its top never above it.
void KeepOnScreen(HWND window);

} // namespace tolv::ui
