#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "salvage/paged_string.h"

namespace salvage {

namespace detail {
struct Implementation;
}

// A Base64 decoder that never fails. Bytes outside A-Z a-z 0-9 + / are skipped. "=" ends the
// current 4-character group: its complete bytes are kept (2 characters give 1 byte, 3 give 2,
// 1 gives nothing) and decoding goes on with a new group. An incomplete last group is flushed
// the same way. Leftover low bits are ignored. So "QUJD=REVG" gives "ABCDEF".
//
// Input may arrive in pieces; the decoder keeps the partial group between calls.
class Base64Decoder {
  public:
    // A copy of the decoder's position, to roll back input that turned out not to be Base64
    // (the reader uses this for text inside tags).
    struct Checkpoint {
        std::size_t outputSize = 0;
        unsigned bits = 0;
        unsigned count = 0;
        std::size_t skipped = 0;
        std::size_t incompleteGroups = 0;
    };

    // With the fastest routines this processor runs.
    Base64Decoder();
    // With the given routines (tests compare them).
    explicit Base64Decoder(const detail::Implementation& routines);

    // Decodes `in`, appending the complete bytes to `out`.
    void feed(std::string_view in, std::string& out);
    void feed(std::string_view in, detail::PagedString& out);
    // Ends the input: flushes an incomplete last group into `out` and resets the group.
    void finish(std::string& out);
    void finish(detail::PagedString& out);

    template <class Out>
    Checkpoint checkpoint(const Out& out) const {
        return Checkpoint{out.size(), bits_, count_, skipped_, incompleteGroups_};
    }
    template <class Out>
    void rollback(const Checkpoint& mark, Out& out) {
        out.resize(mark.outputSize);
        bits_ = mark.bits;
        count_ = mark.count;
        skipped_ = mark.skipped;
        incompleteGroups_ = mark.incompleteGroups;
    }

    // Damage seen so far: bytes outside the alphabet and "=" (skipped), and groups that ended
    // after a single character, whose 6 bits cannot make a byte and are lost.
    std::size_t skippedBytes() const { return skipped_; }
    std::size_t incompleteGroups() const { return incompleteGroups_; }

  private:
    // Writes the complete bytes of the pending group (at most 2) to `out`, counts a lone
    // character as lost, and starts a new group. Returns how many bytes it wrote.
    std::size_t endGroup(char* out);
    template <class Out>
    void feedAll(std::string_view in, Out& out);
    template <class Out>
    void feedStep(std::string_view in, Out& out);
    template <class Out>
    void finishInto(Out& out);

    std::size_t (*decodeCleanGroups_)(const unsigned char*, std::size_t, char*, std::size_t&);
    unsigned bits_ = 0;   // up to 18 pending bits of the current group
    unsigned count_ = 0;  // characters of the current group, 0..3
    std::size_t skipped_ = 0;
    std::size_t incompleteGroups_ = 0;
};

// Whole-text convenience form of Base64Decoder.
std::string decodeBase64(std::string_view in);
std::string decodeBase64(std::string_view in, const detail::Implementation& routines);

// The plain table-driven decoder, one character at a time: the reference the faster routines
// are tested against.
std::string decodeBase64Scalar(std::string_view in);

}  // namespace salvage
