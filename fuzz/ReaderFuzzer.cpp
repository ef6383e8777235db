// libFuzzer target: the whole reader on any bytes, fed in pieces whose sizes
// come from the input too. Errors are expected; crashes, hangs and leaks are not.
// The path around the tokenizer and the plain path must agree, and so must the
// threaded one (read ahead and written behind, in small pieces and blocks).

#include "report/Pipeline.h"
#include "report/ReportParser.h"

#include <algorithm>
#include <cstdlib>
#include <optional>
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

class MemorySink : public tolv::report::ByteSink {
public:
    int Write(const std::uint8_t* data, std::size_t size) noexcept override {
        bytes.insert(bytes.end(), data, data + size);
        return 0;
    }
    std::vector<std::uint8_t> bytes;
};

// Collect, with the bytes written behind on a thread in blocks of a few bytes.
class CollectBehind : public tolv::report::PdfOutput {
public:
    explicit CollectBehind(std::size_t block) : block_(block) {}
    bool Open() override {
        writer_.reset();
        sink_.bytes.clear();
        writer_.emplace(sink_, block_, 2);
        return true;
    }
    bool Write(const std::uint8_t* data, std::size_t size) override {
        return writer_ && writer_->Write(data, size);
    }
    bool Close() override {
        const bool ok = writer_ && writer_->Finish() == 0;
        writer_.reset();
        return ok;
    }
    const std::vector<std::uint8_t>& Bytes() const { return sink_.bytes; }

private:
    std::size_t block_;
    MemorySink sink_;
    std::optional<tolv::report::WriteBehind> writer_;
};

struct Outcome {
    bool error = false;
    std::string message;
    bool found = false;
    std::vector<std::uint8_t> pdf;
};

Outcome Read(const std::uint8_t* data, std::size_t size, std::size_t piece, bool skip) {
    Collect output;
    tolv::report::ReportParser::Options options;
    options.skipPlainRuns = skip;
    Outcome outcome;
    try {
        tolv::report::ReportParser parser(output, "fuzz", options);
        for (std::size_t at = 0; at < size; at += piece)
            parser.Feed(data + at, std::min(piece, size - at));
        outcome.found = parser.Finish();
    } catch (const tolv::report::ReportError& error) {
        outcome.error = true;
        outcome.message = error.what();
    }
    outcome.pdf = output.bytes;
    return outcome;
}

Outcome ReadThreaded(const std::uint8_t* data, std::size_t size, std::size_t piece,
                     std::size_t step) {
    MemorySource source(data, size, step);
    CollectBehind output(step);
    Outcome outcome;
    try {
        tolv::report::ReportParser parser(output, "fuzz");
        tolv::report::ReadAhead pieces(source, piece, 2);
        for (tolv::report::ReadAhead::Piece p; (p = pieces.Next()).size > 0;)
            parser.Feed(p.data, p.size);
        outcome.found = parser.Finish();
    } catch (const tolv::report::ReportError& error) {
        outcome.error = true;
        outcome.message = error.what();
    }
    outcome.pdf = output.Bytes();
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
        (!fast.error && fast.pdf != plain.pdf))
        std::abort();
    // Whatever the pieces, the answer and the bytes are those of the whole (the
    // parser's own error positions may differ with the pieces, so not compared).
    const Outcome whole = Read(data + 1, size - 1, size, false);
    if (fast.error != whole.error || fast.found != whole.found ||
        (!fast.error && fast.pdf != whole.pdf))
        std::abort();
    // The same pieces, read and written on the helper threads: the same in all.
    const Outcome threaded = ReadThreaded(data + 1, size - 1, piece, 1 + data[0] % 7);
    if (fast.error != threaded.error || fast.found != threaded.found ||
        fast.message != threaded.message || (!fast.error && fast.pdf != threaded.pdf))
        std::abort();
    return 0;
}
