#pragma once
// Text from a report or a file system on its way to a terminal: a
// certificate's name or a file's could otherwise clear the line, move the
// cursor or hide what follows, and make an altered report read "intact".

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace tolv::tools {

// Each C0 and C1 control character, DEL and each mark of text direction as
// \xNN (lower case), byte by byte of its UTF-8 (U+009B as \xc2\x9b, U+202E
// as \xe2\x80\xae), as ls shows names; so is a byte that is no part of a
// UTF-8 character and would be a C1 control on its own. A tab is escaped
// too: it separates the fields of a line.
std::string EscapeControls(std::string_view text);

// The control character or direction mark EscapeControls would escape that
// begins at text[at], when it is a whole UTF-8 character: its code point and
// its length in bytes.
struct ControlCharacter {
    char32_t codePoint;
    std::size_t length;
};
std::optional<ControlCharacter> ControlAt(std::string_view text, std::size_t at);

} // namespace tolv::tools
