#include "report/Scan.h"

#include "report/Simd.h"

#include <array>

namespace tolv::report {
namespace {

constexpr bool Plain(unsigned byte) {
    return (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
           (byte >= '0' && byte <= '9') || byte == '+' || byte == '/' || byte == '=' ||
           byte == ' ' || byte == '\t' || byte == '\r' || byte == '\n';
}

constexpr std::array<bool, 256> MakePlainTable() {
    std::array<bool, 256> table{};
    for (unsigned i = 0; i < 256; ++i)
        table[i] = Plain(i);
    return table;
}

constexpr std::array<bool, 256> kPlain = MakePlainTable();

std::size_t PlainRunLengthScalar(const std::uint8_t* data, std::size_t size) {
    std::size_t i = 0;
    while (i < size && kPlain[data[i]])
        ++i;
    return i;
}

#if TOLV_HAVE_X86
// Each high nibble gets one bit (nibbles whose bytes are never plain share one);
// for each low nibble, the bits of the high nibbles with which it is not plain.
// A byte is plain exactly when the two table entries have no bit in common.
constexpr unsigned HighClass(unsigned hi) {
    switch (hi) {
    case 0x0:
        return 0x01;
    case 0x2:
        return 0x02;
    case 0x3:
        return 0x04;
    case 0x4:
    case 0x6:
        return 0x08;
    case 0x5:
    case 0x7:
        return 0x10;
    default:
        return 0x20;
    }
}

struct NibbleTables {
    alignas(16) std::uint8_t lo[16];
    alignas(16) std::uint8_t hi[16];
};

constexpr NibbleTables MakeNibbleTables() {
    NibbleTables t{};
    for (unsigned hi = 0; hi < 16; ++hi)
        t.hi[hi] = std::uint8_t(HighClass(hi));
    for (unsigned lo = 0; lo < 16; ++lo) {
        unsigned bits = 0;
        for (unsigned hi = 0; hi < 16; ++hi)
            if (!Plain(hi << 4 | lo))
                bits |= HighClass(hi);
        t.lo[lo] = std::uint8_t(bits);
    }
    return t;
}

constexpr NibbleTables kNibbles = MakeNibbleTables();

// The class bits must not mix plain and non-plain bytes of one high nibble.
constexpr bool CheckNibbleTables() {
    for (unsigned byte = 0; byte < 256; ++byte)
        if (((kNibbles.lo[byte & 15] & kNibbles.hi[byte >> 4]) == 0) != Plain(byte))
            return false;
    return true;
}
static_assert(CheckNibbleTables());

TOLV_AVX2_FUNCTION std::size_t PlainRunLengthAvx2(const std::uint8_t* data, std::size_t size) {
    const __m256i lutLo =
        _mm256_broadcastsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(kNibbles.lo)));
    const __m256i lutHi =
        _mm256_broadcastsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(kNibbles.hi)));
    const __m256i nibble = _mm256_set1_epi8(0x0F);
    const __m256i zero = _mm256_setzero_si256();
    std::size_t i = 0;
    for (; i + 32 <= size; i += 32) {
        const __m256i text = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + i));
        const __m256i hi = _mm256_and_si256(_mm256_srli_epi16(text, 4), nibble);
        const __m256i lo = _mm256_and_si256(text, nibble);
        const __m256i bad =
            _mm256_and_si256(_mm256_shuffle_epi8(lutLo, lo), _mm256_shuffle_epi8(lutHi, hi));
        const unsigned plain = unsigned(_mm256_movemask_epi8(_mm256_cmpeq_epi8(bad, zero)));
        if (plain != 0xFFFFFFFFu)
            return i + LowestSetBit(~plain);
    }
    return i + PlainRunLengthScalar(data + i, size - i);
}

// 0x80 for the bytes 0-127 that are not plain; bytes from 128 up carry the
// bit themselves.
constexpr std::array<std::uint8_t, 128> MakeNotPlainTable() {
    std::array<std::uint8_t, 128> table{};
    for (unsigned i = 0; i < 128; ++i)
        table[i] = Plain(i) ? 0 : 0x80;
    return table;
}

alignas(64) constexpr std::array<std::uint8_t, 128> kNotPlain = MakeNotPlainTable();

TOLV_AVX512_FUNCTION std::size_t PlainRunLengthAvx512(const std::uint8_t* data, std::size_t size) {
    const __m512i low = _mm512_load_si512(kNotPlain.data());
    const __m512i high = _mm512_load_si512(kNotPlain.data() + 64);
    std::size_t i = 0;
    for (; i + 64 <= size; i += 64) {
        const __m512i text = _mm512_loadu_si512(data + i);
        const std::uint64_t bad =
            _mm512_movepi8_mask(_mm512_or_si512(_mm512_permutex2var_epi8(low, text, high), text));
        if (bad != 0)
            return i + LowestSetBit64(bad);
    }
    return i + PlainRunLengthScalar(data + i, size - i);
}
#endif

#if TOLV_HAVE_X86 && (defined(__GNUC__) || defined(__clang__))
#define TOLV_HAVE_COPY_TEXT 1
// Line ends are counted in bulk the way TextPosition counts them one by one:
// every CR ends a line, an LF only when no CR comes right before it.
TOLV_AVX512_VBMI2_FUNCTION std::size_t CopyTextOfLinesAvx512(const std::uint8_t* data,
                                                             std::size_t size, std::uint8_t* out,
                                                             std::size_t& stored,
                                                             TextPosition& position) {
    const __m512i cr = _mm512_set1_epi8('\r');
    const __m512i lf = _mm512_set1_epi8('\n');
    const __m512i space = _mm512_set1_epi8(' ');
    const __m512i tab = _mm512_set1_epi8('\t');
    std::uint8_t* const start = out;
    std::size_t taken = 0;
    for (; size - taken >= 64; taken += 64) {
        const __m512i text = _mm512_loadu_si512(data + taken);
        if ((_mm512_cmpeq_epi8_mask(text, space) | _mm512_cmpeq_epi8_mask(text, tab)) != 0)
            break;
        const std::uint64_t crs = _mm512_cmpeq_epi8_mask(text, cr);
        const std::uint64_t ends = crs | _mm512_cmpeq_epi8_mask(text, lf);
        // Writes 64 bytes of which the characters count; the room is there.
        _mm512_storeu_si512(out, _mm512_maskz_compress_epi8(~ends, text));
        out += 64 - __builtin_popcountll(ends);
        if (ends == 0) {
            position.column += 64;
            position.afterCr = false;
            continue;
        }
        const std::uint64_t afterCr = crs << 1 | std::uint64_t(position.afterCr);
        position.line +=
            std::uint64_t(__builtin_popcountll(crs) + __builtin_popcountll(ends & ~crs & ~afterCr));
        const std::uint64_t last = std::uint64_t(1) << 63;
        if ((crs & last) != 0) {
            const std::uint64_t before = ends & ~last;
            position.columnBeforeCr =
                before != 0 ? std::uint64_t(__builtin_clzll(before)) - 1 : position.column + 63;
            position.column = 0;
            position.afterCr = true;
        } else {
            position.column = std::uint64_t(__builtin_clzll(ends));
            position.afterCr = false;
        }
    }
    stored = std::size_t(out - start);
    return taken;
}
#endif

} // namespace

bool IsPlainByte(std::uint8_t byte) {
    return kPlain[byte];
}

std::size_t PlainRunLength(const std::uint8_t* data, std::size_t size) {
#if TOLV_HAVE_X86
    if (CpuHasAvx512Vbmi())
        return PlainRunLengthAvx512(data, size);
    if (CpuHasAvx2())
        return PlainRunLengthAvx2(data, size);
#endif
    return PlainRunLengthScalar(data, size);
}

const std::uint8_t* FindBlankOrControl(const std::uint8_t* data, const std::uint8_t* end) {
#if TOLV_HAVE_X86
    // SSE2 is part of every x86-64 processor.
    const __m128i limit = _mm_set1_epi8(0x21);
    while (end - data >= 16) {
        const __m128i text = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data));
        const unsigned mask = unsigned(_mm_movemask_epi8(_mm_cmplt_epi8(text, limit)));
        if (mask != 0)
            return data + LowestSetBit(mask);
        data += 16;
    }
#endif
    while (data < end && static_cast<std::int8_t>(*data) >= 0x21)
        ++data;
    return data;
}

std::size_t CopyTextOfLines(const std::uint8_t* data, std::size_t size, std::uint8_t* out,
                            std::size_t& stored, TextPosition& position) {
    stored = 0;
#ifdef TOLV_HAVE_COPY_TEXT
    if (CpuHasAvx512Vbmi2())
        return CopyTextOfLinesAvx512(data, size, out, stored, position);
#endif
    (void)data;
    (void)size;
    (void)out;
    (void)position;
    return 0;
}

void AdvanceOverPlain(const std::uint8_t* data, std::size_t size, TextPosition& position) {
    const std::uint8_t* const end = data + size;
    while (data < end) {
        const std::uint8_t* blank = FindBlankOrControl(data, end);
        if (blank > data)
            position.Advance(std::uint64_t(blank - data));
        if (blank == end)
            break;
        if (*blank == '\r')
            position.Cr();
        else if (*blank == '\n')
            position.Lf();
        else
            position.Advance(1);
        data = blank + 1;
    }
}

} // namespace tolv::report
