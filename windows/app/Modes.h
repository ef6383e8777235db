#pragma once
// The two things the program does, chosen by the argument text.

#include <windows.h>

#include <string>

namespace tolv {

// File mode: shows the report at the given path. Ends the process itself;
// returns only by throwing, and what it throws is shown by the caller.
void RunFileMode(const std::wstring& argumentText);

// "İmza bilgisi": checks the report's signature and shows what was found in
// one box. Throws when the report cannot be read, for the caller to show.
void RunSignatureInfo(const std::wstring& reportPath);

// Setup mode: associates reports with the program and opens the preferences
// window. Answers that window, whose messages the caller's loop must run
// through IsDialogMessageW; null when no window was opened.
HWND RunSetupMode();

} // namespace tolv
