// libFuzzer target: the whole reader on any bytes, fed in pieces whose sizes
// come from the input too. Errors are expected; crashes, hangs and leaks are not.
// The path around the tokenizer and the plain path must agree, and so must
// the signature check that rides on each, and the pieces the reader puts
// together from short reads of a file.

#include "report/Io.h"
#include "report/ReportParser.h"
#include "signature/Verifier.h"

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

class Collect : public tolv::report::PdfOutput {
public:
    bool Open() override {
        bytes.clear();
        return true;
    }
    bool Write(const std::uint8_t* data, std::size_t size) override {
        bytes.insert(bytes.end(), data, data + size);
        return true;
    }
    bool Close() override { return true; }
    std::vector<std::uint8_t> bytes;
};

// Gives the bytes back in reads of a few bytes at a time.
class MemorySource : public tolv::report::ByteSource {
public:
    MemorySource(const std::uint8_t* data, std::size_t size, std::size_t step)
        : data_(data), size_(size), step_(step) {}
    int Read(std::uint8_t* data, std::size_t size, std::size_t& got) noexcept override {
        got = std::min({size, step_, size_ - at_});
        std::copy_n(data_ + at_, got, data);
        at_ += got;
        return 0;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_, step_, at_ = 0;
};

struct Outcome {
    bool error = false;
    std::string message;
    bool found = false;
    std::vector<std::uint8_t> pdf;
    std::string signature; // status and reason
};

void Parse(tolv::report::PdfOutput& output, tolv::report::ReportParser::Options options,
           const std::uint8_t* data, std::size_t size, std::size_t piece, bool& found) {
    tolv::report::ReportParser parser(output, "fuzz", options);
    for (std::size_t at = 0; at < size; at += piece)
        parser.Feed(data + at, std::min(piece, size - at));
    found = parser.Finish();
}

Outcome Read(const std::uint8_t* data, std::size_t size, std::size_t piece, bool skip) {
    Collect output;
    tolv::report::ReportParser::Options options;
    options.skipPlainRuns = skip;
    Outcome outcome;
    tolv::signature::SignatureCheck check;
    options.observer = &check.Observer();
    try {
        Parse(output, options, data, size, piece, outcome.found);
        if (check.NeedsSecondRead()) {
            check.BeginSecondRead();
            options.observer = &check.Observer();
            Collect ignored;
            bool again = false;
            Parse(ignored, options, data, size, piece, again);
        }
        const auto report = check.Result();
        outcome.signature = std::string(tolv::signature::StatusName(report.status)) + report.reason;
    } catch (const tolv::report::ReportError& error) {
        outcome.error = true;
        outcome.message = error.what();
    }
    outcome.pdf = output.bytes;
    return outcome;
}

// Pieces put together from reads of a few bytes each, as the reader does.
Outcome ReadShort(const std::uint8_t* data, std::size_t size, std::size_t piece, std::size_t step) {
    MemorySource source(data, size, step);
    Collect output;
    Outcome outcome;
    try {
        tolv::report::ReportParser parser(output, "fuzz");
        std::vector<std::uint8_t> buffer(piece);
        for (std::size_t n = piece; n == piece;) {
            tolv::report::ReadPiece(source, buffer.data(), piece, n);
            parser.Feed(buffer.data(), n);
        }
        outcome.found = parser.Finish();
    } catch (const tolv::report::ReportError& error) {
        outcome.error = true;
        outcome.message = error.what();
    }
    outcome.pdf = output.bytes;
    return outcome;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const std::size_t piece = 1 + data[0] % 64 * 37;
    const Outcome fast = Read(data + 1, size - 1, piece, true);
    const Outcome plain = Read(data + 1, size - 1, piece, false);
    // Same answer, same bytes, and errors reported at the same place.
    if (fast.error != plain.error || fast.found != plain.found || fast.message != plain.message ||
        (!fast.error && fast.pdf != plain.pdf) || fast.signature != plain.signature)
        std::abort();
    // Whatever the pieces, the answer and the bytes are those of the whole (the
    // parser's own error positions may differ with the pieces, so not compared).
    const Outcome whole = Read(data + 1, size - 1, size, false);
    if (fast.error != whole.error || fast.found != whole.found ||
        (!fast.error && (fast.pdf != whole.pdf || fast.signature != whole.signature)))
        std::abort();
    // The same pieces, put together from short reads: the same in all.
    const Outcome shortReads = ReadShort(data + 1, size - 1, piece, 1 + data[0] % 7);
    if (fast.error != shortReads.error || fast.found != shortReads.found ||
        fast.message != shortReads.message || (!fast.error && fast.pdf != shortReads.pdf))
        std::abort();
    return 0;
}
