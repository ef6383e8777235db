#pragma once
// Viewing one report: read the settings, write the PDF, start the browser with
// it and wait for the browser. Failures end in a message box.

#include <string>

namespace tolv::linux_edition {

// The program's exit code: 0 when the browser ran and ended well, 1 after a
// failure box. Throws on anything unexpected (a report that cannot be read
// among them), for the caller's box.
int ViewReport(const std::string& report);

} // namespace tolv::linux_edition
