#include "windows/app/Browser.h"
#include "windows/app/Modes.h"

#include "core/Arguments.h"
#include "windows/base/General_win.h"

namespace tolv {

void RunFileMode(const std::wstring& argumentText) {
    Browser browser;
    try {
        browser.Show(ReportPath(argumentText));
    } catch (...) {
        // The box that shows the error must not keep the report's folder busy.
        LeaveWorkingFolder();
        throw;
    }
}

} // namespace tolv
