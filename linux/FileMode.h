#pragma once
// Viewing one report: read the settings, write the PDF, start the browser with
// it and wait for the browser. Failures end in a message box.

#include <string>

namespace tolv::linux_edition {

// The program's exit code: 0 when the browser ran and ended well, 1 after a
// failure box or when the user chose not to see a report whose signature is
// broken, revoked before signing, invalid, not vouched for by a trusted
// anchor or could not be checked. Throws on anything unexpected (a report
// that cannot be read among them), for the caller's box.
int ViewReport(const std::string& report);

// The text of a box of file mode: the report's file name above the text, so
// that a box outliving its window still says which report it speaks of.
std::string ReportBoxText(const std::string& report, const std::string& text);

} // namespace tolv::linux_edition
