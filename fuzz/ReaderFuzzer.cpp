// libFuzzer target: the whole reader on any bytes, fed in pieces whose sizes
// come from the input too. Errors are expected; crashes, hangs and leaks are not.
// The path around the tokenizer and the plain path must agree, and so must
// the signature check that rides on each.

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
    return 0;
}
