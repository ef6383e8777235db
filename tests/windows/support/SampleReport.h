#pragma once
// A small signed report for the tests that run the program on one.

#include "tests/windows/support/FakeBrowsers.h"

#include <gtest/gtest.h>

#include <string>

namespace tolv::test {

// A small PDF with bytes above 127 in it, so that any text conversion shows.
inline const std::string kPdf = "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n1 0 obj\n<< /Type /Catalog >>\n"
                                "endobj\ntrailer\n<< /Root 1 0 R >>\n%%EOF\n";

// Base64 in lines of 76 characters, as signed reports carry it.
inline std::string Base64(const std::string& bytes) {
    static const char alphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (size_t i = 0; i < bytes.size(); i += 3) {
        unsigned n = static_cast<unsigned char>(bytes[i]) << 16;
        if (i + 1 < bytes.size())
            n |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        if (i + 2 < bytes.size())
            n |= static_cast<unsigned char>(bytes[i + 2]);
        out += alphabet[(n >> 18) & 63];
        out += alphabet[(n >> 12) & 63];
        out += i + 1 < bytes.size() ? alphabet[(n >> 6) & 63] : '=';
        out += i + 2 < bytes.size() ? alphabet[n & 63] : '=';
        if (out.size() % 78 == 76)
            out += "\r\n";
    }
    return out;
}

// A signed report around the given children of its root.
inline std::string Report(const std::string& children) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
           "<ds:Signature xmlns:ds=\"http://www.w3.org/2000/09/xmldsig#\" Id=\"S1\">\r\n"
           "<ds:SignedInfo/>\r\n<ds:SignatureValue>AAAA</ds:SignatureValue>\r\n" +
           children + "\r\n</ds:Signature>\r\n";
}

// A report whose first qualifying element carries kPdf, after an object
// without Encoding.
inline std::string GoodReport() {
    return Report("<ds:Object Id=\"SignedProperties\"><x>QUJD</x></ds:Object>\r\n"
                  "<ds:Object Id=\"Object-PDF\" MimeType=\"application/pdf\" "
                  "Encoding=\"http://www.w3.org/2000/09/xmldsig#base64\">\r\n" +
                  Base64(kPdf) + "\r\n</ds:Object>");
}

// The PDF that a report's payload carries, decoded here without the program's
// reader: the text of the object with an Encoding attribute, blanks dropped.
inline std::string PayloadOf(const std::string& report) {
    static const std::string alphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    const size_t open = report.find('>', report.find("Encoding=")) + 1;
    const std::string text = report.substr(open, report.find("</ds:Object>", open) - open);
    std::string bytes;
    unsigned bits = 0, count = 0;
    for (char c : text) {
        const size_t value = alphabet.find(c);
        if (value == std::string::npos)
            continue;
        bits = (bits << 6) | static_cast<unsigned>(value);
        if ((count += 6) >= 8) {
            count -= 8;
            bytes += static_cast<char>((bits >> count) & 0xFF);
        }
    }
    return bytes;
}

// The browser was started once and found the sample PDF whole in its place.
inline void ExpectOneRunWithTheSamplePdf(const FakeBrowserCopy& browser) {
    std::vector<BrowserRun> runs = browser.Runs();
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_TRUE(runs[0].exists);
    EXPECT_EQ(runs[0].size, static_cast<long long>(kPdf.size()));
    EXPECT_EQ(runs[0].head, Hex(kPdf.substr(0, 16)));
}

} // namespace tolv::test
