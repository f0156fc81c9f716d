#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "normalize/normalizer_stage.h"

namespace salvage::detail {

enum class TextEncoding { Utf8, Utf16LE, Utf16BE, Utf32LE, Utf32BE };

// "UTF-16LE" and so on; empty for UTF-8, the form the reading expects.
std::string_view encodingName(TextEncoding encoding);

struct EncodingGuess {
    TextEncoding encoding = TextEncoding::Utf8;
    std::size_t byteOrderMark = 0;  // its length at the start, 0 when there is none
};

// The encoding of the document that begins with `window`. A document's tags and Base64 are
// ASCII, so in UTF-16 or UTF-32 nearly every unit holds one ASCII byte and zeros: that pattern
// decides, or a byte order mark that the pattern does not contradict. Zero bytes alone (a
// zeroed block, padding) do not make a document UTF-16.
EncodingGuess guessEncoding(std::string_view window);

// At most how many bytes of UTF-8 `bytes` bytes in `encoding` become.
std::uint64_t utf8Bound(TextEncoding encoding, std::uint64_t bytes);

// Converts UTF-16 or UTF-32 to UTF-8. A unit that is no character (an unpaired surrogate, a
// value past U+10FFFF) becomes U+FFFD; a byte left over at the end, too few for a unit, is
// dropped. UTF-16 that a lost or added byte put out of step (each unit then holds an ASCII
// character and the zero byte of its neighbour) is cut into units anew, one byte later.
class WideTextDecoder final : public NormalizerStage {
  public:
    explicit WideTextDecoder(TextEncoding encoding);

    void feed(std::string_view in, std::string& out) override;
    void finish(std::string& out) override;
    std::size_t heldBack() const override;

    // At most how many UTF-8 bytes `bytes` more input (and what is held back) can become.
    std::uint64_t convertedBound(std::uint64_t bytes) const;

  private:
    // Units in a row that look out of step before the decoder takes them to be.
    static constexpr std::size_t kOutOfStepEvidence = 8;

    std::uint32_t unitAt(const unsigned char* bytes) const;
    // UTF-16: appends the characters of the ASCII units from `p` on while they last; returns
    // where they end.
    const unsigned char* copyAsciiUnits(const unsigned char* p, const unsigned char* end,
                                        std::string& out) const;
    void takeUnit(std::uint32_t unit, std::string& out);
    void takeUtf16(std::uint32_t unit, std::string& out);
    void flushOutOfStep(std::string& out);
    void stepByOneByte(std::string& out);

    TextEncoding encoding_;
    std::size_t width_;
    bool bigEndian_;
    unsigned char partial_[4] = {};  // the bytes of a unit split across chunks
    std::size_t partialLength_ = 0;
    std::uint32_t highSurrogate_ = 0;  // UTF-16: waiting for its low half, when not 0
    // UTF-16: the ASCII characters of units in a row that look out of step, held back.
    unsigned char outOfStep_[kOutOfStepEvidence] = {};
    std::size_t outOfStepLength_ = 0;
};

}  // namespace salvage::detail
