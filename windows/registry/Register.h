#pragma once
// The program's registry access class. It holds no data: every operation works
// on its arguments only. Roots travel as the signed 32-bit numbers of the
// predefined keys; registry statuses become Boolean results and never escape
// as exceptions.

#include "core/RegValue.h"

#include <windows.h>

#include <cstdint>
#include <string>

namespace tolv {

// Predefined roots as callers pass them.
inline constexpr int32_t kHkeyClassesRoot = static_cast<int32_t>(0x80000000u);
inline constexpr int32_t kHkeyCurrentUser = static_cast<int32_t>(0x80000001u);
inline constexpr int32_t kHkeyLocalMachine = static_cast<int32_t>(0x80000002u);

// What KeyIsExist asks GetValue to hand back for a value that cannot be read.
inline constexpr int32_t kMissingValueMarker = -1193046; // 0xFFEDCBAA

// Every key the class opens or creates is asked for exactly these rights:
// query, set, create sub-key, enumerate, notify, create link. Note the write
// rights even for reading: a read-only key cannot be read through this class.
inline constexpr REGSAM kRegisterAccess = 0x3F;

// The root number as the HKEY the registry functions take (sign-extended, as
// the predefined handles are on 64-bit Windows).
HKEY RootKey(int32_t handle) noexcept;

class Register {
public:
    std::wstring SysErrorToString(int32_t LetErrorNumber);
    bool SetValue(const std::wstring& LetKey, const std::wstring& LetSubKey, RegValue& LetValue,
                  int32_t LetType, int32_t LetHandle);
    RegValue GetValue(const std::wstring& LetKey, const std::wstring& LetSubKey,
                      RegValue& LetDefValue, int32_t LetDefFormat, int32_t LetHandle,
                      bool LetCreate);
    bool DeleteKey(const std::wstring& LetSubKey, int32_t LetHandle, bool LetMessage);
    bool DeleteValue(const std::wstring& LetSubKey, const std::wstring& LetName, int32_t LetHandle,
                     bool LetMessage);
    bool CreateNewKey(const std::wstring& LetNewSubKey, int32_t LetHandle);
    std::wstring QueryValue(int32_t LetKeyLocation, const std::wstring& LetKeyName,
                            const std::wstring& LetValueName);
    bool KeyIsExist(const std::wstring& LetKey, const std::wstring& LetSubKey, int32_t LetDefFormat,
                    int32_t LetHandle);
    bool OpenIBrowser(const std::wstring& LetURL);
    std::wstring GetAllKeyValues(int32_t LetHandle, const std::wstring& key_name);
    bool AssociateToApp(std::wstring LetAppPath, std::wstring LetExtension);
    // The same; `failure` receives the status of the write that failed, and
    // stays ERROR_SUCCESS when all succeeded or the guard stopped it.
    bool AssociateToApp(std::wstring LetAppPath, std::wstring LetExtension, LSTATUS& failure);

private:
    std::wstring ExtractFileName(const std::wstring& path, std::wstring& folder);
    // Status 0 on success, 2 when the value cannot be read.
    [[nodiscard]] LSTATUS ReadValue(HKEY key, const std::wstring& name, RegValue& output);

    friend struct RegisterTestAccess; // lets the tests reach the private operations
};

} // namespace tolv
