#pragma once
// The preferences window: the browser, the desktop copy and the separate frame,
// as in the Windows edition, stored in the user's settings file.

namespace tolv::linux_edition {

// Opens the window, or brings the one already open in another process to the
// front, and runs until it is closed. Answers the program's exit code: 1 when
// saving failed (after its box), else 0.
int RunPreferences();

} // namespace tolv::linux_edition
