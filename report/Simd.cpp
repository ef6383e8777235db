#include "report/Simd.h"

#if TOLV_HAVE_X86 && defined(_MSC_VER)
#include <intrin.h>
#endif

namespace tolv::report {

bool CpuHasAvx2() {
#if TOLV_HAVE_X86 && (defined(__GNUC__) || defined(__clang__))
    // libgcc's check includes the operating system's support of the YMM state.
    static const bool has = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
    }();
    return has;
#elif TOLV_HAVE_X86 && defined(_MSC_VER)
    static const bool has = [] {
        int info[4];
        __cpuid(info, 0);
        if (info[0] < 7)
            return false;
        __cpuid(info, 1);
        const bool osxsave = (info[2] & (1 << 27)) != 0;
        const bool avx = (info[2] & (1 << 28)) != 0;
        if (!osxsave || !avx || (_xgetbv(0) & 6) != 6)
            return false;
        __cpuidex(info, 7, 0);
        return (info[1] & (1 << 5)) != 0;
    }();
    return has;
#else
    return false;
#endif
}

bool CpuHasAvx512Vbmi() {
#if TOLV_HAVE_X86 && (defined(__GNUC__) || defined(__clang__))
    // As for AVX2, libgcc checks that the system saves the ZMM and mask state.
    static const bool has = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
               __builtin_cpu_supports("avx512vbmi");
    }();
    return has;
#elif TOLV_HAVE_X86 && defined(_MSC_VER)
    static const bool has = [] {
        int info[4];
        __cpuid(info, 0);
        if (info[0] < 7)
            return false;
        __cpuid(info, 1);
        if ((info[2] & (1 << 27)) == 0 || (_xgetbv(0) & 0xE6) != 0xE6)
            return false;
        __cpuidex(info, 7, 0);
        const bool f = (info[1] & (1 << 16)) != 0, bw = (info[1] & (1 << 30)) != 0;
        return f && bw && (info[2] & (1 << 1)) != 0;
    }();
    return has;
#else
    return false;
#endif
}

bool CpuHasAvx512Vbmi2() {
#if TOLV_HAVE_X86 && (defined(__GNUC__) || defined(__clang__))
    static const bool has = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
               __builtin_cpu_supports("avx512vbmi2");
    }();
    return has;
#else
    // The one user of it is compiled with GCC or Clang only.
    return false;
#endif
}

} // namespace tolv::report
