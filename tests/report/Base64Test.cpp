#include "report/Base64.h"
#include "report/Scan.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace tolv::report {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes ToBytes(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

// The decoder as the algorithm reads, step by step and slowly: a read position
// that runs on past the end, alphabet search, signed arithmetic.
Bytes ReferenceDecode(const Bytes& text) {
    static const std::string alphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    auto value = [](int code) -> int {
        if (code == 0)
            return -1;
        const auto at = alphabet.find(char(code));
        return at == std::string::npos ? -1 : int(at);
    };
    const long long last = (long long)text.size() - 1;
    long long pos = 0;
    auto next = [&]() -> int {
        const int code = pos <= last ? text[std::size_t(pos)] : 0;
        ++pos;
        return code;
    };
    Bytes out;
    while (pos < last) {
        const int a = value(next()), b = value(next()), c = value(next()), d = value(next());
        if (b >= 0)
            out.push_back(std::uint8_t((4 * a + b / 16) & 0xFF));
        if (c >= 0)
            out.push_back(std::uint8_t((16 * b + c / 4) & 0xFF));
        if (d >= 0)
            out.push_back(std::uint8_t((64 * c + d) & 0xFF));
    }
    return out;
}

// Every path this processor runs, and the automatic choice.
std::vector<Base64Decoder::Engine> Engines() {
    using Engine = Base64Decoder::Engine;
    std::vector<Engine> engines;
    for (Engine engine : {Engine::Auto, Engine::Scalar, Engine::Avx2, Engine::Avx512Vbmi})
        if (Base64Decoder::Available(engine))
            engines.push_back(engine);
    return engines;
}

Bytes DecodeInPieces(const Bytes& text, const std::vector<std::size_t>& cuts,
                     Base64Decoder::Engine engine) {
    Base64Decoder decoder(engine);
    Bytes out(Base64Decoder::OutputBound(text.size()) + 64);
    std::size_t written = 0, from = 0;
    for (std::size_t cut : cuts) {
        written += decoder.Decode(text.data() + from, cut - from, out.data() + written);
        from = cut;
    }
    written += decoder.Decode(text.data() + from, text.size() - from, out.data() + written);
    written += decoder.Finish(out.data() + written);
    out.resize(written);
    return out;
}

TEST(Base64, DecodesTheDocumentedExamples) {
    const struct {
        const char* text;
        Bytes bytes;
    } rows[] = {
        {"TWFu", {0x4D, 0x61, 0x6E}},
        {"TWE=", {0x4D, 0x61}},
        {"TQ==", {0x4D}},
        {"TWE", {0x4D, 0x61}},
        {"TQ", {0x4D}},
        {"TWFuT", {0x4D, 0x61, 0x6E}},
        {"TQ==TWFu", {0x4D, 0x4D, 0x61, 0x6E}},
        {"=TWF", {0xFD, 0x35, 0x85}},
        {"TW=u", {0x4D, 0xEE}},
        {"TW Fu", {0x4D, 0xC5}},
        {"=A", {0xFC}},
    };
    for (const auto& row : rows) {
        Bytes data = ToBytes(row.text);
        Base64Decode(data);
        EXPECT_EQ(data, row.bytes) << row.text;
        EXPECT_EQ(ReferenceDecode(ToBytes(row.text)), row.bytes) << row.text;
    }
}

TEST(Base64, TextThatYieldsNoByteIsAnErrorAndLeavesTheDataAlone) {
    for (const char* text : {"T", "", "====", "\r\n\r\n", "-_-_"}) {
        Bytes data = ToBytes(text);
        EXPECT_THROW(Base64Decode(data), Base64Error) << text;
        EXPECT_EQ(data, ToBytes(text));
    }
}

TEST(Base64, AlphabetIsExactAndCaseSensitive) {
    const std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (int code = 0; code < 256; ++code) {
        const auto at = alphabet.find(char(code));
        EXPECT_EQ(Base64Value(code), code != 0 && at != std::string::npos ? int(at) : -1) << code;
    }
    Bytes lower = ToBytes("twfu"), upper = ToBytes("TWFu");
    Base64Decode(lower);
    Base64Decode(upper);
    EXPECT_NE(lower, upper);
}

TEST(Base64, ThousandCharactersGiveSevenHundredFiftyBytes) {
    Bytes data(1000, 'Q');
    Base64Decode(data);
    EXPECT_EQ(data.size(), 750u);
}

TEST(Base64, EverySplitPointGivesTheBytesOfOneCall) {
    const char* texts[] = {"TWFuIGlzIGRpc3Rpbmd1aXNoZWQ=",
                           "TQ==TWFu",
                           "=TWF TW=u\rTW Fu",
                           "QUJD\n\nREVG",
                           "A",
                           "TWFuT",
                           "\x80\xFFTWFu==xy"};
    for (const char* text : texts) {
        const Bytes bytes = ToBytes(text);
        const Bytes expected = ReferenceDecode(bytes);
        for (auto engine : Engines()) {
            for (std::size_t i = 0; i <= bytes.size(); ++i) {
                for (std::size_t j = i; j <= bytes.size(); ++j)
                    ASSERT_EQ(DecodeInPieces(bytes, {i, j}, engine), expected)
                        << text << " cut at " << i << "," << j;
            }
        }
    }
}

// Every vector path must give the reference bytes whatever the damage: random
// texts, long clean stretches with stray characters at random places, fed in
// random pieces.
TEST(Base64, EveryPathAgreesOnDamagedText) {
    std::mt19937 random(20240611);
    const std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    const std::string damage = "= \r\n\t-_.*\x80\xC3\xFF";
    for (int round = 0; round < 300; ++round) {
        Bytes text(std::size_t(random() % 3000));
        for (auto& c : text)
            c = std::uint8_t(alphabet[random() % 64]);
        const int faults = int(random() % 8);
        for (int f = 0; f < faults && !text.empty(); ++f) {
            const std::size_t at = random() % text.size();
            if (random() % 2)
                text[at] = std::uint8_t(damage[random() % damage.size()]);
            else
                text.insert(text.begin() + long(at),
                            std::uint8_t(damage[random() % damage.size()]));
        }
        if (round % 10 == 0)
            for (auto& c : text)
                c = std::uint8_t(random()); // anything at all
        std::vector<std::size_t> cuts;
        for (std::size_t at = 0; at < text.size(); at += 1 + random() % 200)
            cuts.push_back(at);
        const Bytes expected = ReferenceDecode(text);
        for (auto engine : Engines()) {
            EXPECT_EQ(DecodeInPieces(text, cuts, engine), expected) << int(engine);
            EXPECT_EQ(DecodeInPieces(text, {}, engine), expected) << int(engine);
        }
    }
}

TEST(Scan, PlainRunsStopAtTheFirstByteThatIsNotPlainText) {
    const std::string plain =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/= \t\r\n";
    for (int byte = 0; byte < 256; ++byte)
        EXPECT_EQ(IsPlainByte(std::uint8_t(byte)),
                  byte != 0 && plain.find(char(byte)) != std::string::npos)
            << byte;
    // Every byte value at every place of a window wider than one vector.
    for (int byte = 0; byte < 256; ++byte) {
        for (std::size_t at = 0; at < 70; ++at) {
            Bytes data(80, 'Q');
            data[at] = std::uint8_t(byte);
            const std::size_t expected = IsPlainByte(std::uint8_t(byte)) ? data.size() : at;
            ASSERT_EQ(PlainRunLength(data.data(), data.size()), expected) << byte << "@" << at;
        }
    }
}

TEST(Scan, PositionsCountLineEndsAsTheParserDoes) {
    const std::string text = "AB\r\nCD\rE\nF\r\r\nGH  ";
    TextPosition position;
    AdvanceOverPlain(reinterpret_cast<const std::uint8_t*>(text.data()), text.size(), position);
    EXPECT_EQ(position.line, 6u);
    EXPECT_EQ(position.column, 4u);
}

} // namespace
} // namespace tolv::report
