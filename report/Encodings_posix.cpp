#include "report/Encodings.h"

#include <cerrno>
#include <iconv.h>

namespace tolv::report {
namespace {

// glibc's iconv. Each call starts from the initial state, so a shift sequence
// (ISO-2022, UTF-7) never carries over from one character to the next.
class IconvConverter : public ByteConverter {
public:
    explicit IconvConverter(iconv_t cd) : cd_(cd) {}
    ~IconvConverter() override { iconv_close(cd_); }
    IconvConverter(const IconvConverter&) = delete;
    IconvConverter& operator=(const IconvConverter&) = delete;

    Result Decode(const std::uint8_t* data, std::size_t size, std::uint32_t& code) override {
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        char* in = const_cast<char*>(reinterpret_cast<const char*>(data));
        std::size_t inLeft = size;
        unsigned char out[8];
        char* outPos = reinterpret_cast<char*>(out);
        std::size_t outLeft = sizeof out;
        if (iconv(cd_, &in, &inLeft, &outPos, &outLeft) == std::size_t(-1))
            return errno == EINVAL ? Result::Incomplete : Result::Invalid;
        // Some converters hold a character back until they know what follows.
        if (iconv(cd_, nullptr, nullptr, &outPos, &outLeft) == std::size_t(-1))
            return Result::Invalid;
        if (sizeof out - outLeft != 4)
            return Result::Invalid; // none, or more than one character
        code = std::uint32_t(out[0]) | std::uint32_t(out[1]) << 8 | std::uint32_t(out[2]) << 16 |
               std::uint32_t(out[3]) << 24;
        return Result::Character;
    }

private:
    iconv_t cd_;
};

} // namespace

std::unique_ptr<ByteConverter> OpenByteConverter(const ConverterName& name) {
    if (name.iconvName.empty())
        return nullptr;
    const iconv_t cd = iconv_open("UTF-32LE", name.iconvName.c_str());
    if (cd == iconv_t(-1))
        return nullptr;
    return std::make_unique<IconvConverter>(cd);
}

} // namespace tolv::report
