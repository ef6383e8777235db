#pragma once
// The loop behind WatchProcess, for callers that want each box as it comes
// (MsgBoxWatch prints them as they appear).

#include "tests/windows/support/MessageBoxWatcher.h"

#include <functional>

namespace tolv::test {

// Reads and answers every message box of the process, each once and in the order
// they appear, handing each report to onBox, until the process ends (true) or
// timeoutMs have passed (false).
// answer: the button pressed where a box has it, OK elsewhere.
bool AnswerBoxesUntilExit(HANDLE process, DWORD timeoutMs,
                          const std::function<void(BoxReport)>& onBox, int answer = IDOK);

} // namespace tolv::test
