// Reports in the encodings that signature software of other countries writes,
// read through the platform's own converter (iconv natively, MultiByteToWideChar
// under Wine). The reports come from Python's codecs (make-encoded-reports.py),
// a third converter, so both platforms are checked against the same bytes.

#include "ReportTesting.h"
#include "tests/report/EncodedReports.h"

#include "report/Base64.h"
#include "report/Encodings.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cctype>
#include <functional>
#include <map>

namespace tolv::report::reporttest {

void PrintTo(const EncodedReport& row, std::ostream* out) {
    *out << row.encoding;
}

namespace {

using ::testing::HasSubstr;

bool OnThisPlatform(const EncodedReport& row) {
#ifdef _WIN32
    return row.windows;
#else
    (void)row;
    return true;
#endif
}

// What the reader writes, and the text that the document's attributes and
// comments hold, read by expat through the same handler the reader installs.
class EncodedReports : public ::testing::TestWithParam<EncodedReport> {
protected:
    static Bytes Pdf() { return ToBytes(std::string(kEncodedPdf)); }

    static std::string Error(std::string_view doc) {
        try {
            RunReport(std::string(doc));
        } catch (const ReportError& error) {
            return error.what();
        }
        return "(no error)";
    }

    struct Seen {
        std::string id;
        std::vector<std::string> comments;
        bool ok = false;
    };

    static Seen ReadText(std::string_view doc) {
        Seen seen;
        DeclaredEncoding declared;
        XML_Parser parser = XML_ParserCreate(nullptr);
        XML_SetUserData(parser, &seen);
        XML_SetUnknownEncodingHandler(parser, UnknownEncodingHandler, &declared);
        XML_SetStartElementHandler(
            parser, [](void* data, const XML_Char* name, const XML_Char** atts) {
                auto* s = static_cast<Seen*>(data);
                for (; *atts; atts += 2)
                    if (std::string(*atts) == "Id" && std::string(name) == "ds:Signature")
                        s->id = atts[1];
            });
        XML_SetCommentHandler(parser, [](void* data, const XML_Char* text) {
            static_cast<Seen*>(data)->comments.emplace_back(text);
        });
        seen.ok = XML_Parse(parser, doc.data(), int(doc.size()), XML_TRUE) == XML_STATUS_OK;
        XML_ParserFree(parser);
        return seen;
    }
};

TEST_P(EncodedReports, GiveTheSamePdfAsAnyOther) {
    const EncodedReport& row = GetParam();
    if (!OnThisPlatform(row)) {
        // Windows has no code page for it: refused, by name.
        EXPECT_THAT(Error(row.report), HasSubstr(std::string("desteklenmiyor: ") + row.encoding));
        return;
    }
    const Result whole = RunReport(std::string(row.report));
    EXPECT_TRUE(whole.found);
    EXPECT_EQ(whole.pdf, Pdf());
    // In small pieces characters of several bytes are cut in two; the plain
    // path agrees with the one that takes runs around the parser.
    for (std::size_t piece : {1u, 7u, 4096u}) {
        for (bool skip : {true, false}) {
            ReportParser::Options options;
            options.skipPlainRuns = skip;
            const Result r = RunReport(std::string(row.report), piece, options);
            EXPECT_TRUE(r.found) << piece << skip;
            EXPECT_EQ(r.pdf, Pdf()) << piece << skip;
        }
    }
}

TEST_P(EncodedReports, ReadTheTextAsItWasWritten) {
    const EncodedReport& row = GetParam();
    if (!OnThisPlatform(row))
        return;
    const Seen seen = ReadText(row.report);
    ASSERT_TRUE(seen.ok);
    EXPECT_EQ(seen.id, row.text);
    ASSERT_EQ(seen.comments.size(), 2u);
    EXPECT_EQ(seen.comments[0], " " + std::string(row.text) + " ");
}

// One character of the encoding inside the Base64 text takes one place,
// however many bytes it has and whatever they look like.
TEST_P(EncodedReports, CharacterInsideThePayloadTakesOnePlace) {
    const EncodedReport& row = GetParam();
    if (!OnThisPlatform(row))
        return;
    Bytes expected = ToBytes("TW FuTWFu");
    Base64Decode(expected);
    for (std::size_t piece : {0u, 1u, 3u}) {
        const Result r = RunReport(std::string(row.inside), piece);
        EXPECT_TRUE(r.found);
        EXPECT_EQ(r.pdf, expected) << piece;
    }
}

INSTANTIATE_TEST_SUITE_P(Encodings, EncodedReports, ::testing::ValuesIn(kEncodedReports),
                         [](const auto& info) {
                             std::string name;
                             for (const char* p = info.param.encoding; *p; ++p)
                                 name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
                             return name;
                         });

// Runs of Base64 letters go around the parser in every single-byte encoding,
// and in a multi-byte one only when no trail byte can be an ASCII letter.
TEST(ReportEncodings, FastPathWhereRunsCannotStartInsideACharacter) {
    const std::map<std::string, bool> multiByte = {
        {"Shift_JIS", false}, {"GBK", false},    {"GB2312", false},
        {"Big5", false},      {"EUC-KR", false}, // read as UHC, whose trail bytes include letters
#ifdef _WIN32
        {"EUC-JP", false}, // code page 20932 has 7-bit trail bytes too
#else
        {"EUC-JP", true},
#endif
    };
    for (const EncodedReport& row : kEncodedReports) {
        if (!OnThisPlatform(row))
            continue;
        const auto found = multiByte.find(row.encoding);
        const bool fast = found == multiByte.end() || found->second;
        EXPECT_EQ(RunReport(std::string(row.report)).skipped > 0, fast) << row.encoding;
    }
}

TEST(ReportEncodings, RefusedEncodingsAreNamed) {
    for (const char* encoding : {"IBM037", "ibm-500", "x-made-up-encoding", "UTF-7", "UTF-32",
                                 "UCS-2", "ISO-2022-JP", "GB18030", "cp1", "windows-65001"}) {
        const std::string doc =
            std::string("<?xml version=\"1.0\" encoding=\"") + encoding + "\"?><r/>";
        try {
            RunReport(doc);
            ADD_FAILURE() << "read: " << encoding;
        } catch (const ReportError& error) {
            EXPECT_THAT(error.what(), HasSubstr("Rapor dosyası geçerli bir XML belgesi değil: "
                                                "test.Tolv, satır 1"));
            EXPECT_THAT(error.what(),
                        HasSubstr(std::string("belgenin bildirdiği karakter kodlaması "
                                              "desteklenmiyor: ") +
                                  encoding + " "));
        }
    }
}

TEST(ReportEncodings, AliasesInAnyLetterCaseFindTheSameConverter) {
    const struct {
        const char* alias;
        const char* name;
    } rows[] = {
        {"ms_kanji", "Shift_JIS"},  {"X-SJIS", "shift_jis"},      {"Windows-31J", "SJIS"},
        {"x-euc-jp", "EUC-JP"},     {"ks_c_5601-1987", "EUC-KR"}, {"csBig5", "BIG5"},
        {"gb_2312-80", "GBK"},      {"LATIN2", "iso-8859-2"},     {"l5", "ISO_8859-9"},
        {"csKOI8R", "koi8-r"},      {"ibm-857", "cp857"},         {"x-cp1251", "WINDOWS-1251"},
        {"ISO-8859-8-I", "hebrew"}, {"Latin9", "iso-8859-15"},    {"ibm437", "CP437"},
        {"tis-620", "ISO-8859-11"},
    };
    for (const auto& row : rows) {
        const ConverterName alias = FindConverterName(row.alias);
        EXPECT_EQ(alias, FindConverterName(row.name)) << row.alias;
        EXPECT_FALSE(alias.iconvName.empty()) << row.alias;
    }
    EXPECT_EQ(FindConverterName("windows-1254").codePage, 1254u);
    EXPECT_EQ(FindConverterName("IBM866").iconvName, "CP866");
    // Names that no XML declaration can hold are nobody's business.
    EXPECT_EQ(FindConverterName("UTF-8//TRANSLIT"), ConverterName{});
    EXPECT_EQ(FindConverterName("8859-1"), ConverterName{});
}

// A converter made of rules, to build maps from.
class RuleConverter : public ByteConverter {
public:
    using Rule = std::function<Result(const std::uint8_t*, std::size_t, std::uint32_t&)>;
    explicit RuleConverter(Rule rule) : rule_(std::move(rule)) {}
    Result Decode(const std::uint8_t* data, std::size_t size, std::uint32_t& code) override {
        return rule_(data, size, code);
    }

private:
    Rule rule_;
};

using R = ByteConverter::Result;

// Bytes below 0x80 are ASCII; from 0x81 a lead byte of `length` bytes whose
// trail bytes start at `firstTrail`; 0x80 is no character.
RuleConverter::Rule MultiByte(std::size_t length, std::uint8_t firstTrail) {
    return [=](const std::uint8_t* s, std::size_t n, std::uint32_t& code) {
        if (s[0] < 0x80) {
            code = s[0];
            return n == 1 ? R::Character : R::Invalid;
        }
        if (s[0] == 0x80)
            return R::Invalid;
        for (std::size_t i = 1; i < n; ++i)
            if (s[i] < firstTrail)
                return R::Invalid;
        if (n < length)
            return R::Incomplete;
        code = 0x4E00 + s[n - 1];
        return n == length ? R::Character : R::Invalid;
    };
}

TEST(EncodingMap, BuiltFromWhatTheConverterSays) {
    RuleConverter euc(MultiByte(2, 0xA1));
    const auto eucMap = BuildEncodingMap(euc, 0);
    ASSERT_TRUE(eucMap);
    EXPECT_EQ(eucMap->map['A'], 'A');
    EXPECT_EQ(eucMap->map[0x80], -1);
    EXPECT_EQ(eucMap->map[0xA4], -2);
    EXPECT_TRUE(eucMap->multiByte);
    EXPECT_FALSE(eucMap->asciiTrailBytes);

    RuleConverter sjis(MultiByte(2, 0x40));
    EXPECT_TRUE(BuildEncodingMap(sjis, 0)->asciiTrailBytes);
    RuleConverter threeBytes(MultiByte(3, 0xA1));
    EXPECT_EQ(BuildEncodingMap(threeBytes, 0)->map[0x8F], -3);
    RuleConverter tooLong(MultiByte(5, 0xA1));
    EXPECT_FALSE(BuildEncodingMap(tooLong, 0));

    // Two and four bytes after the same first byte, as in GB18030.
    RuleConverter mixed([](const std::uint8_t* s, std::size_t n, std::uint32_t& code) {
        code = s[0];
        if (s[0] < 0x80)
            return n == 1 ? R::Character : R::Invalid;
        if (n == 1)
            return R::Incomplete;
        if (s[1] >= 0x30 && s[1] <= 0x39)
            return n < 4 ? R::Incomplete : R::Character;
        return n == 2 ? R::Character : R::Invalid;
    });
    EXPECT_FALSE(BuildEncodingMap(mixed, 0));
}

TEST(EncodingMap, AsciiMustStandForItself) {
    const struct {
        std::uint8_t byte;
        R result;
        std::uint32_t code;
    } rows[] = {
        {'<', R::Character, 0x4C},  // EBCDIC's '<'
        {'+', R::Incomplete, 0},    // UTF-7's shift
        {'A', R::Invalid, 0},       // UTF-16 or UTF-32 on 8-bit text
        {0x1B, R::Incomplete, 0},   // an ISO-2022 escape
        {'\\', R::Character, 0xA5}, // JIS-Roman's yen sign
    };
    for (const auto& row : rows) {
        RuleConverter converter([&](const std::uint8_t* s, std::size_t n, std::uint32_t& code) {
            code = s[0] == row.byte ? row.code : s[0];
            if (s[0] == row.byte)
                return row.result;
            return n == 1 ? R::Character : R::Invalid;
        });
        EXPECT_FALSE(BuildEncodingMap(converter, 0)) << int(row.byte);
    }
}

TEST(EncodingMap, SingleByteEntries) {
    RuleConverter converter([](const std::uint8_t* s, std::size_t n, std::uint32_t& code) {
        code = s[0] == 0xC0 ? 'A' : s[0] == 0xC1 ? 0x011E : s[0];
        if (n != 1 || s[0] == 0x81 || s[0] == 0xAA)
            return R::Invalid;
        return R::Character;
    });
    const auto cp1252 = BuildEncodingMap(converter, 1252);
    ASSERT_TRUE(cp1252);
    EXPECT_FALSE(cp1252->multiByte);
    EXPECT_EQ(cp1252->map[0xC1], 0x011E);
    EXPECT_EQ(cp1252->map[0xC0], -1);   // an ASCII character from another byte
    EXPECT_EQ(cp1252->map[0x81], 0x81); // as Windows reads its gaps
    EXPECT_EQ(cp1252->map[0xAA], -1);
    EXPECT_EQ(BuildEncodingMap(converter, 0)->map[0x81], -1); // no Windows code page
}

} // namespace
} // namespace tolv::report::reporttest
