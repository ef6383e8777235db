#pragma once
// Encodings that expat does not know itself, read through the converter of the
// system the reader runs on: MultiByteToWideChar with a code page on Windows
// (Encodings_win.cpp), iconv on Linux (Encodings_posix.cpp). The system's own
// converter reads what its other programs read, with no tables of ours to keep
// up to date. This file holds the part both share: the names, the byte map that
// expat wants, and the rules for what is refused.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include <expat.h>

namespace tolv::report {

// Where each platform's converter finds one encoding.
struct ConverterName {
    unsigned codePage = 0; // Windows; 0 when Windows has none for it
    std::string iconvName; // iconv; empty when the name cannot be one

    bool operator==(const ConverterName&) const = default;
};

// The declared name (any letter case, with or without '-', '_', '.') looked up
// among the usual names and aliases; cpNNN, windows-NNN, ibmNNN and the like
// give code page NNN. Any other well-formed name goes to iconv as it is.
ConverterName FindConverterName(std::string_view declared);

// One encoding opened with the platform's converter.
class ByteConverter {
public:
    enum class Result { Character, Incomplete, Invalid };
    virtual ~ByteConverter() = default;
    // Reads the size bytes at data as exactly one character: Incomplete when
    // they are the start of a longer one, Invalid when they are not one character.
    virtual Result Decode(const std::uint8_t* data, std::size_t size, std::uint32_t& code) = 0;
};

// nullptr when the platform has no converter for the encoding.
std::unique_ptr<ByteConverter> OpenByteConverter(const ConverterName& name);

// The map that expat's unknown-encoding handler hands over.
struct EncodingMap {
    // >= 0: the byte is that character; -1: never valid; -2..-4: first byte of
    // a character of that many bytes.
    int map[256] = {};
    bool multiByte = false;
    // Some character of more than one byte has a byte below 0x80 after its
    // first: an ASCII letter in the raw bytes may then be half a character.
    bool asciiTrailBytes = false;
};

// nullptr when expat cannot read the encoding: an ASCII byte that does not
// stand for itself (EBCDIC, UTF-7, UTF-16 and UTF-32 declared on 8-bit text,
// shift sequences), or characters whose length the first byte does not tell.
std::unique_ptr<EncodingMap> BuildEncodingMap(ByteConverter& converter, unsigned codePage);

// What the reader learns from the document's encoding declaration.
struct DeclaredEncoding {
    std::string name; // as declared; empty when expat knew the encoding itself
    // Runs of plain ASCII bytes are whole characters wherever they start.
    bool plainRunsAreText = true;
};

// For XML_SetUnknownEncodingHandler, with a DeclaredEncoding as data.
int XMLCALL UnknownEncodingHandler(void* declared, const XML_Char* name, XML_Encoding* info);

} // namespace tolv::report
