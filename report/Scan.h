#pragma once
// Fast scans over the raw bytes of a report in an ASCII-compatible encoding.

#include <cstddef>
#include <cstdint>

namespace tolv::report {

// True for the bytes of plain Base64 text: the alphabet, '=', space, tab, CR and LF.
// A run of them holds no markup, no reference and nothing that changes whether
// the document is well-formed.
bool IsPlainByte(std::uint8_t byte);

// Length of the run of plain bytes at the start of data.
std::size_t PlainRunLength(const std::uint8_t* data, std::size_t size);

// The first byte at or after data that is a control character, a space or
// (read as a signed byte) not ASCII; end when there is none.
const std::uint8_t* FindBlankOrControl(const std::uint8_t* data, const std::uint8_t* end);

// Line and column of a point in a document, counted as the XML parser counts
// them: CR LF, CR and LF each end a line; columns count from 0.
struct TextPosition {
    std::uint64_t line = 1;
    std::uint64_t column = 0;
    bool afterCr = false;
    std::uint64_t columnBeforeCr = 0; // where the line that the last CR ended stopped

    void Advance(std::uint64_t columns) {
        column += columns;
        afterCr = false;
    }
    void Cr() {
        ++line;
        columnBeforeCr = column;
        column = 0;
        afterCr = true;
    }
    void Lf() {
        if (!afterCr)
            ++line;
        column = 0;
        afterCr = false;
    }
};

// Moves position over plain bytes.
void AdvanceOverPlain(const std::uint8_t* data, std::size_t size, TextPosition& position);

// Copies plain bytes to out without their CR and LF, in blocks of 64 as long
// as a block holds no space or tab, and moves position over what it took.
// Returns how many bytes it took (a multiple of 64, at most size); stored
// tells how many went to out, which must have room for size bytes. Takes
// nothing where the processor lacks AVX-512 VBMI2.
std::size_t CopyTextOfLines(const std::uint8_t* data, std::size_t size, std::uint8_t* out,
                            std::size_t& stored, TextPosition& position);

} // namespace tolv::report
