#include "report/Encodings.h"

#include <algorithm>
#include <array>
#include <map>
#include <mutex>
#include <vector>

namespace tolv::report {
namespace {

// Names as compared: lower case, without '-', '_' and '.'.
std::string Key(std::string_view name) {
    std::string key;
    for (char c : name) {
        if (c == '-' || c == '_' || c == '.')
            continue;
        key += (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
    }
    return key;
}

struct KnownEncoding {
    const char* keys; // separated by spaces
    unsigned codePage;
    const char* iconvName;
};

// The names and aliases that XML declarations use (IANA's list, and what
// Windows programs write). Where Windows reads an encoding with a superset of
// it, as its own XML parser does, the superset is read on both platforms.
const KnownEncoding kKnown[] = {
    {"iso88591 latin1 l1 isoir100 csisolatin1 ibm819 cp819", 28591, "ISO-8859-1"},
    {"iso88592 latin2 l2 isoir101 csisolatin2", 28592, "ISO-8859-2"},
    {"iso88593 latin3 l3 isoir109 csisolatin3", 28593, "ISO-8859-3"},
    {"iso88594 latin4 l4 isoir110 csisolatin4", 28594, "ISO-8859-4"},
    {"iso88595 cyrillic isoir144 csisolatincyrillic", 28595, "ISO-8859-5"},
    {"iso88596 iso88596i iso88596e arabic isoir127 ecma114 csisolatinarabic", 28596, "ISO-8859-6"},
    {"iso88597 greek greek8 isoir126 elot928 ecma118 csisolatingreek", 28597, "ISO-8859-7"},
    {"iso88598 iso88598i iso88598e hebrew isoir138 csisolatinhebrew", 28598, "ISO-8859-8"},
    {"iso88599 latin5 l5 isoir148 csisolatin5", 28599, "ISO-8859-9"},
    {"iso885910 latin6 l6 isoir157 csisolatin6", 0, "ISO-8859-10"},
    {"iso885911 tis620 tis6200 tis62025291 tis62025330", 874, "TIS-620"},
    {"iso885913 latin7 l7", 28603, "ISO-8859-13"},
    {"iso885914 latin8 l8 isoceltic isoir199", 0, "ISO-8859-14"},
    {"iso885915 latin9 l9 latin0 csisolatin9", 28605, "ISO-8859-15"},
    {"iso885916 latin10 l10 isoir226", 0, "ISO-8859-16"},
    {"usascii ascii us iso646us csascii ansix341968 ibm367 cp367", 20127, "ASCII"},
    {"koi8r cskoi8r koi", 20866, "KOI8-R"},
    {"koi8u", 21866, "KOI8-U"},
    {"macintosh mac macroman xmacroman csmacintosh", 10000, "MACINTOSH"},
    {"shiftjis sjis xsjis mskanji csshiftjis windows31j cswindows31j", 932, "CP932"},
    {"eucjp xeucjp cseucpkdfmtjapanese", 20932, "EUC-JP"},
    // EUC-KR as UHC (code page 949), which contains it: Korean programs label
    // UHC text EUC-KR, and Windows and the browsers read it so.
    {"euckr cseuckr xeuckr ksc56011987 ksc56011989 ksc5601 korean csksc56011987 isoir149 uhc", 949,
     "CP949"},
    // GB2312 as GBK, as Windows and the browsers read it.
    {"gbk xgbk gb2312 csgb2312 gb231280 chinese euccn xeuccn isoir58", 936, "GBK"},
    {"big5 csbig5 xxbig5 cnbig5 big5tw", 950, "CP950"},
};

bool HasKey(const char* keys, const std::string& key) {
    std::string_view rest(keys);
    while (!rest.empty()) {
        const std::size_t space = rest.find(' ');
        if (rest.substr(0, space) == key)
            return true;
        if (space == std::string_view::npos)
            break;
        rest.remove_prefix(space + 1);
    }
    return false;
}

// cp1254, windows-1254, ibm-857, x-cp1251, ms932, dos-866: code pages by number.
bool NumberedCodePage(const std::string& key, ConverterName& name) {
    for (std::string_view prefix : {"windows", "xcp", "cp", "ibm", "ms", "dos"}) {
        if (key.size() <= prefix.size() || key.compare(0, prefix.size(), prefix) != 0)
            continue;
        const std::string digits = key.substr(prefix.size());
        if (digits.size() > 5 || digits.find_first_not_of("0123456789") != std::string::npos)
            return false;
        // Below 37 lie the system's stand-ins (the ANSI and OEM code pages...).
        const unsigned number = unsigned(std::stoul(digits));
        if (number < 37)
            return false;
        name.codePage = number;
        name.iconvName = "CP" + digits;
        return true;
    }
    return false;
}

// The XML name of an encoding: a letter, then letters, digits, '.', '_', '-'.
bool IsEncodingName(std::string_view name) {
    if (name.empty() || name.size() > 64)
        return false;
    for (std::size_t i = 0; i < name.size(); ++i) {
        const char c = name[i];
        const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
        const bool other = (c >= '0' && c <= '9') || c == '.' || c == '_' || c == '-';
        if (!letter && (i == 0 || !other))
            return false;
    }
    return true;
}

// Longest character in bytes; beyond it expat reads nothing.
constexpr std::size_t kMaxCharBytes = 4;
// Prefixes followed one level further while a first byte's length is measured;
// more would mean an encoding too loose to tell lengths by the first byte.
constexpr std::size_t kMaxPrefixes = 256;

// The length of every character that begins with lead, tried with every
// following byte: 0 when none does, -1 when lengths differ (GB18030's two and
// four bytes, say) or go beyond four.
int LeadLength(ByteConverter& converter, std::uint8_t lead, bool& asciiTrail) {
    using Sequence = std::array<std::uint8_t, kMaxCharBytes>;
    std::vector<Sequence> prefixes{Sequence{lead}};
    for (std::size_t length = 2; length <= kMaxCharBytes; ++length) {
        std::vector<Sequence> longer;
        bool complete = false;
        for (const Sequence& prefix : prefixes) {
            Sequence bytes = prefix;
            for (unsigned next = 0; next < 256; ++next) {
                bytes[length - 1] = std::uint8_t(next);
                std::uint32_t code;
                switch (converter.Decode(bytes.data(), length, code)) {
                case ByteConverter::Result::Character:
                    complete = true;
                    for (std::size_t i = 1; i < length; ++i)
                        asciiTrail = asciiTrail || bytes[i] < 0x80;
                    break;
                case ByteConverter::Result::Incomplete:
                    longer.push_back(bytes);
                    break;
                case ByteConverter::Result::Invalid:
                    break;
                }
            }
        }
        if (complete)
            return longer.empty() ? int(length) : -1;
        if (longer.empty())
            return 0;
        if (longer.size() > kMaxPrefixes)
            return -1;
        prefixes = std::move(longer);
    }
    return -1;
}

// UTF-8 under the other names that declarations give it. expat knows only
// "UTF-8" itself, and the walk of LeadLength gives up on its four-byte
// characters, so its map comes from the rule and its characters are decoded
// here, the same on every platform.
constexpr char kUtf8Keys[] = "utf8 cp65001 unicode11utf8";
constexpr unsigned kUtf8CodePage = 65001;

bool IsUtf8(const ConverterName& name) {
    return name.codePage == kUtf8CodePage && name.iconvName == "UTF-8";
}

// The length of the character that lead begins, 0 when no character does.
int Utf8Length(std::uint8_t lead) {
    if (lead < 0x80)
        return 1;
    if (lead < 0xC2)
        return 0; // a trail byte, or the start of an overlong form
    if (lead < 0xE0)
        return 2;
    if (lead < 0xF0)
        return 3;
    return lead < 0xF5 ? 4 : 0;
}

class Utf8Converter : public ByteConverter {
public:
    Result Decode(const std::uint8_t* data, std::size_t size, std::uint32_t& code) override {
        const int length = Utf8Length(data[0]);
        if (length == 0 || size > std::size_t(length))
            return Result::Invalid;
        std::uint32_t c = length == 1 ? data[0] : data[0] & (0x7Fu >> length);
        for (std::size_t i = 1; i < size; ++i) {
            if ((data[i] & 0xC0) != 0x80)
                return Result::Invalid;
            c = c << 6 | (data[i] & 0x3Fu);
        }
        if (size < std::size_t(length))
            return Result::Incomplete;
        constexpr std::uint32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
        if (c < kLeast[length] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
            return Result::Invalid;
        code = c;
        return Result::Character;
    }
};

std::shared_ptr<const EncodingMap> Utf8Map() {
    auto map = std::make_shared<EncodingMap>();
    for (unsigned byte = 0; byte < 256; ++byte) {
        const int length = Utf8Length(std::uint8_t(byte));
        map->map[byte] = length == 1 ? int(byte) : length == 0 ? -1 : -length;
    }
    map->multiByte = true;
    return map;
}

std::unique_ptr<ByteConverter> OpenConverter(const ConverterName& name) {
    if (IsUtf8(name))
        return std::make_unique<Utf8Converter>();
    return OpenByteConverter(name);
}

// Maps are built once per encoding and process: a multi-byte one takes tens of
// thousands of calls of the converter.
struct MapCache {
    std::mutex mutex;
    std::map<std::pair<unsigned, std::string>, std::shared_ptr<const EncodingMap>> maps;
};

std::shared_ptr<const EncodingMap> MapFor(const ConverterName& name) {
    if (IsUtf8(name)) {
        static const std::shared_ptr<const EncodingMap> utf8 = Utf8Map();
        return utf8;
    }
    static MapCache cache;
    const std::lock_guard lock(cache.mutex);
    const auto key = std::make_pair(name.codePage, name.iconvName);
    const auto found = cache.maps.find(key);
    if (found != cache.maps.end())
        return found->second;
    std::shared_ptr<const EncodingMap> map;
    if (auto converter = OpenByteConverter(name))
        map = BuildEncodingMap(*converter, name.codePage);
    cache.maps.emplace(key, map);
    return map;
}

// expat's convert callback for characters of more than one byte.
struct MultiByteState {
    std::unique_ptr<ByteConverter> converter;
    std::shared_ptr<const EncodingMap> map;
};

int XMLCALL ConvertCharacter(void* data, const char* bytes) {
    auto* state = static_cast<MultiByteState*>(data);
    const auto* s = reinterpret_cast<const std::uint8_t*>(bytes);
    const int length = -state->map->map[s[0]];
    std::uint32_t code = 0;
    if (length < 2 ||
        state->converter->Decode(s, std::size_t(length), code) != ByteConverter::Result::Character)
        return -1;
    // As for single bytes, an ASCII character only as its own byte; expat
    // takes characters beyond U+FFFF in such encodings as invalid itself.
    return code < 0x80 || code > 0x10FFFF ? -1 : int(code);
}

void XMLCALL ReleaseState(void* data) {
    delete static_cast<MultiByteState*>(data);
}

} // namespace

ConverterName FindConverterName(std::string_view declared) {
    ConverterName name;
    if (!IsEncodingName(declared))
        return name;
    const std::string key = Key(declared);
    if (HasKey(kUtf8Keys, key)) {
        name.codePage = kUtf8CodePage;
        name.iconvName = "UTF-8";
        return name;
    }
    for (const KnownEncoding& known : kKnown) {
        if (HasKey(known.keys, key)) {
            name.codePage = known.codePage;
            name.iconvName = known.iconvName;
            return name;
        }
    }
    if (!NumberedCodePage(key, name))
        name.iconvName = std::string(declared);
    return name;
}

std::unique_ptr<EncodingMap> BuildEncodingMap(ByteConverter& converter, unsigned codePage) {
    auto result = std::make_unique<EncodingMap>();
    for (unsigned byte = 0; byte < 256; ++byte) {
        const std::uint8_t b = std::uint8_t(byte);
        std::uint32_t code = 0;
        const ByteConverter::Result r = converter.Decode(&b, 1, code);
        int& entry = result->map[byte];
        if (byte < 0x80) {
            if (r != ByteConverter::Result::Character || code != byte)
                return nullptr;
            entry = int(byte);
        } else if (r == ByteConverter::Result::Character) {
            // expat accepts an ASCII character only as its own byte.
            entry = code < 0x80 || code > 0xFFFF ? -1 : int(code);
        } else if (r == ByteConverter::Result::Invalid) {
            // Windows reads the bytes 0x80-0x9F that its code pages leave
            // undefined as the C1 control of the same number; iconv refuses
            // them. Where Windows has the code page, both read them so.
            const bool windowsGap = codePage != 0 && byte < 0xA0;
            entry = windowsGap ? int(byte) : -1;
        } else {
            const int length = LeadLength(converter, b, result->asciiTrailBytes);
            if (length < 0)
                return nullptr;
            entry = length == 0 ? -1 : -length;
            result->multiByte = result->multiByte || length > 0;
        }
    }
    return result;
}

int XMLCALL UnknownEncodingHandler(void* declared, const XML_Char* name, XML_Encoding* info) {
    auto* encoding = static_cast<DeclaredEncoding*>(declared);
    info->data = nullptr;
    info->convert = nullptr;
    info->release = nullptr;
    try {
        encoding->name = name;
        const std::shared_ptr<const EncodingMap> map = MapFor(FindConverterName(name));
        if (!map)
            return XML_STATUS_ERROR;
        std::copy(std::begin(map->map), std::end(map->map), info->map);
        if (map->multiByte) {
            auto state = std::make_unique<MultiByteState>();
            state->converter = OpenConverter(FindConverterName(name));
            if (!state->converter)
                return XML_STATUS_ERROR;
            state->map = map;
            info->data = state.release();
            info->convert = ConvertCharacter;
            info->release = ReleaseState;
        }
        // The reader takes runs of plain bytes around the parser only where
        // such a run cannot begin inside a character. At a character boundary
        // an ASCII byte is always a whole character, but runs are looked for in
        // the raw bytes; where a trail byte may be an ASCII letter (Shift_JIS,
        // GBK, Big5, UHC), a run found there may start with the second half of
        // a character. In EUC-JP as iconv reads it every trail byte is 0xA1 or
        // more, so any ASCII byte begins a character and the fast path stays on;
        // Windows' EUC-JP (code page 20932) has 7-bit trail bytes, so not there.
        encoding->plainRunsAreText = !map->asciiTrailBytes;
        return XML_STATUS_OK;
    } catch (...) {
        return XML_STATUS_ERROR;
    }
}

} // namespace tolv::report
