#include "core/RegValue.h"

#include "core/Text.h"

#include <climits>

namespace tolv {

namespace {
struct TextForm {
    std::wstring operator()(std::monostate) const { return {}; }
    std::wstring operator()(int16_t number) const { return std::to_wstring(number); }
    std::wstring operator()(int32_t number) const { return std::to_wstring(number); }
    std::wstring operator()(const std::wstring& text) const { return text; }
};

// Spaces only, unlike TrimBlanks: a tab stays part of the file name.
std::wstring_view TrimSpaces(std::wstring_view text) {
    while (!text.empty() && text.front() == L' ')
        text.remove_prefix(1);
    while (!text.empty() && text.back() == L' ')
        text.remove_suffix(1);
    return text;
}

bool ParseInt32(std::wstring_view text, int32_t& number) {
    text = TrimBlanks(text);
    size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == L'-' || text[i] == L'+'))
        negative = text[i++] == L'-';
    if (i == text.size())
        return false;
    long long value = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < L'0' || text[i] > L'9')
            return false;
        value = value * 10 + (text[i] - L'0');
        if (value > 1LL + INT32_MAX)
            return false;
    }
    if (negative)
        value = -value;
    if (value < INT32_MIN || value > INT32_MAX)
        return false;
    number = static_cast<int32_t>(value);
    return true;
}
} // namespace

std::wstring RegValueText(const RegValue& value) {
    return std::visit(TextForm{}, value);
}

bool RegValueToInt32(const RegValue& value, int32_t& number) {
    if (const auto* text = std::get_if<std::wstring>(&value))
        return ParseInt32(*text, number);
    if (const auto* small = std::get_if<int16_t>(&value))
        number = *small;
    else if (const auto* large = std::get_if<int32_t>(&value))
        number = *large;
    else
        number = 0;
    return true;
}

std::wstring ExtractFileName(std::wstring_view path, std::wstring& folder) {
    size_t slash = path.rfind(L'\\');
    std::wstring_view tail = slash == std::wstring_view::npos ? path : path.substr(slash + 1);
    std::wstring name(TrimSpaces(tail));

    // The folder is what remains once the name is taken out everywhere (an empty
    // name takes nothing out).
    folder.assign(path);
    if (!name.empty()) {
        for (size_t at = folder.find(name); at != std::wstring::npos; at = folder.find(name, at))
            folder.erase(at, name.size());
    }

    if (!name.empty() && name.back() == L'\0')
        name.pop_back();
    return name;
}

} // namespace tolv
