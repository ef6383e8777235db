#pragma once
// Helpers for tests that run the report reader on documents held in memory.

#include "report/ReportParser.h"

#include <string>
#include <vector>

namespace tolv::report::reporttest {

using Bytes = std::vector<std::uint8_t>;

// Keeps what the reader writes; can be told to refuse opening or writing.
class MemoryOutput : public PdfOutput {
public:
    bool Open() override {
        ++opens;
        if (opens <= failOpens)
            return false;
        bytes.clear(); // as a file opened for writing is cut to nothing
        open = true;
        return true;
    }
    bool Write(const std::uint8_t* data, std::size_t size) override {
        if (failWrites)
            return false;
        bytes.insert(bytes.end(), data, data + size);
        return true;
    }
    bool Close() override {
        open = false;
        return true;
    }

    Bytes bytes;
    int opens = 0;
    int failOpens = 0;
    bool failWrites = false;
    bool open = false;
};

struct Result {
    bool found = false;
    Bytes pdf;
    int opens = 0;
    std::uint64_t skipped = 0;
};

// Feeds doc in pieces of piece bytes (0: at once).
inline Result RunReport(const std::string& doc, std::size_t piece = 0,
                        ReportParser::Options options = {}, MemoryOutput* output = nullptr) {
    MemoryOutput own;
    MemoryOutput& out = output ? *output : own;
    ReportParser parser(out, "test.Tolv", options);
    const auto* data = reinterpret_cast<const std::uint8_t*>(doc.data());
    if (piece == 0)
        piece = doc.size() + 1;
    for (std::size_t at = 0; at < doc.size(); at += piece)
        parser.Feed(data + at, std::min(piece, doc.size() - at));
    Result result;
    result.found = parser.Finish();
    result.pdf = out.bytes;
    result.opens = out.opens;
    result.skipped = parser.SkippedBytes();
    return result;
}

inline Bytes ToBytes(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

// A signed report around the given children of the root.
inline std::string Report(const std::string& children) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
           "<ds:Signature xmlns:ds=\"http://www.w3.org/2000/09/xmldsig#\">\r\n" +
           children + "\r\n</ds:Signature>\r\n";
}

inline std::string Base64Object(const std::string& text) {
    return "<ds:Object Encoding=\"http://www.w3.org/2000/09/xmldsig#base64\">" + text +
           "</ds:Object>";
}

} // namespace tolv::report::reporttest
