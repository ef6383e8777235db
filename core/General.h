#pragma once
// Small stateless helpers of file mode: placeholders and paths. The path
// helpers separate at backslashes only.

#include <concepts>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tolv {

// A value for FormatParams: a text, or a number written in plain decimal.
struct FormatValue {
    FormatValue(const std::wstring& value) : text(value) {}
    FormatValue(std::wstring_view value) : text(value) {}
    FormatValue(const wchar_t* value) : text(value) {}
    template <std::integral Number>
    requires(!std::same_as<Number, bool>) FormatValue(Number value)
        : text(std::to_wstring(value)) {}
    std::wstring text;
};

// Replaces "%1" by the first value, "%2" by the second, ..., each step over the
// whole text, in ascending order. templateText receives the result too.
std::wstring FormatParams(std::wstring& templateText, const std::vector<FormatValue>& values);

// The text before its first NUL, without blanks at either end.
std::wstring CutAtNull(const std::wstring& text);

// The path with one trailing backslash (an empty path gives "\"). With inPlace
// the caller's variable receives the result as well.
std::wstring AddBackslash(std::wstring& path, bool inPlace);

// The file-name part after the last backslash; folder receives the part up to
// and including it. A path without a backslash, or ending in one, is all file
// name and the folder is empty.
std::wstring SplitPath(const std::wstring& path, std::wstring& folder);

} // namespace tolv
