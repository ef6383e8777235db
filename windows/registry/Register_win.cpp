#include "windows/registry/Register.h"

#include "windows/base/Handles.h"
#include "windows/base/MessageBox.h"
#include "windows/base/StringConvert.h"
#include "windows/registry/Errors.h"

#include <cstring>
#include <vector>

namespace tolv {

HKEY RootKey(int32_t handle) noexcept {
    return reinterpret_cast<HKEY>(static_cast<intptr_t>(handle));
}

namespace {

// GetAllKeyValues hands each value over in buffers of these sizes and stops at
// the first value that does not fit; callers see exactly which values fit.
constexpr DWORD kEnumNameCapacity = 1024; // characters, the terminating NUL included
constexpr DWORD kEnumDataCapacity = 1024; // bytes, counted as in the ANSI code page

// The registry keeps these types as UTF-16 text: handed over as text, never
// as bytes of a code page.
bool IsTextType(DWORD type) {
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

const BYTE* Bytes(const void* data) {
    return static_cast<const BYTE*>(data);
}

std::wstring WideFromBytes(const std::vector<BYTE>& bytes, size_t count) {
    std::wstring text(count / sizeof(wchar_t), L'\0');
    std::memcpy(text.data(), bytes.data(), text.size() * sizeof(wchar_t));
    return text;
}

// All but the last byte (where SetValue puts a NUL; dropped whatever it is),
// each as the character it codes in the ANSI code page.
std::wstring TextFromAnsiBytes(const std::vector<BYTE>& bytes, size_t size) {
    return ToWide(CP_ACP, std::string_view(reinterpret_cast<const char*>(bytes.data()),
                                           size == 0 ? 0 : size - 1));
}

// One value of an enumeration: its name and its data as text, the last
// character (for text types the terminating NUL) dropped. ERROR_MORE_DATA when
// the name or the data exceeds the enumeration buffers.
LSTATUS EnumValue(HKEY key, DWORD index, std::wstring& name, std::wstring& data) {
    std::vector<wchar_t> nameBuffer(kEnumNameCapacity);
    DWORD nameLength = kEnumNameCapacity;
    DWORD type = 0;
    DWORD size = 0;
    LSTATUS status =
        RegEnumValueW(key, index, nameBuffer.data(), &nameLength, nullptr, &type, nullptr, &size);
    if (status != ERROR_SUCCESS)
        return status;
    std::vector<BYTE> bytes(size);
    nameLength = kEnumNameCapacity;
    status = RegEnumValueW(key, index, nameBuffer.data(), &nameLength, nullptr, &type, bytes.data(),
                           &size);
    if (status != ERROR_SUCCESS)
        return status;

    name.assign(nameBuffer.data(), nameLength);
    if (IsTextType(type)) {
        // Measured as the ANSI bytes it would take, so that the limit is the
        // same whatever the text holds.
        data = WideFromBytes(bytes, size);
        if (FromWide(CP_ACP, data).size() > kEnumDataCapacity)
            return ERROR_MORE_DATA;
        if (!data.empty())
            data.pop_back();
    } else {
        if (size > kEnumDataCapacity)
            return ERROR_MORE_DATA;
        data = TextFromAnsiBytes(bytes, size);
    }
    return ERROR_SUCCESS;
}

} // namespace

std::wstring Register::SysErrorToString(int32_t LetErrorNumber) {
    return Errors::GetErrorText(LetErrorNumber);
}

bool Register::SetValue(const std::wstring& LetKey, const std::wstring& LetSubKey,
                        RegValue& LetValue, int32_t LetType, int32_t LetHandle) {
    try {
        const auto type = static_cast<DWORD>(LetType);
        // A value that is no 32-bit number leaves the registry untouched, not
        // even the key is created.
        int32_t number = 0;
        if (type == REG_DWORD && !RegValueToInt32(LetValue, number))
            return false;

        // The create's status is not read: a key that cannot be created leaves
        // the handle null, and the write below reports the failure.
        UniqueHkey key;
        RegCreateKeyExW(RootKey(LetHandle), LetKey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        kRegisterAccess, nullptr, key.put(), nullptr);

        LSTATUS status;
        if (type == REG_DWORD) {
            LetValue = number;
            const DWORD data = static_cast<DWORD>(number);
            status = RegSetValueExW(key.get(), LetSubKey.c_str(), 0, REG_DWORD, Bytes(&data),
                                    sizeof data);
        } else if (const std::wstring text = RegValueText(LetValue); IsTextType(type)) {
            // The text and one NUL, kept in UTF-16 as the registry keeps these
            // types, so that no character outside the code page is lost.
            status = RegSetValueExW(key.get(), LetSubKey.c_str(), 0, type, Bytes(text.c_str()),
                                    static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
        } else {
            // Binary and other types receive the text's bytes in the ANSI code
            // page and one NUL byte.
            const std::string bytes = FromWide(CP_ACP, text);
            status = RegSetValueExW(key.get(), LetSubKey.c_str(), 0, type, Bytes(bytes.c_str()),
                                    static_cast<DWORD>(bytes.size() + 1));
        }
        return status == ERROR_SUCCESS;
    } catch (...) {
        return false;
    }
}

RegValue Register::GetValue(const std::wstring& LetKey, const std::wstring& LetSubKey,
                            RegValue& LetDefValue, int32_t LetDefFormat, int32_t LetHandle,
                            bool LetCreate) {
    RegValue result;
    try {
        // A key that cannot be opened leaves the handle null; the read then fails.
        UniqueHkey key;
        RegOpenKeyExW(RootKey(LetHandle), LetKey.c_str(), 0, kRegisterAccess, key.put());
        if (ReadValue(key.get(), LetSubKey, result) != ERROR_SUCCESS) {
            if (LetCreate)
                (void)SetValue(LetKey, LetSubKey, LetDefValue, LetDefFormat, LetHandle);
            result = LetDefValue;
        }
    } catch (...) {
    }
    return result;
}

bool Register::DeleteKey(const std::wstring& LetSubKey, int32_t LetHandle, bool LetMessage) {
    const LSTATUS status = RegDeleteKeyW(RootKey(LetHandle), LetSubKey.c_str());
    if (status != ERROR_SUCCESS && LetMessage)
        ShowMessage(Errors::GetErrorText(status), kStyleError);
    return status == ERROR_SUCCESS;
}

bool Register::DeleteValue(const std::wstring& LetSubKey, const std::wstring& LetName,
                           int32_t LetHandle, bool LetMessage) {
    const HKEY root = RootKey(LetHandle);
    HKEY opened = nullptr;
    // A key that cannot be opened leaves the handle null: the delete then
    // fails with an invalid handle, and that is the status shown.
    if (RegOpenKeyW(root, LetSubKey.c_str(), &opened) != ERROR_SUCCESS)
        opened = nullptr;
    // For an empty path RegOpenKeyW hands back the root itself, which is not ours to close.
    UniqueHkey owned(opened != root ? opened : nullptr);

    const LSTATUS status = RegDeleteValueW(opened, LetName.c_str());
    if (status != ERROR_SUCCESS && LetMessage)
        ShowMessage(Errors::GetErrorText(status), kStyleError);
    return status == ERROR_SUCCESS;
}

bool Register::CreateNewKey(const std::wstring& LetNewSubKey, int32_t LetHandle) {
    try {
        UniqueHkey key;
        return RegCreateKeyExW(RootKey(LetHandle), LetNewSubKey.c_str(), 0, nullptr,
                               REG_OPTION_NON_VOLATILE, kRegisterAccess, nullptr, key.put(),
                               nullptr) == ERROR_SUCCESS;
    } catch (...) {
        return false;
    }
}

std::wstring Register::QueryValue(int32_t LetKeyLocation, const std::wstring& LetKeyName,
                                  const std::wstring& LetValueName) {
    UniqueHkey key;
    RegOpenKeyExW(RootKey(LetKeyLocation), LetKeyName.c_str(), 0, kRegisterAccess, key.put());
    // A value that cannot be read comes back as the 16-bit 0, hence the text "0".
    RegValue value;
    (void)ReadValue(key.get(), LetValueName, value);
    return RegValueText(value);
}

bool Register::KeyIsExist(const std::wstring& LetKey, const std::wstring& LetSubKey,
                          int32_t LetDefFormat, int32_t LetHandle) {
    RegValue marker = kMissingValueMarker;
    const RegValue value = GetValue(LetKey, LetSubKey, marker, LetDefFormat, LetHandle, false);
    // Only an integer can equal the marker: a text value was read, so it
    // exists, whatever digits it holds.
    const auto* number = std::get_if<int32_t>(&value);
    return number == nullptr || *number != kMissingValueMarker;
}

std::wstring Register::GetAllKeyValues(int32_t LetHandle, const std::wstring& key_name) {
    UniqueHkey key;
    if (RegOpenKeyExW(RootKey(LetHandle), key_name.c_str(), 0, kRegisterAccess, key.put()) !=
        ERROR_SUCCESS)
        return {};
    std::wstring result;
    std::wstring name;
    std::wstring data;
    for (DWORD index = 0; EnumValue(key.get(), index, name, data) == ERROR_SUCCESS; ++index) {
        result += name;
        result += L'\t';
        result += data;
        result += L"\r\n";
    }
    return result;
}

std::wstring Register::ExtractFileName(const std::wstring& path, std::wstring& folder) {
    return tolv::ExtractFileName(path, folder);
}

LSTATUS Register::ReadValue(HKEY key, const std::wstring& name, RegValue& output) {
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExW(key, name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) {
        if (type == REG_SZ)
            output = std::monostate{};
        else
            output = int16_t{0};
        return ERROR_FILE_NOT_FOUND;
    }

    if (type == REG_SZ || type == REG_BINARY) {
        std::vector<BYTE> bytes(size);
        if (RegQueryValueExW(key, name.c_str(), nullptr, nullptr, bytes.data(), &size) !=
            ERROR_SUCCESS) {
            output = std::monostate{};
            return ERROR_FILE_NOT_FOUND;
        }
        // The last character goes: for REG_SZ its terminating NUL.
        if (type == REG_SZ) {
            std::wstring text = WideFromBytes(bytes, size);
            if (!text.empty())
                text.pop_back();
            output = std::move(text);
        } else {
            output = TextFromAnsiBytes(bytes, size);
        }
        return ERROR_SUCCESS;
    }

    if (type == REG_DWORD) {
        // A value stored with fewer bytes fills only the low ones; one with
        // more does not fit and counts as unreadable.
        DWORD number = 0;
        DWORD numberSize = sizeof number;
        if (RegQueryValueExW(key, name.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(&number),
                             &numberSize) != ERROR_SUCCESS)
            return ERROR_FILE_NOT_FOUND;
        output = static_cast<int32_t>(number);
        return ERROR_SUCCESS;
    }

    // Other types are not read: the output stays as it was.
    return ERROR_SUCCESS;
}

} // namespace tolv
