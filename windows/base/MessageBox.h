#pragma once
// The one way the program shows a message: every box passes through here, so
// every box without a caption of its own carries the same application title.

#include <windows.h>

#include <string>

namespace tolv {

inline constexpr wchar_t kAppTitle[] = L"Tolv İçerik Gösterici Tarayıcı Derlemesi";

// Box styles the program uses; each has a single OK button.
enum MessageStyle : unsigned {
    kStylePlain = 0x00,       // MB_OK
    kStyleError = 0x10,       // MB_ICONERROR
    kStyleWarning = 0x30,     // MB_ICONWARNING
    kStyleInformation = 0x40, // MB_ICONINFORMATION
};

// Shows a modal box and returns when the user has pressed OK. A null or empty
// caption shows the application title. A box that belongs to a window names
// it as owner: the window is then disabled until the box is dismissed, even
// when the program is not in the foreground.
void ShowMessage(const std::wstring& text, unsigned style, const wchar_t* caption = nullptr,
                 HWND owner = nullptr);

// Loads a string of the program's string table; "_" line marks are left as they
// are (the caller expands them with ExpandLineBreaks). Throws when the
// string is missing.
std::wstring LoadResString(unsigned id);

} // namespace tolv
