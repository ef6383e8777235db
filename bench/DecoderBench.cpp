// Decoder throughput on clean Base64 in memory: unbroken text through the
// decoder alone (each path this processor runs), and 76-character CRLF lines through
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
    using Engine = Base64Decoder::Engine;
    const struct {
        Engine engine;
        const char* name;
    } paths[] = {
        {Engine::Avx512Vbmi, "AVX-512 VBMI"}, {Engine::Avx2, "AVX2"}, {Engine::Scalar, "scalar"}};
    for (const auto& path : paths) {
        if (!Base64Decoder::Available(path.engine))
            continue;
        const double s = BestSeconds([&] {
            Base64Decoder decoder(path.engine);
            decoder.Decode(flat.data(), flat.size(), out.data());
        });
        std::printf("unbroken, %-34s %10.2f\n", path.name, flat.size() / s / 1e9);
    }
    for (const auto& path : paths) {
        if (!Base64Decoder::Available(path.engine))
            continue;
        Discard sink;
        const double s = BestSeconds([&] {
            PayloadDecoder payload(sink, path.engine);
            TextPosition position;
            payload.Begin();
            payload.AddRaw(lined.data(), lined.size(), position);
            payload.End();
        });
        std::printf("76-char CRLF lines, filter + %-15s %10.2f\n", path.name,
                    lined.size() / s / 1e9);
    }
    return 0;
}
