#pragma once
// "İmza bilgisi": the window that says what the validation of a report's
// signature found, at a glance and in detail, with the signer's certificate a
// click away in the desktop's certificate viewer.

#include "linux/Settings.h"

#include <string>

namespace tolv::linux_edition {

// Validates the report's signature against the machine's anchors and shows the
// window until it is closed; 0 then. Where only an answer fetched online could
// settle revocation and settings.onlineRevocation allows it, the window asks
// while it is shown and updates itself. Without a display the summary goes to
// standard error. Throws when the report cannot be read.
int ShowSignatureWindow(const std::string& report, const Settings& settings);

// The report to show when the menu's entry starts the window without one,
// picked in a file chooser; empty when none was chosen.
std::string ChooseReport();

} // namespace tolv::linux_edition
