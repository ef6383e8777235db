#include "core/Text.h"

namespace tolv {

namespace {
template <class Char> std::basic_string_view<Char> Trim(std::basic_string_view<Char> text) {
    auto isBlank = [](Char c) { return c == Char(' ') || c == Char('\t'); };
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}
} // namespace

std::string_view TrimBlanks(std::string_view text) {
    return Trim(text);
}
std::wstring_view TrimBlanks(std::wstring_view text) {
    return Trim(text);
}

std::wstring ExpandLineBreaks(std::wstring_view text) {
    std::wstring result;
    result.reserve(text.size() + 8);
    for (wchar_t c : text) {
        if (c == L'_')
            result += L"\r\n";
        else
            result += c;
    }
    return result;
}

} // namespace tolv
