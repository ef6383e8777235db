#include "windows/base/MessageBox.h"

#include "windows/base/StringConvert.h"

#include <stdexcept>

namespace tolv {

int ShowMessage(const std::wstring& text, unsigned style, const wchar_t* caption, HWND owner) {
    if (caption == nullptr || *caption == L'\0')
        caption = kAppTitle;
    return MessageBoxW(owner, text.c_str(), caption, style);
}

std::wstring BoxText(std::string_view lines) {
    std::wstring text;
    for (wchar_t c : Utf8ToWide(lines)) {
        if (c == L'\n')
            text += L'\r';
        text += c;
    }
    return text;
}

std::wstring LoadResString(unsigned id) {
    // With a zero buffer length LoadStringW hands back a pointer into the
    // resource itself, so no string is ever cut short.
    const wchar_t* text = nullptr;
    int length = LoadStringW(GetModuleHandleW(nullptr), id, reinterpret_cast<LPWSTR>(&text), 0);
    if (length <= 0 || text == nullptr)
        throw std::runtime_error("Programın metin kaynağı bulunamadı: " + std::to_string(id));
    return std::wstring(text, static_cast<size_t>(length));
}

} // namespace tolv
