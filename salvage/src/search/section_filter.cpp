#include "salvage/section_filter.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

#include "ascii.h"

namespace salvage {
namespace {

// Texts are folded and searched this many bytes at a time, so that the scratch buffer stays
// small whatever the text's length; the pieces overlap by the phrase's length less one.
constexpr std::size_t kPieceBytes = std::size_t{64} << 10;

// The small letter of a capital encoded in two bytes, or the character itself.
constexpr std::uint32_t foldTwoByte(std::uint32_t c) {
    if ((c >= 0xC0 && c <= 0xDE && c != 0xD7) ||     // Latin-1
        (c >= 0x391 && c <= 0x3AB && c != 0x3A2) ||  // Greek
        (c >= 0x410 && c <= 0x42F)) {                // Cyrillic
        return c + 0x20;
    }
    if (c >= 0x400 && c <= 0x40F) {  // Cyrillic with marks: Ѐ to Џ
        return c + 0x50;
    }
    return c;
}

constexpr std::uint64_t kOnes = 0x0101010101010101;
constexpr std::uint64_t kHighBits = 0x8080808080808080;

// The high bit of each byte of the word that equals `byte`, and no other bit.
constexpr std::uint64_t bytesEqual(std::uint64_t word, unsigned char byte) {
    const std::uint64_t v = word ^ (byte * kOnes);
    return ~(((v & ~kHighBits) + ~kHighBits) | v | ~kHighBits);
}

// Whether eight bytes may hold a capital of more than one byte: its first byte is one of
// these (capitals of Latin-1, Greek, Cyrillic).
constexpr bool mayHoldWideCapital(std::uint64_t word) {
    return (word & kHighBits) != 0 &&
           (bytesEqual(word, 0xC3) | bytesEqual(word, 0xCE) | bytesEqual(word, 0xD0)) != 0;
}

// Folds one character, or one byte that is none, at in[i] into out[0] (and out[1]); returns
// the bytes it took.
std::size_t foldAt(const char* in, std::size_t i, std::size_t size, char* out) {
    const auto byte = static_cast<unsigned char>(in[i]);
    if (byte < 0x80) {
        out[0] = detail::toLowerAscii(in[i]);
        return 1;
    }
    if (byte >= 0xC2 && byte <= 0xDF && i + 1 < size) {
        const auto next = static_cast<unsigned char>(in[i + 1]);
        if ((next & 0xC0) == 0x80) {
            const std::uint32_t folded =
                foldTwoByte((std::uint32_t{byte} & 0x1F) << 6 | (next & 0x3F));
            out[0] = static_cast<char>(0xC0 | (folded >> 6));
            out[1] = static_cast<char>(0x80 | (folded & 0x3F));
            return 2;
        }
    }
    out[0] = in[i];
    return 1;
}

// The word with its bytes from 'A' to 'Z' made small; bytes from 0x80 on stay as they are. The
// sums are of seven-bit bytes, so none carries into the next byte.
constexpr std::uint64_t lowerAsciiWord(std::uint64_t word) {
    const std::uint64_t low = word & ~kHighBits;
    const std::uint64_t fromA = low + (0x80 - 'A') * kOnes;
    const std::uint64_t pastZ = low + (0x80 - 'Z' - 1) * kOnes;
    return word | (fromA & ~pastZ & ~word & kHighBits) >> 2;
}

// Whether `haystack` holds `phrase`, a folded phrase that begins with an ASCII byte, in any
// case. That byte can only match an ASCII byte, which folds on its own: the haystack is scanned
// eight bytes at a time for it, and only where it stands is the rest folded and compared.
bool containsFromAsciiStart(std::string_view haystack, std::string_view phrase, bool allAscii) {
    if (phrase.size() > haystack.size()) {
        return false;
    }
    const auto matchesAt = [&](std::size_t at) {
        if (allAscii) {
            for (std::size_t k = 1; k < phrase.size(); ++k) {
                if (detail::toLowerAscii(haystack[at + k]) != phrase[k]) {
                    return false;
                }
            }
            return true;
        }
        // A character the phrase cuts short is folded whole, from the bytes after it.
        const char* const in = haystack.data() + at;
        const std::size_t size = std::min(haystack.size() - at, phrase.size() + 1);
        char folded[2];
        for (std::size_t k = 1; k < phrase.size();) {
            const std::size_t taken = foldAt(in, k, size, folded);
            if (folded[0] != phrase[k] ||
                (taken == 2 && k + 1 < phrase.size() && folded[1] != phrase[k + 1])) {
                return false;
            }
            k += taken;
        }
        return true;
    };
    const auto first = static_cast<unsigned char>(phrase.front());
    const std::size_t starts = haystack.size() - phrase.size() + 1;  // places it can begin
    std::size_t at = 0;
    for (; at + 8 <= starts; at += 8) {
        std::uint64_t word = 0;
        std::memcpy(&word, haystack.data() + at, 8);
        for (std::uint64_t found = bytesEqual(lowerAsciiWord(word), first); found != 0;
             found &= found - 1) {
            if (matchesAt(at + static_cast<std::size_t>(std::countr_zero(found)) / 8)) {
                return true;
            }
        }
    }
    for (; at < starts; ++at) {
        if (static_cast<unsigned char>(detail::toLowerAscii(haystack[at])) == first &&
            matchesAt(at)) {
            return true;
        }
    }
    return false;
}

// Folds [in, in + size) into out, which has room for `size` bytes.
void foldInto(const char* in, std::size_t size, char* out) {
    std::size_t i = 0;
    while (i + 8 <= size) {
        std::uint64_t word = 0;
        std::memcpy(&word, in + i, 8);
        if (mayHoldWideCapital(word)) {
            for (const std::size_t end = i + 8; i < end;) {
                i += foldAt(in, i, size, out + i);
            }
            continue;
        }
        word = lowerAsciiWord(word);
        std::memcpy(out + i, &word, 8);
        i += 8;
    }
    while (i < size) {
        i += foldAt(in, i, size, out + i);
    }
}

}  // namespace

std::string foldCase(std::string_view utf8) {
    std::string folded(utf8.size(), '\0');
    foldInto(utf8.data(), utf8.size(), folded.data());
    return folded;
}

const std::vector<std::size_t>& SectionFilter::match(std::string_view phrase) {
    const std::string folded = foldCase(phrase);
    if (searched_ && folded == lastPhrase_) {
        return matches_;
    }
    const bool narrowing =
        searched_ && !lastPhrase_.empty() && folded.find(lastPhrase_) != std::string::npos;
    phraseIsAscii_ = std::all_of(folded.begin(), folded.end(),
                                 [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    std::vector<std::size_t> found;
    const auto consider = [&](std::size_t index) {
        const Section section = map_[index];
        if (contains(section.name, folded) || contains(section.text, folded)) {
            found.push_back(index);
        }
    };
    if (folded.empty()) {
        found.resize(map_.size());
        for (std::size_t i = 0; i < found.size(); ++i) {
            found[i] = i;
        }
    } else if (narrowing) {
        for (const std::size_t index : matches_) {
            consider(index);
        }
    } else {
        for (std::size_t i = 0; i < map_.size(); ++i) {
            consider(i);
        }
    }
    matches_ = std::move(found);
    lastPhrase_ = folded;
    searched_ = true;
    return matches_;
}

bool SectionFilter::contains(std::string_view haystack, std::string_view foldedPhrase) {
    if (static_cast<unsigned char>(foldedPhrase.front()) < 0x80) {
        return containsFromAsciiStart(haystack, foldedPhrase, phraseIsAscii_);
    }
    if (foldedPhrase.size() > haystack.size()) {
        return false;
    }
    const std::size_t overlap = foldedPhrase.size() - 1;
    for (std::size_t at = 0; at < haystack.size();) {
        // A piece may end inside a character; the next piece starts `overlap` bytes back, so
        // every place the phrase can begin is searched with the whole phrase after it.
        const std::size_t size = std::min(haystack.size() - at, kPieceBytes + overlap);
        if (scratch_.size() < size) {
            scratch_.resize(kPieceBytes + overlap);
        }
        foldInto(haystack.data() + at, size, scratch_.data());
        if (std::string_view(scratch_.data(), size).find(foldedPhrase) != std::string_view::npos) {
            return true;
        }
        if (at + size == haystack.size()) {
            break;
        }
        at += size - overlap;
    }
    return false;
}

}  // namespace salvage
