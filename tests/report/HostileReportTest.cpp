// Documents made to hurt a parser: each must end in an error or false, never in
// a crash, a hang or memory that grows without bound.

#include "ReportTesting.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <random>

namespace tolv::report::reporttest {
namespace {

using ::testing::HasSubstr;

std::string ErrorOf(const std::string& doc, std::size_t piece = 64 * 1024) {
    try {
        RunReport(doc, piece);
    } catch (const ReportError& error) {
        return error.what();
    }
    return "(no error)";
}

TEST(HostileReport, EntityExpansionIsBounded) {
    std::string doc = "<?xml version=\"1.0\"?>\n<!DOCTYPE r [\n<!ENTITY e0 \"QUJDQUJD\">\n";
    for (int i = 1; i <= 12; ++i)
        doc += "<!ENTITY e" + std::to_string(i) + " \"" + [&] {
            std::string refs;
            for (int k = 0; k < 10; ++k)
                refs += "&e" + std::to_string(i - 1) + ";";
            return refs;
        }() + "\">\n";
    doc += "]>\n<r xmlns:ds=\"u\"><ds:Object Encoding=\"\">&e12;</ds:Object></r>";
    EXPECT_THAT(ErrorOf(doc), HasSubstr("güvenlik sınırını"));
}

TEST(HostileReport, ExternalEntitiesAndDtdsAreNeverLoaded) {
    // If the entity were loaded, its Base64 would be decoded into the PDF.
    const std::string secret = ::testing::TempDir() + "tolv-secret.txt";
    { std::ofstream(secret) << "U0VDUkVU"; }
    const std::string doc = "<!DOCTYPE r SYSTEM \"file://" + secret +
                            "\" [<!ENTITY x SYSTEM \"file://" + secret +
                            "\">]>\n"
                            "<r xmlns:ds=\"u\"><ds:Object Encoding=\"\">QUJD&x;</ds:Object></r>";
    const Result r = RunReport(doc);
    EXPECT_TRUE(r.found);
    EXPECT_EQ(r.pdf, ToBytes("ABC"));
    const std::string parameter =
        "<!DOCTYPE r [<!ENTITY % p SYSTEM \"file://" + secret + "\"> %p;]><r/>";
    EXPECT_FALSE(RunReport(parameter).found);
}

TEST(HostileReport, NestingAndTagSizesAreLimited) {
    std::string deep;
    for (int i = 0; i < 100000; ++i)
        deep += "<a>";
    EXPECT_THAT(ErrorOf(deep), HasSubstr("çok derin"));

    std::string fine = "<r xmlns:ds=\"u\">";
    for (int i = 0; i < 500; ++i)
        fine += "<a>";
    for (int i = 0; i < 500; ++i)
        fine += "</a>";
    fine += Base64Object("QUJD") + "</r>";
    EXPECT_TRUE(RunReport(fine).found);

    const std::string hugeAttribute = "<r a=\"" + std::string(9 * 1024 * 1024, 'A') + "\"/>";
    EXPECT_THAT(ErrorOf(hugeAttribute), HasSubstr("çok büyük"));
    const std::string hugeComment = "<r><!--" + std::string(9 * 1024 * 1024, 'x') + "--></r>";
    EXPECT_THAT(ErrorOf(hugeComment), HasSubstr("çok büyük"));

    std::string wideTags;
    for (int i = 0; i < 800; ++i)
        wideTags += "<a b=\"" + std::string(8000, 'x') + "\">";
    EXPECT_THAT(ErrorOf(wideTags), HasSubstr("etiketleri çok büyük"));
}

TEST(HostileReport, DamagedBytesAreErrors) {
    const std::string good = Report(Base64Object("QUJD"));
    const struct {
        std::string doc;
        const char* why;
    } rows[] = {
        {Report(Base64Object(std::string("QU\0JD", 5))), "geçersiz bir karakter"},
        {Report(Base64Object("QU\xC3(JD")), "geçersiz bir karakter"},
        {Report(Base64Object("QU\xFF\xFEJD")), "geçersiz bir karakter"},
        {"<r>&#0;</r>", "karakter başvurusu"},
        {"<r><![CDATA[QUJD", "CDATA bölümü kapanmadan"},
    };
    for (const auto& row : rows)
        EXPECT_THAT(ErrorOf(row.doc), HasSubstr(row.why)) << row.doc;

    // Every truncation of a good report is an error, never a half result.
    const std::size_t end = good.rfind('>') + 1;
    for (std::size_t length = 0; length < end; ++length)
        EXPECT_THAT(ErrorOf(good.substr(0, length), 7), HasSubstr("Rapor dosyası")) << length;
}

TEST(HostileReport, BinaryGarbageIsAnError) {
    std::mt19937 random(99);
    for (int round = 0; round < 50; ++round) {
        std::string doc(1 + random() % 5000, '\0');
        for (auto& c : doc)
            c = char(random());
        if (round % 2)
            doc = "<r xmlns:ds=\"u\"><ds:Object Encoding=\"\">" + doc;
        EXPECT_THAT(ErrorOf(doc, 1 + random() % 100), HasSubstr("Rapor dosyası"));
    }
}

std::string Utf16(const std::string& ascii, bool bigEndian) {
    std::string out = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (char c : ascii) {
        out += bigEndian ? '\0' : c;
        out += bigEndian ? c : '\0';
    }
    return out;
}

TEST(ReportEncodings, Utf16ReportsAreReadWithTheirByteOrderMark) {
    const std::string doc = "<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n<r xmlns:ds=\"u\">\r\n"
                            "<ds:Object Encoding=\"\">\r\nTWFu\r\nTWFu\r\n</ds:Object></r>";
    for (bool bigEndian : {false, true}) {
        const Result r = RunReport(Utf16(doc, bigEndian), 3);
        EXPECT_TRUE(r.found);
        EXPECT_EQ(r.pdf, ToBytes("ManMan"));
        EXPECT_EQ(r.skipped, 0u);
    }
}

// Turkish Windows machines write single-byte encodings; every letter of them
// is one character, so one place in the Base64 text.
TEST(ReportEncodings, SingleByteEncodingsOfTurkishMachines) {
    const std::string body = "<r xmlns:ds=\"u\"><ds:Aciklama>\xDE\xFE\xD0\xF0\xDD\xFD</ds:Aciklama>"
                             "<ds:Object Encoding=\"\">TW\xFE"
                             "FuTWFu</ds:Object></r>";
    for (const char* encoding : {"windows-1254", "ISO-8859-9", "windows-1252", "ISO-8859-1",
                                 "latin5", "CP1254", "iso_8859-9"}) {
        const std::string doc =
            std::string("<?xml version=\"1.0\" encoding=\"") + encoding + "\"?>" + body;
        const Result r = RunReport(doc, 5);
        EXPECT_TRUE(r.found) << encoding;
        Bytes expected = ToBytes("TW FuTWFu");
        Base64Decode(expected);
        EXPECT_EQ(r.pdf, expected) << encoding;
    }
}

} // namespace
} // namespace tolv::report::reporttest
