#include "windows/base/StringConvert.h"

#include <windows.h>

namespace tolv {

std::wstring ToWide(unsigned codePage, std::string_view bytes) {
    if (bytes.empty())
        return {};
    const int count = static_cast<int>(bytes.size());
    int n = MultiByteToWideChar(codePage, 0, bytes.data(), count, nullptr, 0);
    std::wstring result(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(codePage, 0, bytes.data(), count, result.data(), n);
    return result;
}

std::string FromWide(unsigned codePage, std::wstring_view text) {
    if (text.empty())
        return {};
    const int count = static_cast<int>(text.size());
    int n = WideCharToMultiByte(codePage, 0, text.data(), count, nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(codePage, 0, text.data(), count, result.data(), n, nullptr, nullptr);
    return result;
}

std::wstring Utf8ToWide(std::string_view text) {
    return ToWide(CP_UTF8, text);
}

std::string WideToUtf8(std::wstring_view text) {
    return FromWide(CP_UTF8, text);
}

} // namespace tolv
