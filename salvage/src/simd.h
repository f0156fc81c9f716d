#pragma once

// Which vector instructions the processor offers, asked once. The fast paths that use them are
// compiled per function (target attributes), so the program still runs on any x86-64.

namespace salvage::detail {

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define QLV_HAVE_X86_SIMD 1
inline bool cpuHasAvx2() {
    static const bool has = __builtin_cpu_supports("avx2");
    return has;
}
#else
#define QLV_HAVE_X86_SIMD 0
inline bool cpuHasAvx2() {
    return false;
}
#endif

}  // namespace salvage::detail
