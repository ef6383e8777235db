// Signatures built to break the check: each must end as unknown with its
// reason, or as altered, never as a crash, a hang or a claim of intact.

#include "report/Io.h"
#include "report/ReportParser.h"
#include "signature/Verifier.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

namespace tolv::signature {
namespace {

const std::string kSha256 = "http://www.w3.org/2001/04/xmlenc#sha256";
const std::string kRsaSha256 = "http://www.w3.org/2001/04/xmldsig-more#rsa-sha256";

std::string Base64(const std::string& bytes) {
    static const char* alphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    std::size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        const unsigned v = unsigned(std::uint8_t(bytes[i])) << 16 |
                           unsigned(std::uint8_t(bytes[i + 1])) << 8 | std::uint8_t(bytes[i + 2]);
        for (int shift = 18; shift >= 0; shift -= 6)
            out += alphabet[(v >> shift) & 63];
    }
    if (i + 1 == bytes.size()) {
        const unsigned v = unsigned(std::uint8_t(bytes[i])) << 16;
        out += std::string{alphabet[v >> 18], alphabet[(v >> 12) & 63], '=', '='};
    } else if (i + 2 == bytes.size()) {
        const unsigned v = unsigned(std::uint8_t(bytes[i])) << 16 | unsigned(std::uint8_t(bytes[i + 1])) << 8;
        out += std::string{alphabet[v >> 18], alphabet[(v >> 12) & 63], alphabet[(v >> 6) & 63], '='};
    }
    return out;
}

std::string Fixture(const std::string& name) {
    std::ifstream in(std::filesystem::path(TOLV_CRYPTO_FIXTURES) / name, std::ios::binary);
    EXPECT_TRUE(in) << name;
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string Reference(const std::string& uri, const std::string& digest = std::string(32, 'd'),
                      const std::string& transforms = "") {
    return "<ds:Reference URI=\"" + uri + "\">" + transforms + "<ds:DigestMethod Algorithm=\"" +
           kSha256 + "\"/><ds:DigestValue>" + Base64(digest) + "</ds:DigestValue></ds:Reference>";
}

std::string ExclusiveWithPrefixes(const std::string& list) {
    return "<ds:Transforms><ds:Transform Algorithm=\"http://www.w3.org/2001/10/xml-exc-c14n#\">"
           "<ec:InclusiveNamespaces xmlns:ec=\"http://www.w3.org/2001/10/xml-exc-c14n#\" "
           "PrefixList=\"" +
           list + "\"/></ds:Transform></ds:Transforms>";
}

// "p0 p1 ... p(count-1)", the whole said times times over.
std::string PrefixList(int count, int times = 1) {
    std::string list;
    for (int t = 0; t < times; ++t)
        for (int i = 0; i < count; ++i)
            list.append("p").append(std::to_string(i)).append(" ");
    return list;
}

// An enveloping signature over its ds:Object, with a made-up value.
struct Report {
    std::string prolog;
    std::string method = kRsaSha256;
    std::string references = Reference("#P");
    std::string signedInfoExtra;
    std::string value = Base64(std::string(256, 's'));
    std::string certificate = Fixture("rsa.der");
    std::string payload = Base64("%PDF-1.4 made up");

    std::string Text() const {
        return prolog + "<ds:Signature xmlns:ds=\"http://www.w3.org/2000/09/xmldsig#\">"
                        "<ds:SignedInfo><ds:CanonicalizationMethod Algorithm="
                        "\"http://www.w3.org/TR/2001/REC-xml-c14n-20010315\"/>"
                        "<ds:SignatureMethod Algorithm=\"" +
               method + "\"/>" + references + signedInfoExtra +
               "</ds:SignedInfo><ds:SignatureValue>" + value +
               "</ds:SignatureValue><ds:KeyInfo><ds:X509Data><ds:X509Certificate>" +
               Base64(certificate) +
               "</ds:X509Certificate></ds:X509Data></ds:KeyInfo>"
               "<ds:Object Id=\"P\" Encoding=\"base64\">" +
               payload + "</ds:Object></ds:Signature>";
    }
};

class Discard : public report::PdfOutput {
public:
    bool Open() override { return true; }
    bool Write(const std::uint8_t*, std::size_t) override { return true; }
    bool Close() override { return true; }
};

SignatureReport Check(const std::string& text) {
    SignatureCheck check;
    auto read = [&] {
        Discard output;
        report::ReportParser::Options options;
        options.observer = &check.Observer();
        report::ReportParser parser(output, "test", options);
        parser.Feed(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
        parser.Finish();
    };
    read();
    if (check.NeedsSecondRead()) {
        check.BeginSecondRead();
        read();
    }
    return check.Result();
}

struct Case {
    const char* name;
    std::function<void(Report&)> change;
    Status status;
    const char* reason; // a part of it
};

TEST(HostileSignatureTest, EndsUnknownWithItsReasonOrAltered) {
    const std::string manyReferences = [] {
        std::string refs;
        for (int i = 0; i < 5000; ++i)
            refs += Reference("#P");
        return refs;
    }();
    const std::string deep = [] {
        std::string open, close;
        for (int i = 0; i < 1000; ++i) {
            open += "<n>";
            close += "</n>";
        }
        return open + Base64("%PDF") + close;
    }();
    // Every element below a thousand namespaces in scope, under a list of
    // the most prefixes allowed, said twenty times: work per element that
    // followed the list or the scope would not end here.
    const std::string wideScope = [] {
        std::string declarations, elements;
        for (int i = 0; i < 1000; ++i)
            declarations += " xmlns:q" + std::to_string(i) + "=\"urn:q\"";
        for (int i = 0; i < 50000; ++i)
            elements += "<n/>";
        return "<n" + declarations + ">" + elements + Base64("%PDF") + "</n>";
    }();
    const Case cases[] = {
        {"a made-up value over a readable key", [](Report&) {}, Status::Altered, "imza değeri"},
        {"thousands of references", [&](Report& r) { r.references = manyReferences; },
         Status::Unknown, "çok fazla başvuru"},
        {"a huge SignedInfo",
         [](Report& r) { r.signedInfoExtra = "<!--" + std::string(300 * 1024, 'x') + "-->"; },
         Status::Unknown, "SignedInfo çok büyük"},
        {"deep nesting inside the signed element", [&](Report& r) { r.payload = deep; },
         Status::Altered, "imza değeri"},
        {"a prefix list above its limit",
         [](Report& r) {
             r.references =
                 Reference("#P", std::string(32, 'd'), ExclusiveWithPrefixes(PrefixList(257)));
         },
         Status::Unknown, "PrefixList"},
        {"a long prefix list over many elements in a wide scope",
         [&](Report& r) {
             r.references = Reference("#P", std::string(32, 'd'),
                                      ExclusiveWithPrefixes("q1 #default " + PrefixList(254, 20)));
             r.payload = wideScope;
         },
         Status::Altered, "imza değeri"},
        {"a certificate that does not parse", [](Report& r) { r.certificate = "not DER"; },
         Status::Unknown, "sertifika"},
        {"an RSA key of 16384 bits",
         [](Report& r) { r.certificate = Fixture("rsa16384.der"); }, Status::Unknown, "16384"},
        {"an ECDSA point not on the curve",
         [](Report& r) {
             r.certificate = Fixture("badpoint.der");
             r.method = "http://www.w3.org/2001/04/xmldsig-more#ecdsa-sha256";
             r.value = Base64(std::string(64, 'v'));
         },
         Status::Unknown, "anahtar"},
        {"a DigestValue of the wrong length",
         [](Report& r) { r.references = Reference("#P", std::string(20, 'd')); }, Status::Unknown,
         "uzunluğu"},
        {"Base64 garbage in SignatureValue", [](Report& r) { r.value = "!!**not base64**!!"; },
         Status::Unknown, "Base64"},
        {"a DOCTYPE with an internal subset",
         [](Report& r) { r.prolog = "<!DOCTYPE x [<!ENTITY e \"v\">]>"; }, Status::Unknown,
         "DOCTYPE"},
        {"two elements with the Id a reference names",
         [](Report& r) { r.signedInfoExtra = "<x Id=\"P\"/>"; }, Status::Unknown,
         "birden çok öğede"},
        {"an element inside a value",
         [](Report& r) { r.value = "<ds:CertDigest/>" + r.value; }, Status::Unknown,
         "bir değerin içinde öğe"},
        {"a second SignedInfo",
         [](Report& r) { r.payload += "</ds:Object><ds:SignedInfo/><ds:Object>"; },
         Status::Unknown, "birden çok SignedInfo"},
        {"a second KeyInfo",
         [](Report& r) { r.payload += "</ds:Object><ds:KeyInfo/><ds:Object>"; }, Status::Unknown,
         "KeyInfo yerinde değil"},
        {"a reference outside the document",
         [](Report& r) { r.references = Reference("http://example.com/report.pdf"); },
         Status::Unknown, "belge dışındaki"},
        {"a reference to nothing", [](Report& r) { r.references = Reference("#nowhere"); },
         Status::Unknown, "#nowhere"},
        {"an XPath transform",
         [](Report& r) {
             r.references = Reference(
                 "#P", std::string(32, 'd'),
                 "<ds:Transforms><ds:Transform Algorithm=\"http://www.w3.org/TR/1999/"
                 "REC-xpath-19991116\"><ds:XPath>1</ds:XPath></ds:Transform></ds:Transforms>");
         },
         Status::Unknown, "REC-xpath-19991116"},
        {"an unknown signature method",
         [](Report& r) { r.method = "http://www.w3.org/2000/09/xmldsig#dsa-sha1"; },
         Status::Unknown, "dsa-sha1"},
        {"no certificate", [](Report& r) { r.certificate.clear(); }, Status::Unknown, "sertifika"},
    };
    for (const Case& c : cases) {
        Report report;
        c.change(report);
        const SignatureReport result = Check(report.Text());
        EXPECT_EQ(StatusName(result.status), std::string(StatusName(c.status))) << c.name;
        EXPECT_NE(result.reason.find(c.reason), std::string::npos)
            << c.name << ": " << result.reason;
        EXPECT_FALSE(result.reason.empty()) << c.name;
    }
}

// A file share that answers each open of the same file with other bytes of
// the same length: whatever the reads see, the PDF written under an intact
// verdict is the one that was signed.
class Served : public report::ByteSource {
public:
    explicit Served(std::string bytes) : bytes_(std::move(bytes)) {}
    int Read(std::uint8_t* data, std::size_t size, std::size_t& got) noexcept override {
        got = std::min(size, bytes_.size() - at_);
        std::copy_n(bytes_.data() + at_, got, data);
        at_ += got;
        return 0;
    }

private:
    std::string bytes_;
    std::size_t at_ = 0;
};

TEST(HostileSignatureTest, WhatIsShownIsWhatWasChecked) {
    const std::string genuine = Fixture("enveloped.Tolv");
    const std::string forged = Fixture("enveloped-forged.Tolv");
    const std::string signedPdf = Fixture("enveloped.pdf");
    ASSERT_EQ(genuine.size(), forged.size());
    struct Opens {
        const char* name;
        std::vector<const std::string*> served; // by open, the last for any later one
        Status status;
    } const cases[] = {
        {"the same bytes twice", {&genuine}, Status::Intact},
        {"forged bytes first", {&forged, &genuine}, Status::Intact},
        {"forged bytes second", {&genuine, &forged}, Status::Altered},
    };
    const auto folder = std::filesystem::temp_directory_path() / "tolv-served";
    std::filesystem::create_directories(folder);
    const auto report = folder / "report.Tolv", pdf = folder / "report.pdf";
    std::ofstream(report, std::ios::binary) << genuine;
    for (const Opens& c : cases) {
        std::size_t opens = 0;
        report::FileTaps taps;
        taps.input = [&](std::unique_ptr<report::ByteSource>) {
            const std::size_t i = std::min(opens++, c.served.size() - 1);
            return std::make_unique<Served>(*c.served[i]);
        };
        std::filesystem::remove(pdf);
        const ViewResult view = WritePdfAndCheck(report, pdf, nullptr, taps);
        EXPECT_EQ(StatusName(view.signature.status), std::string(StatusName(c.status))) << c.name;
        std::ifstream written(pdf, std::ios::binary);
        const std::string shown(std::istreambuf_iterator<char>(written), {});
        if (view.signature.status == Status::Intact) {
            EXPECT_EQ(shown, signedPdf) << c.name;
        }
        opens = 0;
        EXPECT_EQ(StatusName(CheckReport(report, taps).status), std::string(StatusName(c.status)))
            << c.name;
    }
    std::filesystem::remove_all(folder);
}

} // namespace
} // namespace tolv::signature
