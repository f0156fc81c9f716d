#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace salvage::detail {

struct Implementation;

// Whether `text` is well-formed UTF-8 (no overlong forms, surrogates or values past U+10FFFF),
// checked with the fastest routines this processor runs, or with the given ones.
bool isValidUtf8(std::string_view text);
bool isValidUtf8(std::string_view text, const Implementation& routines);

// Whether `text` is well-formed UTF-8 holding no control character (U+0000 to U+001F, U+007F,
// U+0080 to U+009F) other than tab, line feed and carriage return: text a writer wrote, as
// opposed to bytes decoded out of step.
bool isCleanText(std::string_view text, const Implementation& routines);

// Appends the UTF-8 form of the character `character` (at most U+10FFFF) to `out`.
void appendUtf8(std::uint32_t character, std::string& out);

// Where the last whole character of `text` ends: its size, or the start of a last sequence
// that needs bytes after the end of `text`.
std::size_t wholeCharactersEnd(std::string_view text);

// The same test as isCleanText, one byte at a time, for text that arrives in pieces.
class TextChecker {
  public:
    enum class Step { Complete, Partial, Invalid };

    // After Invalid the checker starts afresh.
    Step step(unsigned char byte);
    void reset() { *this = TextChecker(); }
    // Bytes of the character begun but not yet complete.
    std::size_t pending() const { return pending_; }

  private:
    unsigned need_ = 0;
    unsigned pending_ = 0;
    unsigned char low_ = 0x80;
    unsigned char high_ = 0xBF;
};

}  // namespace salvage::detail
