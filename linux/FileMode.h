#pragma once
// Viewing one report: read the settings, write the PDF, start the browser with
// it and wait for the browser. Failures end in a message box.

#include <string>

namespace tolv::linux_edition {

// The program's exit code: 0 when the browser ran and ended well, 1 after a
// failure box or when the user chose not to see a report whose signature is
// broken or could not be checked. Throws on anything unexpected (a report that cannot be read
// among them), for the caller's box.
int ViewReport(const std::string& report);

// The text of a box of file mode: the report's file name above the text, so
// that a box outliving its window still says which report it speaks of.
std::string ReportBoxText(const std::string& report, const std::string& text);

// "İmza bilgisi": checks the report's signature and shows what was found in
// one box; 0 once it is closed. Throws when the report cannot be read.
int ShowSignatureInfo(const std::string& report);

} // namespace tolv::linux_edition
