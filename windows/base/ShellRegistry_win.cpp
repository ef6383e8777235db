#include "windows/base/ShellRegistry.h"

#include "windows/base/Handles.h"

#include <array>
#include <cstring>
#include <string_view>

namespace tolv {

namespace {

struct ParsedPath {
    HKEY root = nullptr;
    std::wstring subKey;
    std::wstring valueName; // empty: the key's default value
};

bool EqualsIgnoringCase(std::wstring_view a, std::wstring_view b) {
    return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                                static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

HKEY RootByName(std::wstring_view name) {
    struct Root {
        const wchar_t* name;
        HKEY key;
    };
    static const std::array<Root, 8> roots{{
        {L"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
        {L"HKLM", HKEY_LOCAL_MACHINE},
        {L"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
        {L"HKCU", HKEY_CURRENT_USER},
        {L"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
        {L"HKCR", HKEY_CLASSES_ROOT},
        {L"HKEY_USERS", HKEY_USERS},
        {L"HKEY_CURRENT_CONFIG", HKEY_CURRENT_CONFIG},
    }};
    for (const Root& root : roots) {
        if (EqualsIgnoringCase(name, root.name))
            return root.key;
    }
    return nullptr;
}

std::optional<ParsedPath> ParsePath(const std::wstring& path) {
    size_t firstSlash = path.find(L'\\');
    std::wstring_view rootName = std::wstring_view(path).substr(0, firstSlash);
    ParsedPath parsed;
    parsed.root = RootByName(rootName);
    if (parsed.root == nullptr)
        return std::nullopt;
    if (firstSlash == std::wstring::npos)
        return parsed; // a bare root names its default value
    size_t lastSlash = path.rfind(L'\\');
    parsed.subKey = path.substr(firstSlash + 1, lastSlash - firstSlash - 1);
    parsed.valueName = path.substr(lastSlash + 1);
    return parsed;
}

REGSAM ViewFlag(RegistryView view) {
    return view == RegistryView::Wow64_32 ? KEY_WOW64_32KEY : 0;
}

std::optional<std::wstring> TextOf(DWORD type, const std::wstring& data) {
    switch (type) {
    case REG_DWORD: {
        if (data.size() * sizeof(wchar_t) < sizeof(DWORD))
            return std::nullopt;
        int32_t number = 0;
        memcpy(&number, data.data(), sizeof(number));
        return std::to_wstring(number);
    }
    case REG_SZ:
    case REG_EXPAND_SZ:
        // The stored size may or may not count a terminating NUL.
        return data.substr(0, data.find(L'\0'));
    default:
        return std::nullopt;
    }
}

} // namespace

namespace {

struct RawValue {
    DWORD type = REG_NONE;
    std::wstring data;
};

std::optional<RawValue> ReadRaw(const std::wstring& path, RegistryView view) {
    std::optional<ParsedPath> parsed = ParsePath(path);
    if (!parsed)
        return std::nullopt;
    UniqueHkey key;
    if (RegOpenKeyExW(parsed->root, parsed->subKey.c_str(), 0, KEY_QUERY_VALUE | ViewFlag(view),
                      key.put()) != ERROR_SUCCESS)
        return std::nullopt;

    // The value may change size between the two calls: ask again until it fits.
    RawValue value;
    DWORD size = 0;
    LSTATUS status = RegQueryValueExW(key.get(), parsed->valueName.c_str(), nullptr, &value.type,
                                      nullptr, &size);
    while (status == ERROR_SUCCESS || status == ERROR_MORE_DATA) {
        value.data.assign(size / sizeof(wchar_t) + 1, L'\0');
        DWORD capacity = static_cast<DWORD>(value.data.size() * sizeof(wchar_t));
        size = capacity;
        status = RegQueryValueExW(key.get(), parsed->valueName.c_str(), nullptr, &value.type,
                                  reinterpret_cast<BYTE*>(value.data.data()), &size);
        if (status == ERROR_SUCCESS) {
            value.data.resize(size / sizeof(wchar_t));
            return value;
        }
    }
    return std::nullopt;
}

std::optional<std::wstring> ExpandEnvironment(const std::wstring& text) {
    std::wstring expanded;
    DWORD needed = ExpandEnvironmentStringsW(text.c_str(), nullptr, 0);
    while (needed > expanded.size()) {
        expanded.assign(needed, L'\0');
        needed = ExpandEnvironmentStringsW(text.c_str(), expanded.data(),
                                           static_cast<DWORD>(expanded.size()));
    }
    if (needed == 0)
        return std::nullopt;
    expanded.resize(needed - 1); // the count includes the terminating NUL
    return expanded;
}

} // namespace

std::optional<std::wstring> RegRead(const std::wstring& path, RegistryView view) {
    std::optional<RawValue> value = ReadRaw(path, view);
    if (!value)
        return std::nullopt;
    return TextOf(value->type, value->data);
}

std::optional<std::wstring> RegReadExpanded(const std::wstring& path, RegistryView view) {
    std::optional<RawValue> value = ReadRaw(path, view);
    if (!value)
        return std::nullopt;
    std::optional<std::wstring> text = TextOf(value->type, value->data);
    if (text && value->type == REG_EXPAND_SZ)
        return ExpandEnvironment(*text);
    return text;
}

LSTATUS RegWriteDword(const std::wstring& path, int32_t value, RegistryView view) {
    std::optional<ParsedPath> parsed = ParsePath(path);
    if (!parsed)
        return ERROR_INVALID_PARAMETER;
    UniqueHkey key;
    LSTATUS status =
        RegCreateKeyExW(parsed->root, parsed->subKey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_SET_VALUE | ViewFlag(view), nullptr, key.put(), nullptr);
    if (status != ERROR_SUCCESS)
        return status;
    DWORD data = static_cast<DWORD>(value);
    return RegSetValueExW(key.get(), parsed->valueName.c_str(), 0, REG_DWORD,
                          reinterpret_cast<const BYTE*>(&data), sizeof(data));
}

} // namespace tolv
