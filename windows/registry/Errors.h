#pragma once
// The system's message text for a Windows error number. Network management and
// internet client numbers are looked up in the message tables of their own
// system libraries first. Nothing here throws.

#include <cstdint>
#include <string>

namespace tolv::Errors {

// The message for `number` without its final CR LF; the empty text when no
// table knows the number.
std::wstring GetErrorText(int32_t number) noexcept;

// Looks `number` up in the message table of `library` (loaded as a data file
// and released again), then in the system's. Leaves `message` untouched when
// the library cannot be loaded; otherwise sets it to the text found (empty
// when none). The text is not trimmed.
void GetModuleErrorText(std::wstring library, int32_t number, std::wstring& message) noexcept;

} // namespace tolv::Errors
