// Whether the processor and the operating system allow a vector instruction set, for the choice
// of a kernel.
//
// The C library has asked the processor already, when the process started, and keeps the answer
// (with the operating system's say, and any features the user masked through GLIBC_TUNABLES):
// read from there, the choice costs no CPUID instruction. Under a hypervisor every CPUID leaves
// the guest, and the compiler's own check (__builtin_cpu_supports) runs a survey of the whole
// processor when each library using it loads; that was a sixth of the start-up of a short
// process. Where the C library does not publish its answer, one or two CPUID instructions ask.
//
// Inlined everywhere, also into the resolver that runs while the dynamic linker binds the
// platform's symbols, before a sanitizer's runtime is set up: they must not be instrumented.
#pragma once

#if defined(__x86_64__)
#include <cpuid.h>

#if __has_include(<features.h>)
#include <features.h>
#endif
#if defined(__GLIBC__)
#if __GLIBC_PREREQ(2, 33)
#define ORVEL_CPU_FEATURES_FROM_LIBC 1
#endif
#endif

#define ORVEL_CPU_QUERY_OF(type)                                                                   \
    __attribute__((always_inline, no_sanitize("address", "undefined", "thread"))) inline type

namespace orvel::platform::detail {

#if ORVEL_CPU_FEATURES_FROM_LIBC
// glibc's record (since 2.33) of what it found, a CPUID leaf at a time: the four registers as
// the processor gave them, then the bits of the features usable here. Declared here rather than
// taken from <sys/platform/x86.h>, whose inline functions spell C's _Bool, which clang's C++
// does not accept.
struct LibcCpuidLeaf {
    unsigned int cpuid[4];
    unsigned int active[4];
};
extern "C" const LibcCpuidLeaf* __x86_get_cpuid_feature_leaf(unsigned int leaf) noexcept
    __attribute__((pure));

// glibc numbers its leaves 0 for CPUID leaf 1 and 1 for leaf 7 (subleaf 0), and the registers
// EAX, EBX, ECX, EDX as 0 to 3.
constexpr unsigned kLibcLeaf1 = 0;
constexpr unsigned kLibcLeaf7 = 1;
constexpr unsigned kLibcEbx = 1;
constexpr unsigned kLibcEcx = 2;

ORVEL_CPU_QUERY_OF(bool) CpuFeatureActive(unsigned leaf, unsigned reg, unsigned bit) noexcept {
    return ((__x86_get_cpuid_feature_leaf(leaf)->active[reg] >> bit) & 1U) != 0;
}

ORVEL_CPU_QUERY_OF(bool) CpuHasSse41() noexcept {
    return CpuFeatureActive(kLibcLeaf1, kLibcEcx, 19);
}

// Usable means the operating system saves the YMM registers too.
ORVEL_CPU_QUERY_OF(bool) CpuHasAvx() noexcept {
    return CpuFeatureActive(kLibcLeaf1, kLibcEcx, 28);
}

ORVEL_CPU_QUERY_OF(bool) CpuHasAvx2() noexcept {
    return CpuFeatureActive(kLibcLeaf7, kLibcEbx, 5);
}
#else

// The feature flags in ECX of leaf 1, which every x86-64 processor has.
ORVEL_CPU_QUERY_OF(unsigned) CpuLeaf1Ecx() noexcept {
    unsigned a = 0;
    unsigned b = 0;
    unsigned c = 0;
    unsigned d = 0;
    __cpuid(1, a, b, c, d);
    return c;
}

ORVEL_CPU_QUERY_OF(bool) CpuHasSse41() noexcept {
    return (CpuLeaf1Ecx() & bit_SSE4_1) != 0;
}

// AVX, with the operating system saving the XMM and YMM registers (bits 1 and 2 of XCR0).
ORVEL_CPU_QUERY_OF(bool) CpuHasAvx() noexcept {
    const unsigned features = CpuLeaf1Ecx();
    if ((features & bit_OSXSAVE) == 0 || (features & bit_AVX) == 0) {
        return false;
    }
    unsigned xcr0 = 0;
    __asm__("xgetbv" : "=a"(xcr0) : "c"(0) : "edx");
    return (xcr0 & 6U) == 6U;
}

// Every processor with AVX has leaf 7.
ORVEL_CPU_QUERY_OF(bool) CpuHasAvx2() noexcept {
    if (!CpuHasAvx()) {
        return false;
    }
    unsigned a = 0;
    unsigned b = 0;
    unsigned c = 0;
    unsigned d = 0;
    __cpuid_count(7, 0, a, b, c, d);
    return (b & bit_AVX2) != 0;
}

#endif

} // namespace orvel::platform::detail

#undef ORVEL_CPU_QUERY_OF
#endif
