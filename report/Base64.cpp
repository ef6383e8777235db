#include "report/Base64.h"

#include "report/Simd.h"

#include <array>
#include <cstring>

namespace tolv::report {
namespace {

constexpr std::array<std::int8_t, 256> MakeValueTable() {
    std::array<std::int8_t, 256> table{};
    for (auto& value : table)
        value = -1;
    const char* alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (int i = 0; i < 64; ++i)
        table[static_cast<unsigned char>(alphabet[i])] = static_cast<std::int8_t>(i);
    return table;
}

constexpr std::array<std::int8_t, 256> kValue = MakeValueTable();

// One group of four values, -1 standing for a character outside the alphabet or
// beyond the end. A place's value is used even when it is -1 (so "=A" gives
// 0xFC); only the low 8 bits of each sum are kept.
inline std::size_t DecodeGroup(int a, int b, int c, int d, std::uint8_t* out) {
    if ((a | b | c | d) >= 0) {
        const std::uint32_t v = (std::uint32_t(a) << 18) | (std::uint32_t(b) << 12) |
                                (std::uint32_t(c) << 6) | std::uint32_t(d);
        out[0] = std::uint8_t(v >> 16);
        out[1] = std::uint8_t(v >> 8);
        out[2] = std::uint8_t(v);
        return 3;
    }
    std::size_t n = 0;
    if (b >= 0)
        out[n++] = std::uint8_t(4 * a + b / 16);
    if (c >= 0)
        out[n++] = std::uint8_t(16 * b + c / 4);
    if (d >= 0)
        out[n++] = std::uint8_t(64 * c + d);
    return n;
}

std::size_t DecodeGroupsScalar(const std::uint8_t* in, std::size_t groups, std::uint8_t* out) {
    std::uint8_t* const start = out;
    for (std::size_t g = 0; g < groups; ++g, in += 4)
        out += DecodeGroup(kValue[in[0]], kValue[in[1]], kValue[in[2]], kValue[in[3]], out);
    return std::size_t(out - start);
}

#if TOLV_HAVE_X86
// 32 characters at a time while all of them are in the alphabet; a block holding
// anything else goes through the scalar groups, which give the exact result.
// Characters are classified by their two nibbles: lut_lo[low] & lut_hi[high] is
// non-zero exactly for characters outside the alphabet.
TOLV_AVX2_FUNCTION std::size_t DecodeGroupsAvx2(const std::uint8_t* in, std::size_t groups,
                                                std::uint8_t* out) {
    const __m256i lutLo =
        _mm256_setr_epi8(0x15, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x13, 0x1A,
                         0x1B, 0x1B, 0x1B, 0x1A, 0x15, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11,
                         0x11, 0x11, 0x13, 0x1A, 0x1B, 0x1B, 0x1B, 0x1A);
    const __m256i lutHi =
        _mm256_setr_epi8(0x10, 0x10, 0x01, 0x02, 0x04, 0x08, 0x04, 0x08, 0x10, 0x10, 0x10, 0x10,
                         0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x01, 0x02, 0x04, 0x08, 0x04, 0x08,
                         0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10);
    // Offset from character to value by high nibble; '/' is moved to slot 1.
    const __m256i lutRoll =
        _mm256_setr_epi8(0, 16, 19, 4, -65, -65, -71, -71, 0, 0, 0, 0, 0, 0, 0, 0, 0, 16, 19, 4,
                         -65, -65, -71, -71, 0, 0, 0, 0, 0, 0, 0, 0);
    const __m256i nibble = _mm256_set1_epi8(0x0F);
    const __m256i slash = _mm256_set1_epi8(0x2F);
    const __m256i mergePairs = _mm256_set1_epi32(0x01400140);
    const __m256i mergeQuads = _mm256_set1_epi32(0x00011000);
    const __m256i order = _mm256_setr_epi8(2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1,
                                           2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1);
    const __m256i lanes = _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 7, 7);

    std::uint8_t* const start = out;
    while (groups >= 8) {
        const __m256i text = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in));
        const __m256i hi = _mm256_and_si256(_mm256_srli_epi16(text, 4), nibble);
        const __m256i lo = _mm256_and_si256(text, nibble);
        const __m256i bad =
            _mm256_and_si256(_mm256_shuffle_epi8(lutLo, lo), _mm256_shuffle_epi8(lutHi, hi));
        if (!_mm256_testz_si256(bad, bad)) {
            out += DecodeGroupsScalar(in, 8, out);
        } else {
            const __m256i roll =
                _mm256_shuffle_epi8(lutRoll, _mm256_add_epi8(_mm256_cmpeq_epi8(text, slash), hi));
            const __m256i values = _mm256_add_epi8(text, roll);
            const __m256i pairs = _mm256_maddubs_epi16(values, mergePairs);
            const __m256i quads = _mm256_madd_epi16(pairs, mergeQuads);
            const __m256i packed =
                _mm256_permutevar8x32_epi32(_mm256_shuffle_epi8(quads, order), lanes);
            // Writes 32 bytes of which 24 count; OutputBound leaves room for it.
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), packed);
            out += 24;
        }
        in += 32;
        groups -= 8;
    }
    return std::size_t(out - start) + DecodeGroupsScalar(in, groups, out);
}

// The values of the characters 0-63 and 64-127 for a two-table byte permute;
// 0x80 marks a character outside the alphabet, and every character from 128
// up carries that bit itself.
constexpr std::array<std::int8_t, 128> MakePermuteTable() {
    std::array<std::int8_t, 128> table{};
    for (std::size_t i = 0; i < table.size(); ++i)
        table[i] = kValue[i] < 0 ? std::int8_t(-128) : kValue[i];
    return table;
}

alignas(64) constexpr std::array<std::int8_t, 128> kPermuteTable = MakePermuteTable();

// The three bytes of each 32-bit lane, high byte first; the last 16 are unused.
constexpr std::array<std::uint8_t, 64> MakePackOrder() {
    std::array<std::uint8_t, 64> order{};
    for (std::size_t i = 0; i < 48; ++i)
        order[i] = std::uint8_t(i / 3 * 4 + 2 - i % 3);
    return order;
}

alignas(64) constexpr std::array<std::uint8_t, 64> kPackOrder = MakePackOrder();

// 64 characters at a time, on the same terms as the AVX2 path: a block with
// anything outside the alphabet goes through the scalar groups.
TOLV_AVX512_FUNCTION std::size_t DecodeGroupsAvx512(const std::uint8_t* in, std::size_t groups,
                                                    std::uint8_t* out) {
    const __m512i low = _mm512_load_si512(kPermuteTable.data());
    const __m512i high = _mm512_load_si512(kPermuteTable.data() + 64);
    const __m512i order = _mm512_load_si512(kPackOrder.data());
    const __m512i mergePairs = _mm512_set1_epi32(0x01400140);
    const __m512i mergeQuads = _mm512_set1_epi32(0x00011000);
    const __mmask64 kept = 0x0000FFFFFFFFFFFFull;

    std::uint8_t* const start = out;
    while (groups >= 16) {
        const __m512i text = _mm512_loadu_si512(in);
        const __m512i values = _mm512_permutex2var_epi8(low, text, high);
        if (_mm512_movepi8_mask(_mm512_or_si512(values, text)) != 0) {
            out += DecodeGroupsScalar(in, 16, out);
        } else {
            const __m512i pairs = _mm512_maddubs_epi16(values, mergePairs);
            const __m512i quads = _mm512_madd_epi16(pairs, mergeQuads);
            _mm512_mask_storeu_epi8(out, kept, _mm512_maskz_permutexvar_epi8(kept, order, quads));
            out += 48;
        }
        in += 64;
        groups -= 16;
    }
    return std::size_t(out - start) + DecodeGroupsScalar(in, groups, out);
}
#endif

} // namespace

int Base64Value(int code) {
    return code >= 0 && code < 256 ? kValue[std::size_t(code)] : -1;
}

bool Base64Decoder::Available(Engine engine) {
    switch (engine) {
    case Engine::Avx2:
        return TOLV_HAVE_X86 && CpuHasAvx2();
    case Engine::Avx512Vbmi:
        return TOLV_HAVE_X86 && CpuHasAvx512Vbmi();
    default:
        return true;
    }
}

Base64Decoder::Base64Decoder(Engine engine) : path_(Engine::Scalar) {
    if (engine != Engine::Auto)
        path_ = Available(engine) ? engine : Engine::Scalar;
    else if (Available(Engine::Avx512Vbmi))
        path_ = Engine::Avx512Vbmi;
    else if (Available(Engine::Avx2))
        path_ = Engine::Avx2;
}

void Base64Decoder::Reset() {
    pendingCount_ = 0;
    produced_ = 0;
}

std::size_t Base64Decoder::DecodeGroups(const std::uint8_t* in, std::size_t groups,
                                        std::uint8_t* out) {
#if TOLV_HAVE_X86
    if (path_ == Engine::Avx512Vbmi)
        return DecodeGroupsAvx512(in, groups, out);
    if (path_ == Engine::Avx2)
        return DecodeGroupsAvx2(in, groups, out);
#endif
    return DecodeGroupsScalar(in, groups, out);
}

std::size_t Base64Decoder::Decode(const std::uint8_t* in, std::size_t n, std::uint8_t* out) {
    std::size_t written = 0;
    while (pendingCount_ > 0 && n > 0) {
        pending_[pendingCount_++] = kValue[*in++];
        --n;
        if (pendingCount_ == 4) {
            written += DecodeGroup(pending_[0], pending_[1], pending_[2], pending_[3], out);
            pendingCount_ = 0;
        }
    }
    const std::size_t groups = n / 4;
    written += DecodeGroups(in, groups, out + written);
    in += groups * 4;
    for (std::size_t i = groups * 4; i < n; ++i)
        pending_[pendingCount_++] = kValue[*in++];
    produced_ += written;
    return written;
}

std::size_t Base64Decoder::Finish(std::uint8_t* out) {
    // A last group of one character can give no byte; two or three characters
    // are read with -1 for the missing places, as reading past the end does.
    std::size_t written = 0;
    if (pendingCount_ > 1) {
        for (int i = pendingCount_; i < 4; ++i)
            pending_[i] = -1;
        written = DecodeGroup(pending_[0], pending_[1], pending_[2], pending_[3], out);
    }
    pendingCount_ = 0;
    produced_ += written;
    return written;
}

void Base64Decode(std::vector<std::uint8_t>& data) {
    Base64Decoder decoder;
    std::vector<std::uint8_t> out(Base64Decoder::OutputBound(data.size()));
    std::size_t count = decoder.Decode(data.data(), data.size(), out.data());
    count += decoder.Finish(out.data() + count);
    if (count == 0)
        throw Base64Error("Base64 metni çözülemedi: metinden hiç bayt çıkmıyor");
    out.resize(count);
    data = std::move(out);
}

} // namespace tolv::report
