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

// C0, DEL and C1, and the marks that change the direction of what follows
// (U+061C, U+200E-U+200F, U+202A-U+202E, U+2066-U+2069): a terminal that
// lays out right-to-left text would show a name reversed, or a field of the
// line where another stands.
bool IsControl(std::string_view character) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(character[i]); };
    switch (character.size()) {
    case 1:
        return byte(0) < 0x20 || byte(0) == 0x7F || (byte(0) >= 0x80 && byte(0) <= 0x9F);
    case 2:
        return (byte(0) == 0xC2 && byte(1) <= 0x9F) || (byte(0) == 0xD8 && byte(1) == 0x9C);
    case 3:
        return byte(0) == 0xE2 && ((byte(1) == 0x80 && (byte(2) == 0x8E || byte(2) == 0x8F ||
                                                        (byte(2) >= 0xAA && byte(2) <= 0xAE))) ||
                                   (byte(1) == 0x81 && byte(2) >= 0xA6 && byte(2) <= 0xA9));
    default:
        return false;
    }
}

} // namespace

std::optional<ControlCharacter> ControlAt(std::string_view text, std::size_t at) {
    const std::size_t length = CharacterLength(text, at);
    if (length == 0 || !IsControl(text.substr(at, length)))
        return std::nullopt;
    static constexpr unsigned char kLeadBits[] = {0, 0x7F, 0x1F, 0x0F, 0x07};
    char32_t point = static_cast<unsigned char>(text[at]) & kLeadBits[length];
    for (std::size_t i = at + 1; i < at + length; ++i)
        point = point << 6 | (static_cast<unsigned char>(text[i]) & 0x3F);
    return ControlCharacter{point, length};
}

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
