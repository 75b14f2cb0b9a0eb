#pragma once
// Instruction sets beyond the build's baseline (SSE2 on x86), checked once at run time. The
// batch loops are compiled a second time for AVX2, whose 8-lane 32-bit multiply the chip's
// arithmetic wants; a processor without it runs the baseline code, with the same results.
// SPU_BASELINE_ONLY builds the baseline alone (to measure it on a processor that has AVX2).
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__)) && !defined(SPU_BASELINE_ONLY)
#define SPU_HAVE_AVX2_PATH 1
#define SPU_TARGET_AVX2 __attribute__((target("avx2")))
#else
#define SPU_HAVE_AVX2_PATH 0
#define SPU_TARGET_AVX2
#endif

// Inlined into both the baseline and the AVX2 function, each compiled for its own set.
#define SPU_KERNEL inline __attribute__((always_inline))

// Off switch for tests: both paths must give the same frames, and a machine with AVX2 would
// otherwise never run the baseline one.
inline bool& avx2Allowed() {
    static bool allowed = true;
    return allowed;
}

inline bool cpuHasAvx2() {
#if SPU_HAVE_AVX2_PATH
    // __builtin_cpu_init: this may run from a static constructor before libgcc's own. The
    // check includes the operating system's support for the wider registers (XGETBV).
    static const bool hasAvx2 = (__builtin_cpu_init(), __builtin_cpu_supports("avx2") != 0);
    return hasAvx2 && avx2Allowed();
#else
    return false;
#endif
}
