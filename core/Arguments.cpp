#include "core/Arguments.h"
#include "core/Text.h"

namespace tolv {

std::wstring ArgumentText(std::wstring_view commandLine) {
    // The program's name ends at the closing quote when it is quoted, else at
    // the first blank, the way Windows itself reads argv[0].
    size_t end = 0;
    if (!commandLine.empty() && commandLine.front() == L'"') {
        size_t close = commandLine.find(L'"', 1);
        end = close == std::wstring_view::npos ? commandLine.size() : close + 1;
    } else {
        end = commandLine.find_first_of(L" \t");
        if (end == std::wstring_view::npos)
            end = commandLine.size();
    }
    // "Run as administrator" starts the program with a blank after its name;
    // that must still be an empty argument text, so blanks at the ends go.
    return std::wstring(TrimBlanks(commandLine.substr(end)));
}

std::wstring ReportPath(std::wstring_view argumentText) {
    if (argumentText.size() >= 2 && argumentText.front() == L'"' && argumentText.back() == L'"')
        argumentText = argumentText.substr(1, argumentText.size() - 2);
    return std::wstring(argumentText);
}

std::optional<std::wstring> SignatureInfoPath(std::wstring_view argumentText) {
    const std::wstring_view word = kSignatureInfoSwitch;
    if (!argumentText.starts_with(word) || argumentText.size() <= word.size())
        return std::nullopt;
    const wchar_t next = argumentText[word.size()];
    if (next != L' ' && next != L'\t')
        return std::nullopt;
    const std::wstring_view rest = TrimBlanks(argumentText.substr(word.size()));
    if (rest.empty())
        return std::nullopt;
    return ReportPath(rest);
}

} // namespace tolv
