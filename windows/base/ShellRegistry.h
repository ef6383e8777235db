#pragma once
// Registry reading and writing by full path, with the outcome of the script
// host's RegRead and RegWrite: "ROOT\Key\Sub\Name" addresses the value Name,
// and a path that ends in a backslash addresses the key's default value.
// Roots: HKEY_LOCAL_MACHINE (HKLM), HKEY_CURRENT_USER (HKCU),
// HKEY_CLASSES_ROOT (HKCR), HKEY_USERS and HKEY_CURRENT_CONFIG, in any case.

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

namespace tolv {

// Which registry view a 64-bit process addresses under HKLM\SOFTWARE.
enum class RegistryView { Native, Wow64_32 };

// The value as text: REG_DWORD as a signed decimal number (all bits set gives
// "-1"), REG_SZ and REG_EXPAND_SZ as their text (not expanded). Any other type
// (binary, multi-string, ...) and a missing key or value are a failed read.
std::optional<std::wstring> RegRead(const std::wstring& path, RegistryView view);

// RegRead as the shell reads a path: a REG_EXPAND_SZ value comes back with its
// environment variables expanded.
std::optional<std::wstring> RegReadExpanded(const std::wstring& path, RegistryView view);

// Stores a REG_DWORD, creating the key and the keys above it. Returns the
// registry's status (ERROR_SUCCESS or the reason), ERROR_INVALID_PARAMETER for
// a path without a known root.
[[nodiscard]] LSTATUS RegWriteDword(const std::wstring& path, int32_t value, RegistryView view);

} // namespace tolv
