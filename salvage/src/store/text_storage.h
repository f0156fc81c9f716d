#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <new>
#include <stdexcept>
#include <string>

#include "salvage/section_map.h"
#include "store/page_allocator.h"

namespace salvage::detail {

// The storage a section's text is decoded into. Room is made ahead of the decoding, so that it
// never has to move what it wrote, and sized from what is known about the input still to come;
// large room comes from the page pool, so that the map can keep the text where it was decoded.
class TextStorage {
  public:
    PagedString& text() { return text_; }
    const PagedString& text() const { return text_; }

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

    // The decoded text, ready to be stored: a text long enough for the map to keep as it is
    // first gives back the room made for it, when that is worth it.
    PagedString& finished() {
        const std::size_t spare = text_.capacity() - text_.size();
        if (text_.size() >= SectionMap::kKeptWholeFrom &&
            spare > std::max<std::size_t>(64, text_.size() / 8)) {
            text_.shrink_to_fit();
        }
        return text_;
    }

    // Readies the storage for the next text. A modest buffer is kept for it; a large one is
    // given back rather than held for the rest of the reading.
    void reset() {
        if (text_.capacity() > keptUpTo_) {
            PagedString().swap(text_);
        } else {
            text_.clear();
        }
        guessed_ = false;
    }

    // How much room reset() keeps: storage that takes one chunk of input after another keeps
    // the room of a chunk, which would otherwise be given back and faulted in again each time.
    void keepRoomUpTo(std::size_t bytes) { keptUpTo_ = bytes; }

  private:
    // The decoder writes a little past its output (vector stores); no reallocation for that.
    static constexpr std::size_t kDecoderRoom = 64;
    static constexpr std::uint64_t kFirstGuess = std::uint64_t{64} << 10;
    static constexpr std::size_t kReusedUpTo = std::size_t{1} << 20;

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
    }

    bool guessed_ = false;
    std::size_t keptUpTo_ = kReusedUpTo;
    PagedString text_;
};

}  // namespace salvage::detail
