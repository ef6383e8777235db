#include "ReportTesting.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <random>

namespace tolv::report::reporttest {
namespace {

using ::testing::HasSubstr;

Bytes Decoded(const std::string& text) {
    Bytes data = ToBytes(text);
    Base64Decode(data);
    return data;
}

const std::string kMan = "TWFu"; // "Man"

TEST(ReportParser, FirstQualifyingElementWinsAndLaterOnesAreNotRead) {
    const Result r = RunReport(Report(Base64Object("QUJD") + Base64Object("REVG")));
    EXPECT_TRUE(r.found);
    EXPECT_EQ(r.pdf, ToBytes("ABC"));
    EXPECT_EQ(r.opens, 1);
}

TEST(ReportParser, ElementThatGivesNoBytesOrCannotBeWrittenPassesTheTurn) {
    for (const char* first : {"", "   \r\n  ", "T", "====", "-_-_"}) {
        const Result r = RunReport(Report(Base64Object(first) + Base64Object("REVG")));
        EXPECT_TRUE(r.found) << first;
        EXPECT_EQ(r.pdf, ToBytes("DEF")) << first;
        EXPECT_EQ(r.opens, 1) << "no file for an element without bytes: " << first;
    }
    MemoryOutput refusesOnce;
    refusesOnce.failOpens = 1;
    Result r = RunReport(Report(Base64Object("QUJD") + Base64Object("REVG")), 0, {}, &refusesOnce);
    EXPECT_TRUE(r.found);
    EXPECT_EQ(r.pdf, ToBytes("DEF"));
    EXPECT_EQ(r.opens, 2);

    MemoryOutput cannotWrite;
    cannotWrite.failWrites = true;
    r = RunReport(Report(Base64Object("QUJD") + Base64Object("REVG")), 0, {}, &cannotWrite);
    EXPECT_FALSE(r.found);
    EXPECT_EQ(r.opens, 2) << "every qualifying element is tried";
    EXPECT_FALSE(cannotWrite.open) << "the output is closed again";

    r = RunReport(Report(Base64Object("") + Base64Object("====")));
    EXPECT_FALSE(r.found);
    EXPECT_EQ(r.opens, 0);
}

TEST(ReportParser, CandidatesAreDirectChildrenNamedDsObjectWithAnUnprefixedEncoding) {
    const std::string ns = "http://www.w3.org/2000/09/xmldsig#";
    const struct {
        std::string children;
        bool found;
    } rows[] = {
        {"<ds:Object>" + kMan + "</ds:Object>", false},
        {"<ds:Object Encoding=\"\">" + kMan + "</ds:Object>", true},
        {"<ds:Object Id=\"x\" MimeType=\"application/pdf\" Encoding=\"anything\">" + kMan +
             "</ds:Object>",
         true},
        {"<ds:ObjectForPdf Encoding=\"\">" + kMan + "</ds:ObjectForPdf>", true},
        {"<DS:Object xmlns:DS=\"" + ns + "\" Encoding=\"\">" + kMan + "</DS:Object>", false},
        {"<ds:object Encoding=\"\">" + kMan + "</ds:object>", false},
        {"<o:Object xmlns:o=\"" + ns + "\" Encoding=\"\">" + kMan + "</o:Object>", false},
        {"<Object xmlns=\"" + ns + "\" Encoding=\"\">" + kMan + "</Object>", false},
        {"<ds:Object encoding=\"\">" + kMan + "</ds:Object>", false},
        {"<ds:Object xmlns:e=\"urn:e\" e:Encoding=\"\">" + kMan + "</ds:Object>", false},
        {"<ds:KeyInfo><ds:Object Encoding=\"\">" + kMan + "</ds:Object></ds:KeyInfo>", false},
        {"<ds:Object xmlns:ds=\"urn:other\" Encoding=\"\">" + kMan + "</ds:Object>", true},
        {"<!-- <ds:Object Encoding=\"\">" + kMan + "</ds:Object> -->", false},
        {"", false},
    };
    for (const auto& row : rows) {
        const Result r = RunReport(Report(row.children));
        EXPECT_EQ(r.found, row.found) << row.children;
        if (row.found) {
            EXPECT_EQ(r.pdf, ToBytes("Man")) << row.children;
        }
    }
    // The root itself is never a candidate.
    EXPECT_FALSE(
        RunReport("<ds:Object xmlns:ds=\"" + ns + "\" Encoding=\"\">" + kMan + "</ds:Object>")
            .found);
}

TEST(ReportParser, PayloadIsTheTrimmedTextWithEveryLineFeedRemoved) {
    const std::string line = "TWFuIGlzIGRpc3Rpbmd1aXNoZWQsIG5vdCBvbmx5IGJ5IGhpcyByZWFzb24s";
    const Bytes plain = Decoded(line + line + line);
    for (const std::string& text :
         {line + "\r\n" + line + "\r\n" + line, line + "\n" + line + "\r" + line,
          "\r\n  \t" + line + line + line + "\r\n  ", "&#13;\n " + line + line + line + " &#13;",
          "<![CDATA[" + line + "]]>" + line + "<x>" + line + "</x>",
          line + "<!-- xx -->" + line + "<?pi yy?>" + line}) {
        EXPECT_EQ(RunReport(Report(Base64Object(text))).pdf, plain) << text;
    }
    // White space and CR references inside the text take their places.
    EXPECT_EQ(RunReport(Report(Base64Object("TW Fu"))).pdf, Decoded("TW Fu"));
    EXPECT_EQ(RunReport(Report(Base64Object("TW&#13;Fu"))).pdf, Decoded("TW Fu"));
    EXPECT_EQ(RunReport(Report(Base64Object("TWFu\r\n  TWFu"))).pdf, Decoded("TWFu  TWFu"));
    // A character beyond ASCII takes one place, however many bytes it has.
    EXPECT_EQ(RunReport(Report(Base64Object("TW\xC5\x9F"
                                            "Fu")))
                  .pdf,
              Decoded("TW Fu"));
    EXPECT_EQ(RunReport(Report(Base64Object("TW\xF0\x9F\x98\x80"
                                            "Fu")))
                  .pdf,
              Decoded("TW Fu"));
    // Predefined entities are characters of the text like any other.
    EXPECT_EQ(RunReport(Report(Base64Object("TW&amp;Fu"))).pdf, Decoded("TW Fu"));
}

TEST(ReportParser, BrokenDocumentsRaiseErrorsThatSayWhereAndWhy) {
    const struct {
        std::string doc;
        const char* where;
        const char* why;
    } rows[] = {
        {"<a><b></a>", "satır 1, sütun 9", "eşleşmiyor"},
        {Report(Base64Object(kMan)) + "<extra/>", "satır 5, sütun 1", "fazladan"},
        {"<a>\n<x:b/></a>", "satır 2, sütun 1", "ad alanı öneki"},
        {Report(Base64Object(kMan) + "<ds:Object>"), "satır 4, sütun 3", "eşleşmiyor"},
        {"", "satır 1, sütun 1", "hiç öğe yok"},
        {"<?xml version=\"1.0\" encoding=\"klingon\"?><a/>", "satır 1", "kodlaması"},
    };
    for (const auto& row : rows) {
        try {
            RunReport(row.doc);
            ADD_FAILURE() << "no error for " << row.doc;
        } catch (const ReportError& error) {
            EXPECT_THAT(error.what(), HasSubstr("Rapor dosyası geçerli bir XML belgesi değil: "
                                                "test.Tolv, "));
            EXPECT_THAT(error.what(), HasSubstr(row.where)) << row.doc;
            EXPECT_THAT(error.what(), HasSubstr(row.why)) << row.doc;
        }
    }
}

// Positions reported after a payload that went around the parser are the
// document's own, whatever pieces the document came in.
TEST(ReportParser, ErrorPositionsCountTheSkippedText) {
    std::string payload;
    for (int i = 0; i < 40; ++i)
        payload += std::string(76, 'A') + "\r\n";
    const std::string doc = "<r xmlns:ds=\"u\">\n<ds:Object Encoding=\"\">\r\n" + payload +
                            "AAAA</ds:Object>\n  <bad attr=x/></r>";
    for (std::size_t piece : {0, 1, 7, 100, 1000}) {
        for (bool skip : {true, false}) {
            ReportParser::Options options;
            options.skipPlainRuns = skip;
            try {
                RunReport(doc, piece, options);
                ADD_FAILURE() << "no error";
            } catch (const ReportError& error) {
                EXPECT_THAT(error.what(), HasSubstr("satır 44, sütun 13")) << piece << skip;
            }
        }
        // A report cut off right after a CR: the parser never counts that line end.
        for (const auto& [cut, where] :
             {std::pair{"<r>x\r", "satır 1, sütun 5"}, std::pair{"<r>x\r\r", "satır 2, sütun 1"},
              std::pair{"<r>x\r\n\r", "satır 2, sütun 1"}}) {
            for (bool skip : {true, false}) {
                ReportParser::Options options;
                options.skipPlainRuns = skip;
                try {
                    RunReport(cut, piece, options);
                    ADD_FAILURE() << "no error";
                } catch (const ReportError& error) {
                    EXPECT_THAT(error.what(), HasSubstr(where)) << piece << skip;
                }
            }
        }
        // The same inside a payload, the CR closing a long run of text.
        for (const char* lines : {"", "QUJD\r\n", "QUJD\r", "QUJD\n"}) {
            const std::string cut = std::string("<r xmlns:ds=\"u\"><ds:Object Encoding=\"\">") +
                                    lines + std::string(63 - std::strlen(lines), 'A') + "\r";
            std::string errors[2];
            for (bool skip : {false, true}) {
                ReportParser::Options options;
                options.skipPlainRuns = skip;
                try {
                    RunReport(cut, piece, options);
                } catch (const ReportError& error) {
                    errors[skip] = error.what();
                }
            }
            EXPECT_THAT(errors[0], HasSubstr("satır"));
            EXPECT_EQ(errors[1], errors[0]) << piece << " " << lines;
        }
        const std::string lateError =
            "<r xmlns:ds=\"u\"><ds:Object Encoding=\"\">" + payload + "AA&bogus;</ds:Object></r>";
        try {
            RunReport(lateError, piece);
            ADD_FAILURE() << "no error";
        } catch (const ReportError& error) {
            EXPECT_THAT(error.what(), HasSubstr("satır 41, sütun 3")) << piece;
            EXPECT_THAT(error.what(), HasSubstr("tanımlanmamış bir varlık"));
        }
    }
}

std::string RichReport() {
    std::string payload;
    for (int i = 0; i < 12; ++i)
        payload += "JVBERi0xLjQKJcOkw7zDtsOfCjIgMCBvYmoKPDwvTGVuZ3RoIDMgMCBSL0ZpbHRlci9GbGF0ZU\r\n";
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
           "<ds:Signature xmlns:ds=\"http://www.w3.org/2000/09/xmldsig#\" Id=\"S1\">\r\n"
           "  <ds:SignedInfo><ds:DigestValue>ZmFrZWRpZ2VzdHZhbHVlZm9ydGVzdGluZ29ubHkxMjM0NTY="
           "</ds:DigestValue></ds:SignedInfo>\r\n"
           "  <ds:Object><x:Q xmlns:x=\"urn:x\">QUJDREVGR0hJSktMTU5PUFFSU1RVVldYWVo=</x:Q>"
           "</ds:Object>\r\n"
           "  <ds:Object Encoding=\"http://www.w3.org/2000/09/xmldsig#base64\">\r\n" +
           payload + "  &#13; <!-- note -->" + payload + "<![CDATA[" + payload + "]]>" + "ş" +
           payload + "&amp;" + payload +
           "\r\n  </ds:Object>\r\n"
           "  <ds:Object Encoding=\"\">REVG</ds:Object>\r\n</ds:Signature>\r\n";
}

TEST(ReportParser, EverySplitPointGivesTheSameBytes) {
    const std::string doc = RichReport();
    ReportParser::Options plain;
    plain.skipPlainRuns = false;
    const Result expected = RunReport(doc, 0, plain);
    ASSERT_TRUE(expected.found);
    ASSERT_GT(expected.pdf.size(), 1000u);
    EXPECT_EQ(expected.skipped, 0u);

    const Result whole = RunReport(doc);
    EXPECT_EQ(whole.pdf, expected.pdf);
    EXPECT_GT(whole.skipped, doc.size() / 2) << "the payload goes around the tokenizer";

    for (std::size_t cut = 1; cut < doc.size(); ++cut) {
        MemoryOutput out;
        ReportParser parser(out, "test.Tolv");
        const auto* data = reinterpret_cast<const std::uint8_t*>(doc.data());
        parser.Feed(data, cut);
        parser.Feed(data + cut, doc.size() - cut);
        ASSERT_TRUE(parser.Finish()) << cut;
        ASSERT_EQ(out.bytes, expected.pdf) << "split at " << cut;
    }
    for (std::size_t piece : {1, 2, 3, 5, 64, 4096})
        EXPECT_EQ(RunReport(doc, piece).pdf, expected.pdf) << piece;
}

// Random payloads with random disturbances, sparse or dense: the path around
// the tokenizer and the plain path must agree byte for byte, in pieces of any
// size, and on where an error after the payload lies.
TEST(ReportParser, SkippingAndPlainParsingAgreeOnRandomReports) {
    std::mt19937 random(7);
    const std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    const std::vector<std::string> extras = {
        "=",         " ",        "\t",    "\r\n",     "\n",      "\r",
        "&#13;",     "&#10;",    "&amp;", "<!--c-->", "<?p q?>", "<![CDATA[QUJD]]>",
        "<i>QQ</i>", "\xC3\xA7", "]",     "]]&gt;",   "&#x41;",  "\r\n   "};
    for (int round = 0; round < 200; ++round) {
        std::string text;
        const int length = int(random() % 4000);
        const unsigned rate = round % 2 == 0 ? 60 : 600;
        for (int i = 0; i < length; ++i) {
            if (random() % rate == 0)
                text += extras[random() % extras.size()];
            else
                text += alphabet[random() % 64];
        }
        const std::string doc = Report("<ds:X>QUJD</ds:X>" + Base64Object(text));
        ReportParser::Options plain;
        plain.skipPlainRuns = false;
        ReportParser::Options scalar;
        scalar.engine = Base64Decoder::Engine::Scalar;
        const Result expected = RunReport(doc, 0, plain);
        const std::size_t piece = 1 + random() % 300;
        ASSERT_EQ(RunReport(doc, piece).pdf, expected.pdf) << doc;
        ASSERT_EQ(RunReport(doc, 0, scalar).pdf, expected.pdf) << doc;
        ASSERT_EQ(RunReport(doc).found, expected.found);

        const std::string broken = Report("<ds:X>QUJD</ds:X>" + Base64Object(text) + "<b a=x/>");
        std::string errors[2];
        for (bool skip : {false, true}) {
            ReportParser::Options options;
            options.skipPlainRuns = skip;
            try {
                RunReport(broken, 0, options);
            } catch (const ReportError& error) {
                errors[skip] = error.what();
            }
        }
        ASSERT_THAT(errors[0], HasSubstr("satır"));
        ASSERT_EQ(errors[1], errors[0]) << broken;
    }
}

} // namespace
} // namespace tolv::report::reporttest
