// libFuzzer target: the decoder on any text, in pieces, on every path this
// processor runs, against the scalar path in one call.

#include "report/Base64.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using tolv::report::Base64Decoder;
    if (size == 0)
        return 0;
    const std::size_t piece = 1 + data[0];
    ++data;
    --size;
    std::vector<std::uint8_t> reference(Base64Decoder::OutputBound(size));
    Base64Decoder scalar(Base64Decoder::Engine::Scalar);
    std::size_t n = scalar.Decode(data, size, reference.data());
    n += scalar.Finish(reference.data() + n);

    using Engine = Base64Decoder::Engine;
    for (Engine engine : {Engine::Scalar, Engine::Avx2, Engine::Avx512Vbmi, Engine::Auto}) {
        if (!Base64Decoder::Available(engine))
            continue;
        std::vector<std::uint8_t> out(Base64Decoder::OutputBound(size) + piece);
        Base64Decoder decoder(engine);
        std::size_t m = 0;
        for (std::size_t at = 0; at < size; at += piece)
            m += decoder.Decode(data + at, std::min(piece, size - at), out.data() + m);
        m += decoder.Finish(out.data() + m);
        if (m != n || std::memcmp(out.data(), reference.data(), n) != 0)
            std::abort();
    }

    std::vector<std::uint8_t> whole(data, data + size);
    try {
        tolv::report::Base64Decode(whole);
        if (n == 0 || whole.size() != n || std::memcmp(whole.data(), reference.data(), n) != 0)
            std::abort();
    } catch (const tolv::report::Base64Error&) {
        if (n != 0)
            std::abort();
    }
    return 0;
}
