#include "simd/base64_groups.h"
#include "simd/kernels.h"

#if QLV_HAVE_X86_SIMD
#include <immintrin.h>

namespace salvage::detail {
namespace {

// Decodes blocks of 32 alphabet characters into 24 bytes while whole blocks are clean; stops at
// the first block holding any other byte. Writes up to 8 bytes past what it reports.
__attribute__((target("avx2"))) std::size_t decodeCleanBlocksAvx2(const unsigned char* in,
                                                                  std::size_t size, char* out,
                                                                  std::size_t& written) {
    // Classification by nibbles: a byte is in the alphabet when its two lookups share no bit.
    const __m256i lutLow =
        _mm256_setr_epi8(0x15, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x13, 0x1A,
                         0x1B, 0x1B, 0x1B, 0x1A, 0x15, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11,
                         0x11, 0x11, 0x13, 0x1A, 0x1B, 0x1B, 0x1B, 0x1A);
    const __m256i lutHigh =
        _mm256_setr_epi8(0x10, 0x10, 0x01, 0x02, 0x04, 0x08, 0x04, 0x08, 0x10, 0x10, 0x10, 0x10,
                         0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x01, 0x02, 0x04, 0x08, 0x04, 0x08,
                         0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10);
    // What to add to a character of each high nibble to get its value ('/' is told apart).
    const __m256i lutRoll =
        _mm256_setr_epi8(0, 16, 19, 4, -65, -65, -71, -71, 0, 0, 0, 0, 0, 0, 0, 0, 0, 16, 19, 4,
                         -65, -65, -71, -71, 0, 0, 0, 0, 0, 0, 0, 0);
    const __m256i mask2F = _mm256_set1_epi8(0x2F);
    const __m256i mergePairs = _mm256_set1_epi32(0x01400140);
    const __m256i mergeQuads = _mm256_set1_epi32(0x00011000);
    const __m256i order = _mm256_setr_epi8(2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1,
                                           2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1);
    const __m256i gather = _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 7, 7);

    std::size_t consumed = 0;
    char* const start = out;
    while (size - consumed >= 32) {
        const __m256i chars = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + consumed));
        const __m256i highNibbles = _mm256_and_si256(_mm256_srli_epi32(chars, 4), mask2F);
        const __m256i lowNibbles = _mm256_and_si256(chars, mask2F);
        const __m256i low = _mm256_shuffle_epi8(lutLow, lowNibbles);
        const __m256i high = _mm256_shuffle_epi8(lutHigh, highNibbles);
        if (!_mm256_testz_si256(low, high)) {
            break;
        }
        const __m256i isSlash = _mm256_cmpeq_epi8(chars, mask2F);
        const __m256i roll = _mm256_shuffle_epi8(lutRoll, _mm256_add_epi8(isSlash, highNibbles));
        const __m256i values = _mm256_add_epi8(chars, roll);
        const __m256i pairs = _mm256_maddubs_epi16(values, mergePairs);
        const __m256i quads = _mm256_madd_epi16(pairs, mergeQuads);
        const __m256i bytes =
            _mm256_permutevar8x32_epi32(_mm256_shuffle_epi8(quads, order), gather);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), bytes);
        out += 24;
        consumed += 32;
    }
    written = static_cast<std::size_t>(out - start);
    return consumed;
}

}  // namespace

std::size_t decodeCleanGroupsAvx2(const unsigned char* in, std::size_t size, char* out,
                                  std::size_t& written) {
    std::size_t blockBytes = 0;
    const std::size_t consumed = decodeCleanBlocksAvx2(in, size, out, blockBytes);
    // The rest of the run, and a block that holds a byte outside the alphabet, group by group.
    std::size_t groupBytes = 0;
    const std::size_t rest =
        decodeCleanGroupsPlain(in + consumed, size - consumed, out + blockBytes, groupBytes);
    written = blockBytes + groupBytes;
    return consumed + rest;
}

}  // namespace salvage::detail

#endif
