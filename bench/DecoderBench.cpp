// Decoder throughput on clean Base64 in memory: unbroken text through the
// decoder alone (vector and scalar paths), and 76-character CRLF lines through
// the reader's payload filter, as the reader feeds them.

#include "report/Base64.h"
#include "report/Payload.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <vector>

namespace {

using namespace tolv::report;

class Discard : public PdfOutput {
public:
    bool Open() override { return true; }
    bool Write(const std::uint8_t*, std::size_t size) override {
        bytes += size;
        return true;
    }
    bool Close() override { return true; }
    std::size_t bytes = 0;
};

std::vector<std::uint8_t> Encode(const std::vector<std::uint8_t>& data, bool lines) {
    static const char* alphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::vector<std::uint8_t> out;
    out.reserve(data.size() / 3 * 4 * 79 / 76 + 8);
    for (std::size_t i = 0; i + 3 <= data.size(); i += 3) {
        const unsigned v = unsigned(data[i]) << 16 | unsigned(data[i + 1]) << 8 | data[i + 2];
        for (int s = 18; s >= 0; s -= 6)
            out.push_back(std::uint8_t(alphabet[(v >> s) & 63]));
        if (lines && (i / 3 + 1) % 19 == 0) {
            out.push_back('\r');
            out.push_back('\n');
        }
    }
    return out;
}

template <class F> double BestSeconds(F run) {
    double best = 1e9;
    for (int i = 0; i < 7; ++i) {
        const auto start = std::chrono::steady_clock::now();
        run();
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        best = std::min(best, took.count());
    }
    return best;
}

} // namespace

int main() {
    std::vector<std::uint8_t> data(96 * 1024 * 1024);
    std::mt19937_64 random(1);
    for (auto& b : data)
        b = std::uint8_t(random());
    const auto flat = Encode(data, false);
    const auto lined = Encode(data, true);
    std::vector<std::uint8_t> out(Base64Decoder::OutputBound(flat.size()));

    std::printf("%-44s %10s\n", "decoder (text in memory, best of 7)", "GB/s text");
    for (auto engine : {Base64Decoder::Engine::Auto, Base64Decoder::Engine::Scalar}) {
        const double s = BestSeconds([&] {
            Base64Decoder decoder(engine);
            decoder.Decode(flat.data(), flat.size(), out.data());
        });
        std::printf("%-44s %10.2f\n",
                    engine == Base64Decoder::Engine::Auto
                        ? (Base64SimdAvailable() ? "unbroken, vector path (AVX2)"
                                                 : "unbroken, automatic (no AVX2 here)")
                        : "unbroken, scalar path",
                    flat.size() / s / 1e9);
    }
    for (auto engine : {Base64Decoder::Engine::Auto, Base64Decoder::Engine::Scalar}) {
        Discard sink;
        const double s = BestSeconds([&] {
            PayloadDecoder payload(sink, engine);
            TextPosition position;
            payload.Begin();
            payload.AddRaw(lined.data(), lined.size(), position);
            payload.End();
        });
        std::printf("%-44s %10.2f\n",
                    engine == Base64Decoder::Engine::Auto ? "76-char CRLF lines, filter + vector"
                                                          : "76-char CRLF lines, filter + scalar",
                    lined.size() / s / 1e9);
    }
    return 0;
}
