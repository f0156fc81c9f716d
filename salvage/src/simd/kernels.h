#pragma once

// The per-instruction-set routines behind Implementation (see implementation.h), one file per
// instruction set. The vector versions are compiled per function (target attributes), so the
// program still runs on any x86-64; implementation.cpp offers them only where the processor
// has the instructions.

#include <cstddef>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define QLV_HAVE_X86_SIMD 1
#else
#define QLV_HAVE_X86_SIMD 0
#endif

namespace salvage::detail {

std::size_t decodeCleanGroupsPlain(const unsigned char* in, std::size_t size, char* out,
                                   std::size_t& written);
bool isValidUtf8Plain(const unsigned char* s, std::size_t size);
bool hasControlsPlain(const unsigned char* s, std::size_t size);

#if QLV_HAVE_X86_SIMD
std::size_t decodeCleanGroupsAvx2(const unsigned char* in, std::size_t size, char* out,
                                  std::size_t& written);
bool isValidUtf8Avx2(const unsigned char* s, std::size_t size);
bool hasControlsAvx2(const unsigned char* s, std::size_t size);
#endif

}  // namespace salvage::detail
