#include "report/Encodings.h"

#include <windows.h>

namespace tolv::report {
namespace {

// MultiByteToWideChar with the code page. Windows converts code pages of one
// and two bytes a character this way; a two-byte character's first byte is
// one of the code page's lead bytes.
class CodePageConverter : public ByteConverter {
public:
    explicit CodePageConverter(UINT codePage) : codePage_(codePage) {}

    Result Decode(const std::uint8_t* data, std::size_t size, std::uint32_t& code) override {
        const std::size_t length = IsDBCSLeadByteEx(codePage_, data[0]) ? 2 : 1;
        if (size < length)
            return Result::Incomplete;
        if (size > length)
            return Result::Invalid;
        wchar_t wide[2];
        const int n = MultiByteToWideChar(codePage_, MB_ERR_INVALID_CHARS,
                                          reinterpret_cast<const char*>(data), int(size), wide, 2);
        if (n == 1 && (wide[0] < 0xD800 || wide[0] > 0xDFFF)) {
            code = wide[0];
            return Result::Character;
        }
        if (n == 2 && wide[0] >= 0xD800 && wide[0] < 0xDC00 && wide[1] >= 0xDC00 &&
            wide[1] <= 0xDFFF) {
            code = 0x10000 + ((std::uint32_t(wide[0]) - 0xD800) << 10) + (wide[1] - 0xDC00);
            return Result::Character;
        }
        return Result::Invalid;
    }

private:
    UINT codePage_;
};

} // namespace

std::unique_ptr<ByteConverter> OpenByteConverter(const ConverterName& name) {
    // UTF-7 and UTF-8 are no code pages of fixed-length characters.
    if (name.codePage == 0 || name.codePage == CP_UTF7 || name.codePage == CP_UTF8 ||
        !IsValidCodePage(name.codePage))
        return nullptr;
    CPINFO info;
    if (!GetCPInfo(name.codePage, &info) || info.MaxCharSize > 2)
        return nullptr;
    return std::make_unique<CodePageConverter>(name.codePage);
}

} // namespace tolv::report
