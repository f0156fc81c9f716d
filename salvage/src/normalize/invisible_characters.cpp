#include "normalize/invisible_characters.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace salvage::detail {
namespace {

constexpr std::array<std::string_view, 5> kInvisible = {
    "\xE2\x80\x8B",  // U+200B zero width space
    "\xEF\xBB\xBF",  // U+FEFF byte order mark, zero width no-break space
    "\xE2\x81\xA0",  // U+2060 word joiner
    "\xC2\xA0",      // U+00A0 no-break space
    "\xC2\xAD",      // U+00AD soft hyphen
};

enum class Match { None, Prefix, Whole };

Match match(std::string_view candidate) {
    Match best = Match::None;
    for (const std::string_view invisible : kInvisible) {
        if (invisible == candidate) {
            return Match::Whole;
        }
        if (invisible.starts_with(candidate)) {
            best = Match::Prefix;
        }
    }
    return best;
}

// The first byte at or after `p` that is not ASCII, or `end`.
const char* firstNonAscii(const char* p, const char* end) {
    constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;
    while (end - p >= 32) {
        std::uint64_t words[4];
        std::memcpy(words, p, sizeof words);
        if (((words[0] | words[1] | words[2] | words[3]) & kHighBits) != 0) {
            break;
        }
        p += 32;
    }
    while (end - p >= 8) {
        std::uint64_t word;
        std::memcpy(&word, p, sizeof word);
        if ((word & kHighBits) != 0) {
            break;
        }
        p += 8;
    }
    return std::find_if(p, end, [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

}  // namespace

void InvisibleCharacterFilter::feed(std::string_view in, std::string& out) {
    const char* p = in.data();
    const char* const end = p + in.size();
    while (p != end) {
        if (heldLength_ == 0) {
            const char* const other = firstNonAscii(p, end);
            out.append(p, other);
            p = other;
        }
        // A non-ASCII stretch, or an ASCII byte that ends a held sequence, one byte at a time.
        while (p != end && (heldLength_ != 0 || static_cast<unsigned char>(*p) >= 0x80)) {
            take(static_cast<unsigned char>(*p++), out);
        }
    }
}

bool InvisibleCharacterFilter::passesUnchanged(std::string_view in) const {
    return heldLength_ == 0 &&
           firstNonAscii(in.data(), in.data() + in.size()) == in.data() + in.size();
}

void InvisibleCharacterFilter::take(unsigned char byte, std::string& out) {
    char candidate[3];
    std::copy_n(held_.begin(), heldLength_, candidate);
    candidate[heldLength_] = static_cast<char>(byte);
    switch (match(std::string_view(candidate, heldLength_ + 1))) {
        case Match::Whole:
            ++removed_;
            heldLength_ = 0;
            return;
        case Match::Prefix:
            held_[heldLength_++] = byte;
            return;
        case Match::None:
            break;
    }
    if (heldLength_ == 0) {
        out.push_back(static_cast<char>(byte));
        return;
    }
    // What was held is no invisible character; the byte may begin one of its own.
    out.append(candidate, heldLength_);
    heldLength_ = 0;
    take(byte, out);
}

void InvisibleCharacterFilter::finish(std::string& out) {
    out.append(reinterpret_cast<const char*>(held_.data()), heldLength_);
    heldLength_ = 0;
}

}  // namespace salvage::detail
