#include "core/General.h"

#include "core/Text.h"

namespace tolv {

std::wstring FormatParams(std::wstring& templateText, const std::vector<FormatValue>& values) {
    size_t counter = 0;
    for (const FormatValue& value : values) {
        ++counter;
        const std::wstring placeholder = L"%" + std::to_wstring(counter);
        std::wstring result;
        size_t from = 0;
        // Replaced text is not searched again within the same step.
        for (size_t at; (at = templateText.find(placeholder, from)) != std::wstring::npos;
             from = at + placeholder.size()) {
            result.append(templateText, from, at - from);
            result += value.text;
        }
        result.append(templateText, from);
        templateText = std::move(result);
    }
    return templateText;
}

std::wstring CutAtNull(const std::wstring& text) {
    std::wstring_view view = text;
    return std::wstring(TrimBlanks(view.substr(0, view.find(L'\0'))));
}

std::wstring AddBackslash(std::wstring& path, bool inPlace) {
    std::wstring result = path;
    if (result.empty() || result.back() != L'\\')
        result += L'\\';
    if (inPlace)
        path = result;
    return result;
}

std::wstring SplitPath(const std::wstring& path, std::wstring& folder) {
    size_t last = path.rfind(L'\\');
    if (last == std::wstring::npos || last + 1 == path.size()) {
        folder.clear();
        return path;
    }
    folder = path.substr(0, last + 1);
    return path.substr(last + 1);
}

} // namespace tolv
