#pragma once
// The one way the program shows a message: every box passes through here, so
// every box without a caption of its own carries the same application title.

#include <windows.h>

#include <string>
#include <string_view>

namespace tolv {

inline constexpr wchar_t kAppTitle[] = L"Tolv İçerik Gösterici Tarayıcı Derlemesi";

// Box styles the program uses; a box has a single OK button unless
// kStyleYesNo is added to its icon.
enum MessageStyle : unsigned {
    kStylePlain = 0x00,       // MB_OK
    kStyleError = 0x10,       // MB_ICONERROR
    kStyleQuestion = 0x20,    // MB_ICONQUESTION
    kStyleWarning = 0x30,     // MB_ICONWARNING
    kStyleInformation = 0x40, // MB_ICONINFORMATION
    // Yes and No, with No the default (MB_YESNO | MB_DEFBUTTON2). Such a box
    // has no Cancel, so Esc and its close button do nothing: only Yes or No
    // ends it.
    kStyleYesNo = 0x104,
};

// Shows a modal box and returns when the user has answered it: the button
// pressed (IDOK, IDYES, IDNO). A null or empty caption shows the application
// title. A box that belongs to a window names it as owner: the window is then
// disabled until the box is dismissed, even when the program is not in the
// foreground.
int ShowMessage(const std::wstring& text, unsigned style, const wchar_t* caption = nullptr,
                HWND owner = nullptr);

// UTF-8 lines separated by '\n' as a box shows them: UTF-16, CR LF between lines.
std::wstring BoxText(std::string_view lines);

// Loads a string of the program's string table; "_" line marks are left as they
// are (the caller expands them with ExpandLineBreaks). Throws when the
// string is missing.
std::wstring LoadResString(unsigned id);

} // namespace tolv
