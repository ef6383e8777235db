#pragma once
// The program's own Base64 decoder. It is lenient and positional: the text is
// read in groups of four characters from its start, and a character outside the
// alphabet (the pad "=" included) keeps its place and only suppresses the byte
// that it would complete. Reports written by older signing tools rely on exactly
// these results, so the decoder must not "repair" anything.

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <vector>

namespace tolv::report {

class Base64Error : public std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The value of a character code: 0 to 63 in the standard alphabet, -1 otherwise.
int Base64Value(int code);

// Replaces data (one byte per character) by the bytes it decodes to. Throws
// Base64Error when the text yields no byte at all.
void Base64Decode(std::vector<std::uint8_t>& data);

// Incremental form of the same decoder: the text may arrive in pieces split at
// any point, and the bytes are those of one call on the whole text.
class Base64Decoder {
public:
    // Auto takes the fastest path this processor runs; the others are for
    // tests and the benchmark, and a path the processor lacks runs as Scalar.
    enum class Engine { Auto, Scalar, Avx2, Avx512Vbmi };

    explicit Base64Decoder(Engine engine = Engine::Auto);
    static bool Available(Engine engine);

    // Room that Decode needs at out for n more characters (includes slack for
    // wide stores).
    static constexpr std::size_t OutputBound(std::size_t n) { return n / 4 * 3 + 3 + 32; }

    // Decodes n characters; returns the number of bytes stored at out.
    std::size_t Decode(const std::uint8_t* in, std::size_t n, std::uint8_t* out);
    // Ends the text: decodes a last incomplete group (at most 2 bytes).
    std::size_t Finish(std::uint8_t* out);
    void Reset();

    std::uint64_t Produced() const { return produced_; }
    Engine Path() const { return path_; }

private:
    std::size_t DecodeGroups(const std::uint8_t* in, std::size_t groups, std::uint8_t* out);

    Engine path_;
    int pendingCount_ = 0;
    std::int8_t pending_[4] = {};
    std::uint64_t produced_ = 0;
};

} // namespace tolv::report
