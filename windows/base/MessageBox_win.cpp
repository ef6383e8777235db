#include "windows/base/MessageBox.h"

#include <stdexcept>

namespace tolv {

void ShowMessage(const std::wstring& text, unsigned style, const wchar_t* caption, HWND owner) {
    if (caption == nullptr || *caption == L'\0')
        caption = kAppTitle;
    MessageBoxW(owner, text.c_str(), caption, style | MB_OK);
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
