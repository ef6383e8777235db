#pragma once
// The two things the program does, chosen by the argument text.

#include <string>
#include <string_view>

#ifdef _WIN32
#include <windows.h>
#endif

namespace tolv {

#ifdef _WIN32
// File mode: shows the report at the given path. Ends the process itself;
// returns only by throwing, and what it throws is shown by the caller.
void RunFileMode(const std::wstring& argumentText);

// Setup mode: associates reports with the program and opens the preferences
// window. Answers that window, whose messages the caller's loop must run
// through IsDialogMessageW; null when no window was opened.
HWND RunSetupMode();
#endif

// The argument text: what follows the program's own name on the command line,
// with the blanks around it removed, otherwise untouched (quotes stay).
std::wstring ArgumentText(std::wstring_view commandLine);

} // namespace tolv
