#pragma once
// Run-time choice of the vector code paths. Vector functions are compiled for
// AVX2 or AVX-512 one by one (TOLV_AVX2_FUNCTION, TOLV_AVX512_FUNCTION) so that
// the rest of the program still runs on any x86-64 processor, and on other
// processors they do not exist.

#if defined(__x86_64__) || defined(_M_X64)
#define TOLV_HAVE_X86 1
#include <immintrin.h>
#if defined(__GNUC__) || defined(__clang__)
#define TOLV_AVX2_FUNCTION __attribute__((target("avx2")))
#define TOLV_AVX512_FUNCTION __attribute__((target("avx512f,avx512bw,avx512vbmi")))
#define TOLV_AVX512_VBMI2_FUNCTION                                                                 \
    __attribute__((target("avx512f,avx512bw,avx512vbmi2,popcnt,lzcnt")))
#else
#define TOLV_AVX2_FUNCTION
#define TOLV_AVX512_FUNCTION
#define TOLV_AVX512_VBMI2_FUNCTION
#endif
#else
#define TOLV_HAVE_X86 0
#endif

#if defined(_MSC_VER) && !defined(__clang__)
#include <intrin.h>
#endif

namespace tolv::report {

// True when the processor and the operating system support AVX2.
bool CpuHasAvx2();
// The same for AVX-512 with byte permutes (F, BW and VBMI).
bool CpuHasAvx512Vbmi();
// And with byte compression (F, BW and VBMI2).
bool CpuHasAvx512Vbmi2();

// Index of the lowest set bit; mask must not be 0.
inline unsigned LowestSetBit(unsigned mask) {
#if defined(_MSC_VER) && !defined(__clang__)
    unsigned long index;
    _BitScanForward(&index, mask);
    return unsigned(index);
#else
    return unsigned(__builtin_ctz(mask));
#endif
}

inline unsigned LowestSetBit64(unsigned long long mask) {
#if defined(_MSC_VER) && !defined(__clang__)
    unsigned long index;
    _BitScanForward64(&index, mask);
    return unsigned(index);
#else
    return unsigned(__builtin_ctzll(mask));
#endif
}

} // namespace tolv::report
