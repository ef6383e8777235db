#include "tools/TerminalText.h"

#include <algorithm>

namespace tolv::tools {

namespace {

// The length of the UTF-8 character at text[at], or 0 where none begins.
std::size_t CharacterLength(std::string_view text, std::size_t at) {
    const unsigned char lead = static_cast<unsigned char>(text[at]);
    const std::size_t length = lead < 0x80                    ? 1
                               : lead >= 0xC2 && lead <= 0xDF ? 2
                               : lead >= 0xE0 && lead <= 0xEF ? 3
                               : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                              : 0;
    if (length == 0 || at + length > text.size())
        return 0;
    for (std::size_t i = at + 1; i < at + length; ++i)
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80)
            return 0;
    return length;
}

bool IsControl(std::string_view character) {
    const unsigned char first = static_cast<unsigned char>(character[0]);
    if (character.size() == 1)
        return first < 0x20 || first == 0x7F || (first >= 0x80 && first <= 0x9F);
    return first == 0xC2 && static_cast<unsigned char>(character[1]) <= 0x9F; // U+0080-U+009F
}

} // namespace

std::string EscapeControls(std::string_view text) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    out.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = std::max<std::size_t>(CharacterLength(text, at), 1);
        const std::string_view character = text.substr(at, length);
        at += length;
        if (!IsControl(character)) {
            out += character;
            continue;
        }
        for (const char c : character) {
            const unsigned char byte = static_cast<unsigned char>(c);
            out += "\\x";
            out += kDigits[byte >> 4];
            out += kDigits[byte & 15];
        }
    }
    return out;
}

} // namespace tolv::tools
