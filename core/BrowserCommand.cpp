#include "core/BrowserCommand.h"

#include "core/General.h"

namespace tolv {

namespace {

constexpr wchar_t kQuote = L'"';

bool KeptInUrl(char32_t c) {
    if ((c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z') || (c >= L'0' && c <= L'9'))
        return true;
    return std::u32string_view(U"-._~!$&'()*+,;=:@/").find(c) != std::u32string_view::npos;
}

void AppendPercentEncoded(std::wstring& out, char32_t c) {
    unsigned char bytes[4];
    int count = 0;
    if (c < 0x80) {
        bytes[count++] = static_cast<unsigned char>(c);
    } else if (c < 0x800) {
        bytes[count++] = static_cast<unsigned char>(0xC0 | (c >> 6));
        bytes[count++] = static_cast<unsigned char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        bytes[count++] = static_cast<unsigned char>(0xE0 | (c >> 12));
        bytes[count++] = static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F));
        bytes[count++] = static_cast<unsigned char>(0x80 | (c & 0x3F));
    } else {
        bytes[count++] = static_cast<unsigned char>(0xF0 | (c >> 18));
        bytes[count++] = static_cast<unsigned char>(0x80 | ((c >> 12) & 0x3F));
        bytes[count++] = static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F));
        bytes[count++] = static_cast<unsigned char>(0x80 | (c & 0x3F));
    }
    static constexpr wchar_t kHex[] = L"0123456789ABCDEF";
    for (int i = 0; i < count; ++i) {
        out += L'%';
        out += kHex[bytes[i] >> 4];
        out += kHex[bytes[i] & 0x0F];
    }
}

// The next code point; on Windows wchar_t is UTF-16, elsewhere UTF-32. A lone
// surrogate becomes U+FFFD.
char32_t NextCodePoint(std::wstring_view text, size_t& i) {
    char32_t c = static_cast<char32_t>(text[i++]);
    if constexpr (sizeof(wchar_t) == 2) {
        if (c >= 0xD800 && c <= 0xDBFF && i < text.size()) {
            char32_t low = static_cast<char32_t>(text[i]);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                ++i;
                return 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
            }
        }
    }
    if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF)
        return 0xFFFD;
    return c;
}

} // namespace

std::wstring BrowserArguments(bool separateFrame, const std::wstring& pdfFile, int32_t width,
                              int32_t height, int32_t posX, int32_t posY) {
    std::wstring result;
    if (separateFrame) {
        std::wstring frame = L" --chrome-frame --window-size=%1,%2 --window-position=%3,%4 ";
        result = FormatParams(frame, {width, height, posX, posY});
        result += L" --app=";
        result += kQuote;
        result += AppValue(pdfFile);
        result += kQuote;
    } else {
        result = L" ";
        result += kQuote;
        result += pdfFile;
        result += kQuote;
    }
    return result;
}

bool BrowserMisreadsAsApp(std::wstring_view path) {
    for (size_t i = 0; i < path.size(); ++i) {
        wchar_t c = path[i];
        if (static_cast<char32_t>(c) >= 0x80 || c == L'#' || c == L'%' || c == L'?')
            return true;
        if (c == L'\\' && i + 1 < path.size() && (path[i + 1] == L'x' || path[i + 1] == L'X'))
            return true;
    }
    return false;
}

std::wstring AppValue(std::wstring_view pdfFile) {
    return BrowserMisreadsAsApp(pdfFile) ? FileUrl(pdfFile) : std::wstring(pdfFile);
}

std::wstring FileUrl(std::wstring_view path) {
    std::wstring url = L"file:///";
    if (path.starts_with(L"\\\\?\\UNC\\")) {
        path.remove_prefix(8);
        url = L"file://";
    } else if (path.starts_with(L"\\\\?\\")) {
        path.remove_prefix(4);
    } else if (path.starts_with(L"\\\\")) {
        path.remove_prefix(2);
        url = L"file://";
    }
    for (size_t i = 0; i < path.size();) {
        char32_t c = NextCodePoint(path, i);
        if (c == L'\\')
            c = L'/';
        if (KeptInUrl(c))
            url += static_cast<wchar_t>(c);
        else
            AppendPercentEncoded(url, c);
    }
    return url;
}

} // namespace tolv
