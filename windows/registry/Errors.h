#pragma once
// The system's message text for a Windows error number. Network management and
// internet client numbers are looked up in the message tables of their own
// system libraries first. Nothing here throws.

#include <cstdint>
#include <string>

namespace tolv::Errors {

// The message for `number` without its final CR LF; the empty text when no
// table knows the number. The libraries of the two ranges are read from the
// system folder only, never from the program's own folder.
std::wstring GetErrorText(int32_t number) noexcept;

// The same with the libraries of the two ranges taken from `libraryFolder`
// (the system folder when empty).
std::wstring GetErrorText(int32_t number, const std::wstring& libraryFolder) noexcept;

// Looks `number` up in the message table of `library` (loaded as a data file
// and released again), then in the system's. A library named without a folder
// is loaded from the system folder. Leaves `message` untouched when the
// library cannot be loaded; otherwise sets it to the text found (empty when
// none). The text is not trimmed.
void GetModuleErrorText(std::wstring library, int32_t number, std::wstring& message) noexcept;

// What a failed registry write shows: the system's text for `status`, or a
// text of the program's own when the system has none.
std::wstring WriteFailureText(int32_t status);

} // namespace tolv::Errors
