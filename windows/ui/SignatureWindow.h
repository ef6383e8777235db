#pragma once
// The "İmza bilgisi" window: a dialog that shows the summary of a report's
// signature, and that can show a second look (revocation asked
// online) in its place while it stays open.

#include "validation/SignatureSummary.h"

#include <functional>

namespace tolv {

// Work the window waits for, showing that it does: `work` runs on a thread of
// its own; once it has ended, `result` (on the window's thread) gives the
// summary that replaces the one shown.
struct SecondLook {
    std::function<void()> work;
    std::function<validation::SignatureSummary()> result;
};

// Shows the window and returns when the user has closed it. With a second
// look, its thread may still run then: the caller ends the program.
// openReport: what "Raporu aç" does once the window has closed.
void ShowSignatureWindow(const validation::SignatureSummary& summary, const SecondLook* secondLook,
                         std::function<void()> openReport);

} // namespace tolv
