#include "store/name_hash.h"

#include <cstring>
#include <random>

#if defined(__linux__)
#include <sys/random.h>
#endif

namespace salvage::detail {
namespace {

// Odd constants with about half their bits set, as multiply-mix hashes use.
constexpr std::uint64_t kSecret0 = 0x2d358dccaa6c78a5;
constexpr std::uint64_t kSecret1 = 0x8bb84b93962eacc9;
constexpr std::uint64_t kSecret2 = 0x4b33a62ed433d4a3;

// Without the pedantic warning: GCC and Clang both have the type.
__extension__ typedef unsigned __int128 Wide;

// The 128-bit product of two words, folded: every bit of each input reaches the middle bits of
// the result.
std::uint64_t mix(std::uint64_t a, std::uint64_t b) {
    const Wide product = static_cast<Wide>(a) * b;
    return static_cast<std::uint64_t>(product) ^ static_cast<std::uint64_t>(product >> 64);
}

std::uint64_t read64(const unsigned char* at) {
    std::uint64_t value = 0;
    std::memcpy(&value, at, sizeof value);
    return value;
}

std::uint64_t read32(const unsigned char* at) {
    std::uint32_t value = 0;
    std::memcpy(&value, at, sizeof value);
    return value;
}

std::uint64_t drawSeed() {
    std::uint64_t seed = 0;
#if defined(__linux__)
    if (::getrandom(&seed, sizeof seed, 0) == static_cast<ssize_t>(sizeof seed)) {
        return seed;
    }
#endif
    std::random_device device;
    seed = (std::uint64_t{device()} << 32) ^ device();
    return seed;
}

}  // namespace

std::uint64_t hashKey(std::uint64_t seed) {
    return seed ^ mix(seed ^ kSecret0, kSecret1);
}

std::uint64_t hashName(std::string_view name, std::uint64_t key) {
    const auto* p = reinterpret_cast<const unsigned char*>(name.data());
    const std::size_t length = name.size();
    std::uint64_t seed = key ^ length;
    std::uint64_t a = 0;
    std::uint64_t b = 0;
    if (length <= 16) {
        if (length >= 4) {
            // Two overlapping reads from each end cover every byte.
            const std::size_t middle = (length >> 3) << 2;
            a = (read32(p) << 32) | read32(p + length - 4);
            b = (read32(p + middle) << 32) | read32(p + length - 4 - middle);
        } else if (length > 0) {
            a = (std::uint64_t{p[0]} << 16) | (std::uint64_t{p[length >> 1]} << 8) | p[length - 1];
        }
    } else {
        std::size_t left = length;
        const unsigned char* at = p;
        if (left > 48) {
            // Three independent lanes, so that long names hash at the multiplier's throughput.
            std::uint64_t lane1 = seed;
            std::uint64_t lane2 = seed;
            do {
                seed = mix(read64(at) ^ kSecret0, read64(at + 8) ^ seed);
                lane1 = mix(read64(at + 16) ^ kSecret1, read64(at + 24) ^ lane1);
                lane2 = mix(read64(at + 32) ^ kSecret2, read64(at + 40) ^ lane2);
                at += 48;
                left -= 48;
            } while (left > 48);
            seed ^= lane1 ^ lane2;
        }
        while (left > 16) {
            seed = mix(read64(at) ^ kSecret1, read64(at + 8) ^ seed);
            at += 16;
            left -= 16;
        }
        a = read64(p + length - 16);
        b = read64(p + length - 8);
    }
    const Wide product = static_cast<Wide>(a ^ kSecret1) * (b ^ seed);
    a = static_cast<std::uint64_t>(product);
    b = static_cast<std::uint64_t>(product >> 64);
    return mix(a ^ kSecret0 ^ length, b ^ kSecret1);
}

std::uint64_t processHashSeed() {
    static const std::uint64_t seed = drawSeed();
    return seed;
}

}  // namespace salvage::detail
