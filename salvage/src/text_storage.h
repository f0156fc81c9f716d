#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <new>
#include <stdexcept>
#include <string>

#include "huge_pages.h"

namespace salvage::detail {

// The storage a section's text is decoded into. Room is made ahead of the decoding, so that it
// never has to move what it wrote, and sized from what is known about the input still to come.
class TextStorage {
  public:
    std::string& text() { return text_; }
    const std::string& text() const { return text_; }

    // Makes room for decoding `knownBytes` more Base64 characters. `rest`: how many characters,
    // from them on, the text can still get at most; `endsHere`: whether it is known to end
    // with them.
    void prepare(std::size_t knownBytes, std::uint64_t rest, bool endsHere) {
        std::uint64_t room = knownBytes;
        if (!endsHere) {
            // Input that runs past what is at hand: guess it ends soon; when it does not, make
            // room for the longest it can be, once, instead of growing step by step.
            room = guessed_ ? rest : std::min(rest, room + kFirstGuess);
        }
        const auto bytes = static_cast<std::size_t>(std::min<std::uint64_t>(room, SIZE_MAX / 2));
        if (!fits(bytes)) {
            guessed_ = guessed_ || !endsHere;
            reserve(bytes);
        }
    }

    // The text, without the room made for it when that is worth giving back: it stays
    // allocated in the map for as long as the document is shown.
    std::string take() {
        static const std::size_t inPlace = std::string().capacity();
        const std::size_t spare = text_.capacity() - text_.size();
        if (text_.capacity() > inPlace &&
            (text_.size() <= inPlace || spare > std::max<std::size_t>(64, text_.size() / 8))) {
            text_.shrink_to_fit();
        }
        std::string taken = std::move(text_);
        text_.clear();
        guessed_ = false;
        return taken;
    }

  private:
    // The decoder writes a little past its output (vector stores); no reallocation for that.
    static constexpr std::size_t kDecoderRoom = 64;
    static constexpr std::size_t kAdviseFrom = std::size_t{4} << 20;
    static constexpr std::uint64_t kFirstGuess = std::uint64_t{64} << 10;

    bool fits(std::size_t base64Bytes) const {
        return text_.size() + base64Bytes / 4 * 3 + kDecoderRoom <= text_.capacity();
    }

    void reserve(std::size_t base64Bytes) {
        try {
            text_.reserve(text_.size() + base64Bytes / 4 * 3 + kDecoderRoom);
        } catch (const std::bad_alloc&) {
            // The room is only a bound: the input may hold far less Base64 than its length
            // (junk, a run of zero bytes). Without it, the text grows as it is decoded.
            return;
        } catch (const std::length_error&) {
            return;
        }
        if (text_.capacity() >= kAdviseFrom) {
            adviseHugePages(text_.data(), text_.capacity());
        }
    }

    bool guessed_ = false;
    std::string text_;
};

}  // namespace salvage::detail
