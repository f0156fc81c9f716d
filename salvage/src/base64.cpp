#include "salvage/base64.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>

#include "base64_groups.h"
#include "simd.h"

#if QLV_HAVE_X86_SIMD
#include <immintrin.h>
#endif

namespace salvage {
namespace {

using detail::kBase64Slack;
constexpr std::uint8_t kInvalid = detail::kBase64Invalid;
constexpr std::uint8_t kPadding = detail::kBase64Padding;
constexpr const auto& kTable = detail::kBase64Table;

std::atomic<bool> fastPathEnabled{true};

// Input decoded per step: the output it needs is made room for (and zero-filled by the string)
// one cache-sized step at a time, not for a whole huge piece at once.
constexpr std::size_t kStep = std::size_t{64} << 10;

#if QLV_HAVE_X86_SIMD
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
#endif

}  // namespace

namespace detail {

std::size_t decodeCleanGroups(const unsigned char* in, std::size_t size, char* out,
                              std::size_t& written) {
    std::size_t consumed = 0;
    written = 0;
#if QLV_HAVE_X86_SIMD
    if (size >= 32 && detail::cpuHasAvx2()) {
        consumed = decodeCleanBlocksAvx2(in, size, out, written);
        out += written;
    }
#endif
    char* const start = out;
    while (size - consumed >= 4) {
        const unsigned a = kTable[in[consumed]];
        const unsigned b = kTable[in[consumed + 1]];
        const unsigned c = kTable[in[consumed + 2]];
        const unsigned d = kTable[in[consumed + 3]];
        if (((a | b | c | d) & kInvalid) != 0) {
            break;
        }
        const unsigned bits = (a << 18) | (b << 12) | (c << 6) | d;
        out[0] = static_cast<char>(bits >> 16);
        out[1] = static_cast<char>((bits >> 8) & 0xFF);
        out[2] = static_cast<char>(bits & 0xFF);
        out += 3;
        consumed += 4;
    }
    written += static_cast<std::size_t>(out - start);
    return consumed;
}

}  // namespace detail

void Base64Decoder::flushGroup(std::string& out) {
    if (count_ == 2) {
        out.push_back(static_cast<char>((bits_ >> 4) & 0xFF));
    } else if (count_ == 3) {
        out.push_back(static_cast<char>((bits_ >> 10) & 0xFF));
        out.push_back(static_cast<char>((bits_ >> 2) & 0xFF));
    } else if (count_ == 1) {
        ++incompleteGroups_;
    }
    bits_ = 0;
    count_ = 0;
}

void Base64Decoder::feed(std::string_view in, std::string& out) {
    while (in.size() > kStep) {
        feedStep(in.substr(0, kStep), out);
        in.remove_prefix(kStep);
    }
    feedStep(in, out);
}

void Base64Decoder::feedStep(std::string_view in, std::string& out) {
    const auto* data = reinterpret_cast<const unsigned char*>(in.data());
    const std::size_t size = in.size();
    const std::size_t start = out.size();
    // At most 3 bytes for every 4 characters, plus what the pending group can still give, plus
    // room for the vector path's wide stores.
    out.resize(start + (size + count_) / 4 * 3 + 3 + kBase64Slack);
    char* const base = out.data();
    std::size_t length = start;
    std::size_t i = 0;
    const bool fast = fastPathEnabled.load(std::memory_order_relaxed);
    // After a short clean run, input full of junk is decoded a character at a time for a while
    // rather than tried again at every group boundary.
    std::size_t nextFastTry = 0;

    while (i < size) {
        if (fast && count_ == 0 && i >= nextFastTry) {
            std::size_t written = 0;
            const std::size_t consumed =
                detail::decodeCleanGroups(data + i, size - i, base + length, written);
            i += consumed;
            length += written;
            if (i >= size) {
                break;
            }
            if (consumed < 32) {
                nextFastTry = i + 32;
            }
        }
        const unsigned char c = data[i++];
        const unsigned value = kTable[c];
        if (value < 64) {
            bits_ = (bits_ << 6) | value;
            if (++count_ == 4) {
                base[length++] = static_cast<char>((bits_ >> 16) & 0xFF);
                base[length++] = static_cast<char>((bits_ >> 8) & 0xFF);
                base[length++] = static_cast<char>(bits_ & 0xFF);
                bits_ = 0;
                count_ = 0;
            }
        } else if (value == kPadding) {
            if (count_ == 2) {
                base[length++] = static_cast<char>((bits_ >> 4) & 0xFF);
            } else if (count_ == 3) {
                base[length++] = static_cast<char>((bits_ >> 10) & 0xFF);
                base[length++] = static_cast<char>((bits_ >> 2) & 0xFF);
            } else if (count_ == 1) {
                ++incompleteGroups_;
            }
            bits_ = 0;
            count_ = 0;
        } else {
            ++skipped_;
        }
    }
    out.resize(length);
}

void Base64Decoder::finish(std::string& out) {
    flushGroup(out);
}

Base64Decoder::Checkpoint Base64Decoder::checkpoint(const std::string& out) const {
    return Checkpoint{out.size(), bits_, count_, skipped_, incompleteGroups_};
}

void Base64Decoder::rollback(const Checkpoint& mark, std::string& out) {
    out.resize(mark.outputSize);
    bits_ = mark.bits;
    count_ = mark.count;
    skipped_ = mark.skipped;
    incompleteGroups_ = mark.incompleteGroups;
}

std::string decodeBase64(std::string_view in) {
    std::string out;
    out.reserve(in.size() / 4 * 3 + 3 + kBase64Slack);
    Base64Decoder decoder;
    decoder.feed(in, out);
    decoder.finish(out);
    return out;
}

std::string decodeBase64Scalar(std::string_view in) {
    const bool previous = base64FastPathEnabled();
    setBase64FastPathEnabled(false);
    std::string out = decodeBase64(in);
    setBase64FastPathEnabled(previous);
    return out;
}

void setBase64FastPathEnabled(bool enabled) {
    fastPathEnabled.store(enabled, std::memory_order_relaxed);
}

bool base64FastPathEnabled() {
    return fastPathEnabled.load(std::memory_order_relaxed);
}

}  // namespace salvage
