#include "normalize/text_encoding.h"

#include <array>
#include <utility>

#include "simd/utf8.h"

namespace salvage::detail {
namespace {

constexpr std::uint32_t kReplacement = 0xFFFD;

struct Candidate {
    TextEncoding encoding;
    std::size_t width;
    std::string_view byteOrderMark;
};

// UTF-32 first: its mark begins with UTF-16's, and its text shows UTF-16's pattern too.
constexpr std::array<Candidate, 4> kCandidates = {{
    {TextEncoding::Utf32LE, 4, std::string_view("\xFF\xFE\0\0", 4)},
    {TextEncoding::Utf32BE, 4, std::string_view("\0\0\xFE\xFF", 4)},
    {TextEncoding::Utf16LE, 2, "\xFF\xFE"},
    {TextEncoding::Utf16BE, 2, "\xFE\xFF"},
}};

constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

bool isBigEndian(TextEncoding encoding) {
    return encoding == TextEncoding::Utf16BE || encoding == TextEncoding::Utf32BE;
}

// How many of the units of `text` hold one non-zero byte, in the place an ASCII character
// takes in this encoding, and zeros ("shaped"), and how many hold anything else but zeros.
struct UnitShapes {
    std::size_t shaped = 0;
    std::size_t other = 0;
};

UnitShapes unitShapes(std::string_view text, const Candidate& candidate) {
    const std::size_t asciiAt = isBigEndian(candidate.encoding) ? candidate.width - 1 : 0;
    UnitShapes shapes;
    for (std::size_t at = 0; at + candidate.width <= text.size(); at += candidate.width) {
        std::size_t nonZero = 0;
        bool asciiPlace = false;
        for (std::size_t k = 0; k < candidate.width; ++k) {
            if (text[at + k] != '\0') {
                ++nonZero;
                asciiPlace = k == asciiAt;
            }
        }
        if (nonZero == 1 && asciiPlace) {
            ++shapes.shaped;
        } else if (nonZero != 0) {
            ++shapes.other;
        }
    }
    return shapes;
}

// Damage may have put junk among the units, so the shape need not hold everywhere: without a
// mark, one unit in five that is not all zeros must have it (random bytes give one in 256),
// with one a unit in nine, or the text must be too short to tell.
bool hasShape(const UnitShapes& shapes, bool marked) {
    constexpr std::size_t kFewestShaped = 2;
    constexpr std::size_t kTooShortToTell = 16;
    if (marked) {
        return shapes.shaped + shapes.other < kTooShortToTell || shapes.shaped * 8 >= shapes.other;
    }
    return shapes.shaped >= kFewestShaped && shapes.shaped * 4 >= shapes.other;
}

bool isHighSurrogate(std::uint32_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}

bool isLowSurrogate(std::uint32_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

}  // namespace

std::string_view encodingName(TextEncoding encoding) {
    switch (encoding) {
        case TextEncoding::Utf8:
            break;
        case TextEncoding::Utf16LE:
            return "UTF-16LE";
        case TextEncoding::Utf16BE:
            return "UTF-16BE";
        case TextEncoding::Utf32LE:
            return "UTF-32LE";
        case TextEncoding::Utf32BE:
            return "UTF-32BE";
    }
    return {};
}

EncodingGuess guessEncoding(std::string_view window) {
    if (window.starts_with(kUtf8ByteOrderMark)) {
        return {TextEncoding::Utf8, kUtf8ByteOrderMark.size()};
    }
    for (const Candidate& candidate : kCandidates) {
        if (window.starts_with(candidate.byteOrderMark) &&
            hasShape(unitShapes(window.substr(candidate.byteOrderMark.size()), candidate), true)) {
            return {candidate.encoding, candidate.byteOrderMark.size()};
        }
    }
    // A byte lost or added leaves text of both byte orders after each other: the one whose
    // shape holds for the most bytes wins. (UTF-32 text has UTF-16's shape in half its bytes.)
    EncodingGuess best;
    std::size_t bestBytes = 0;
    for (const Candidate& candidate : kCandidates) {
        const UnitShapes shapes = unitShapes(window, candidate);
        if (hasShape(shapes, false) && shapes.shaped * candidate.width > bestBytes) {
            best = {candidate.encoding, 0};
            bestBytes = shapes.shaped * candidate.width;
        }
    }
    return best;
}

WideTextDecoder::WideTextDecoder(TextEncoding encoding)
    : encoding_(encoding),
      width_(encoding == TextEncoding::Utf32LE || encoding == TextEncoding::Utf32BE ? 4 : 2),
      bigEndian_(isBigEndian(encoding)) {}

std::uint32_t WideTextDecoder::unitAt(const unsigned char* bytes) const {
    std::uint32_t unit = 0;
    for (std::size_t k = 0; k < width_; ++k) {
        const std::size_t place = bigEndian_ ? k : width_ - 1 - k;
        unit = unit << 8 | bytes[place];
    }
    return unit;
}

void WideTextDecoder::feed(std::string_view in, std::string& out) {
    const auto* p = reinterpret_cast<const unsigned char*>(in.data());
    const auto* const end = p + in.size();
    while (p != end) {
        // A unit split across chunks, or cut anew, is gathered a byte at a time.
        if (partialLength_ != 0 || static_cast<std::size_t>(end - p) < width_) {
            partial_[partialLength_++] = *p++;
            if (partialLength_ == width_) {
                partialLength_ = 0;
                takeUnit(unitAt(partial_), out);
            }
            continue;
        }
        if (width_ == 2 && highSurrogate_ == 0 && outOfStepLength_ == 0) {
            p = copyAsciiUnits(p, end, out);
            if (static_cast<std::size_t>(end - p) < width_) {
                continue;
            }
        }
        takeUnit(unitAt(p), out);
        p += width_;
    }
}

// The bulk of a document: found first, then copied in one go.
const unsigned char* WideTextDecoder::copyAsciiUnits(const unsigned char* p,
                                                     const unsigned char* end,
                                                     std::string& out) const {
    const std::size_t low = bigEndian_ ? 1 : 0;
    const std::size_t units = static_cast<std::size_t>(end - p) / 2;
    std::size_t ascii = 0;
    while (ascii < units && p[2 * ascii + 1 - low] == 0 && p[2 * ascii + low] < 0x80) {
        ++ascii;
    }
    const std::size_t start = out.size();
    out.resize(start + ascii);
    char* const to = out.data() + start;
    for (std::size_t k = 0; k < ascii; ++k) {
        to[k] = static_cast<char>(p[2 * k + low]);
    }
    return p + 2 * ascii;
}

void WideTextDecoder::takeUnit(std::uint32_t unit, std::string& out) {
    if (width_ == 2) {
        takeUtf16(unit, out);
        return;
    }
    const bool character = unit <= 0x10FFFF && !isHighSurrogate(unit) && !isLowSurrogate(unit);
    appendUtf8(character ? unit : kReplacement, out);
}

void WideTextDecoder::takeUtf16(std::uint32_t unit, std::string& out) {
    if (highSurrogate_ != 0) {
        const std::uint32_t high = std::exchange(highSurrogate_, 0);
        if (isLowSurrogate(unit)) {
            appendUtf8(0x10000 + ((high - 0xD800) << 10) + (unit - 0xDC00), out);
            return;
        }
        appendUtf8(kReplacement, out);
    }
    // An ASCII character in the high byte and zero in the low one: read a byte out of step.
    const std::uint32_t high = unit >> 8;
    if ((unit & 0xFF) == 0 && high >= '\t' && high <= '~') {
        outOfStep_[outOfStepLength_++] = static_cast<unsigned char>(high);
        if (outOfStepLength_ == kOutOfStepEvidence) {
            stepByOneByte(out);
        }
        return;
    }
    flushOutOfStep(out);
    if (isHighSurrogate(unit)) {
        highSurrogate_ = unit;
    } else {
        appendUtf8(isLowSurrogate(unit) ? kReplacement : unit, out);
    }
}

// Too few to tell: the units are what they say.
void WideTextDecoder::flushOutOfStep(std::string& out) {
    for (std::size_t k = 0; k < outOfStepLength_; ++k) {
        appendUtf8(std::uint32_t{outOfStep_[k]} << 8, out);
    }
    outOfStepLength_ = 0;
}

// The held units are ASCII read a byte out of step: their characters are kept, and the units
// are cut one byte later from now on. In little-endian order the last character's zero byte
// is still to come; in big-endian order the zero byte taken is the next unit's first.
void WideTextDecoder::stepByOneByte(std::string& out) {
    const std::size_t kept = bigEndian_ ? outOfStepLength_ : outOfStepLength_ - 1;
    out.append(reinterpret_cast<const char*>(outOfStep_), kept);
    partial_[0] = bigEndian_ ? 0 : outOfStep_[outOfStepLength_ - 1];
    partialLength_ = 1;
    outOfStepLength_ = 0;
}

void WideTextDecoder::finish(std::string& out) {
    flushOutOfStep(out);
    if (highSurrogate_ != 0) {
        appendUtf8(kReplacement, out);
        highSurrogate_ = 0;
    }
    partialLength_ = 0;
}

std::size_t WideTextDecoder::heldBack() const {
    return partialLength_ + (highSurrogate_ != 0 ? 2 : 0) + 2 * outOfStepLength_;
}

std::uint64_t WideTextDecoder::convertedBound(std::uint64_t bytes) const {
    return utf8Bound(encoding_, bytes + heldBack());
}

std::uint64_t utf8Bound(TextEncoding encoding, std::uint64_t bytes) {
    switch (encoding) {
        case TextEncoding::Utf16LE:
        case TextEncoding::Utf16BE:
            // A unit of two bytes gives at most three (a pair of four gives four); an unpaired
            // surrogate held back at the end gives three.
            return bytes / 2 * 3 + 3;
        case TextEncoding::Utf8:
        case TextEncoding::Utf32LE:
        case TextEncoding::Utf32BE:
            break;
    }
    return bytes;  // UTF-32: a unit of four gives at most four
}

}  // namespace salvage::detail
