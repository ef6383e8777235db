#include "windows/app/Browser.h"
#include "windows/app/Modes.h"

#include "core/Arguments.h"
#include "windows/base/General_win.h"

namespace tolv {

void RunFileMode(const std::wstring& argumentText) {
    const std::wstring report = ReportPath(argumentText);
    Browser browser;
    try {
        browser.Show(report);
    } catch (const std::exception& e) {
        // The box that shows the error must not keep the report's folder busy.
        LeaveWorkingFolder();
        throw FileModeError(e.what(), ReportNameUtf8(report));
    } catch (...) {
        LeaveWorkingFolder();
        throw;
    }
}

} // namespace tolv
