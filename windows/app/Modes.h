#pragma once
// The two things the program does, chosen by the argument text.

#include <windows.h>

#include <stdexcept>
#include <string>
#include <utility>

namespace tolv {

// File mode: shows the report at the given path. Ends the process itself;
// returns only by throwing, and what it throws is shown by the caller: a
// FileModeError, which names the report, as every box of file mode does.
void RunFileMode(const std::wstring& argumentText);

class FileModeError : public std::runtime_error {
public:
    FileModeError(const std::string& what, std::string reportName)
        : std::runtime_error(what), reportName_(std::move(reportName)) {}
    const std::string& ReportName() const { return reportName_; } // UTF-8

private:
    std::string reportName_;
};

// "İmza bilgisi": checks and validates the report's signature and shows what
// was found in a window of its own (revocation asked online there, unless an
// administrator turned it off). Throws when the report cannot be read, for
// the caller to show.
void RunSignatureInfo(const std::wstring& reportPath);

// Setup mode: associates reports with the program and opens the preferences
// window. Answers that window, whose messages the caller's loop must run
// through IsDialogMessageW; null when no window was opened.
HWND RunSetupMode();

} // namespace tolv
