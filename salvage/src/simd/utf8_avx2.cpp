#include <cstdint>
#include <cstring>

#include "simd/kernels.h"

#if QLV_HAVE_X86_SIMD
#include <immintrin.h>

namespace salvage::detail {
namespace {

// Below this size the plain check is as quick as setting up the vectors.
constexpr std::size_t kVectorFrom = 64;

// Classifies each byte with its predecessor by three nibble lookups (the error kinds of a byte
// pair share a bit only when the pair is malformed), then checks that the bytes two and three
// places after a 3- and 4-byte lead are continuations. 32 bytes at a time.
constexpr std::uint8_t kTooShort = 1 << 0;
constexpr std::uint8_t kTooLong = 1 << 1;
constexpr std::uint8_t kOverlong3 = 1 << 2;
constexpr std::uint8_t kTooLarge = 1 << 3;
constexpr std::uint8_t kSurrogate = 1 << 4;
constexpr std::uint8_t kOverlong2 = 1 << 5;
constexpr std::uint8_t kTooLarge1000 = 1 << 6;
constexpr std::uint8_t kOverlong4 = 1 << 6;
constexpr std::uint8_t kTwoConts = 1 << 7;
constexpr std::uint8_t kCarry = kTooShort | kTooLong | kTwoConts;

__attribute__((target("avx2"))) inline __m256i table16(
    std::uint8_t b0, std::uint8_t b1, std::uint8_t b2, std::uint8_t b3, std::uint8_t b4,
    std::uint8_t b5, std::uint8_t b6, std::uint8_t b7, std::uint8_t b8, std::uint8_t b9,
    std::uint8_t b10, std::uint8_t b11, std::uint8_t b12, std::uint8_t b13, std::uint8_t b14,
    std::uint8_t b15) {
    const auto c = [](std::uint8_t v) { return static_cast<char>(v); };
    return _mm256_setr_epi8(c(b0), c(b1), c(b2), c(b3), c(b4), c(b5), c(b6), c(b7), c(b8), c(b9),
                            c(b10), c(b11), c(b12), c(b13), c(b14), c(b15), c(b0), c(b1), c(b2),
                            c(b3), c(b4), c(b5), c(b6), c(b7), c(b8), c(b9), c(b10), c(b11), c(b12),
                            c(b13), c(b14), c(b15));
}

// The 32 bytes ending `n` bytes before the end of `input`, the first of them from `previous`.
template <int n>
__attribute__((target("avx2"))) inline __m256i before(__m256i input, __m256i previous) {
    return _mm256_alignr_epi8(input, _mm256_permute2x128_si256(previous, input, 0x21), 16 - n);
}

__attribute__((target("avx2"))) inline __m256i nibbleHigh(__m256i v) {
    return _mm256_and_si256(_mm256_srli_epi16(v, 4), _mm256_set1_epi8(0x0F));
}

__attribute__((target("avx2"))) bool isValidUtf8Blocks(const unsigned char* s, std::size_t size) {
    const __m256i byte1High = table16(
        kTooLong, kTooLong, kTooLong, kTooLong, kTooLong, kTooLong, kTooLong, kTooLong, kTwoConts,
        kTwoConts, kTwoConts, kTwoConts, kTooShort | kOverlong2, kTooShort,
        kTooShort | kOverlong3 | kSurrogate, kTooShort | kTooLarge | kTooLarge1000 | kOverlong4);
    constexpr std::uint8_t kLarge = kCarry | kTooLarge | kTooLarge1000;
    const __m256i byte1Low =
        table16(kCarry | kOverlong3 | kOverlong2 | kOverlong4, kCarry | kOverlong2, kCarry, kCarry,
                kCarry | kTooLarge, kLarge, kLarge, kLarge, kLarge, kLarge, kLarge, kLarge, kLarge,
                kLarge | kSurrogate, kLarge, kLarge);
    const __m256i byte2High = table16(
        kTooShort, kTooShort, kTooShort, kTooShort, kTooShort, kTooShort, kTooShort, kTooShort,
        kTooLong | kOverlong2 | kTwoConts | kOverlong3 | kTooLarge1000 | kOverlong4,
        kTooLong | kOverlong2 | kTwoConts | kOverlong3 | kTooLarge,
        kTooLong | kOverlong2 | kTwoConts | kSurrogate | kTooLarge,
        kTooLong | kOverlong2 | kTwoConts | kSurrogate | kTooLarge, kTooShort, kTooShort, kTooShort,
        kTooShort);
    // Bytes that cannot end the input: leads whose sequence would need bytes after it.
    const __m256i lastLimits =
        _mm256_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,
                         -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, static_cast<char>(0xF0 - 1),
                         static_cast<char>(0xE0 - 1), static_cast<char>(0xC0 - 1));
    const __m256i low4 = _mm256_set1_epi8(0x0F);

    __m256i previous = _mm256_setzero_si256();
    __m256i previousIncomplete = _mm256_setzero_si256();
    __m256i error = _mm256_setzero_si256();
    unsigned char tail[32];
    for (std::size_t at = 0; at < size; at += 32) {
        __m256i input;
        if (size - at >= 32) {
            input = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + at));
        } else {
            std::memset(tail, 0, sizeof tail);
            std::memcpy(tail, s + at, size - at);
            input = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(tail));
        }
        if (_mm256_movemask_epi8(input) == 0) {
            // ASCII only: the one possible fault is a sequence cut short before it.
            error = _mm256_or_si256(error, previousIncomplete);
            previousIncomplete = _mm256_setzero_si256();
        } else {
            const __m256i prev1 = before<1>(input, previous);
            const __m256i special = _mm256_and_si256(
                _mm256_and_si256(_mm256_shuffle_epi8(byte1High, nibbleHigh(prev1)),
                                 _mm256_shuffle_epi8(byte1Low, _mm256_and_si256(prev1, low4))),
                _mm256_shuffle_epi8(byte2High, nibbleHigh(input)));
            const __m256i prev2 = before<2>(input, previous);
            const __m256i prev3 = before<3>(input, previous);
            const __m256i third = _mm256_subs_epu8(prev2, _mm256_set1_epi8(0xE0 - 0x80));
            const __m256i fourth =
                _mm256_subs_epu8(prev3, _mm256_set1_epi8(static_cast<char>(0xF0 - 0x80)));
            const __m256i mustContinue = _mm256_and_si256(
                _mm256_or_si256(third, fourth), _mm256_set1_epi8(static_cast<char>(0x80)));
            error = _mm256_or_si256(error, _mm256_xor_si256(mustContinue, special));
            previousIncomplete = _mm256_subs_epu8(input, lastLimits);
        }
        previous = input;
    }
    error = _mm256_or_si256(error, previousIncomplete);
    return _mm256_testz_si256(error, error) != 0;
}
__attribute__((target("avx2"))) bool hasControlsBlocks(const unsigned char* s, std::size_t size) {
    const __m256i space = _mm256_set1_epi8(0x20);
    const __m256i minusOne = _mm256_set1_epi8(-1);
    const __m256i c1End = _mm256_set1_epi8(static_cast<char>(0xA0));
    __m256i found = _mm256_setzero_si256();
    std::size_t at = 0;
    // Each block also looks at the byte after it (the second byte of a U+0080..U+009F).
    for (; size - at >= 33; at += 32) {
        const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + at));
        const __m256i next = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + at + 1));
        // Signed compares: bytes from 0 to 0x1F are the ones below the space and not negative;
        // bytes from 0x80 to 0x9F are the ones below 0xA0.
        const __m256i low =
            _mm256_and_si256(_mm256_cmpgt_epi8(space, v), _mm256_cmpgt_epi8(v, minusOne));
        const __m256i allowed =
            _mm256_or_si256(_mm256_or_si256(_mm256_cmpeq_epi8(v, _mm256_set1_epi8('\t')),
                                            _mm256_cmpeq_epi8(v, _mm256_set1_epi8('\n'))),
                            _mm256_cmpeq_epi8(v, _mm256_set1_epi8('\r')));
        const __m256i c1 =
            _mm256_and_si256(_mm256_cmpeq_epi8(v, _mm256_set1_epi8(static_cast<char>(0xC2))),
                             _mm256_cmpgt_epi8(c1End, next));
        found = _mm256_or_si256(
            found, _mm256_or_si256(_mm256_or_si256(_mm256_andnot_si256(allowed, low), c1),
                                   _mm256_cmpeq_epi8(v, _mm256_set1_epi8(0x7F))));
    }
    return !_mm256_testz_si256(found, found) || hasControlsPlain(s + at, size - at);
}

}  // namespace

bool isValidUtf8Avx2(const unsigned char* s, std::size_t size) {
    return size >= kVectorFrom ? isValidUtf8Blocks(s, size) : isValidUtf8Plain(s, size);
}

bool hasControlsAvx2(const unsigned char* s, std::size_t size) {
    return size >= kVectorFrom ? hasControlsBlocks(s, size) : hasControlsPlain(s, size);
}

}  // namespace salvage::detail

#endif
