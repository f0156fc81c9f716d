#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "base64_encoder.h"

namespace qlv_fuzz {

// Stops the run, so libFuzzer saves the input that broke an invariant.
[[noreturn]] inline void fail(const char* what) {
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}

inline void check(bool ok, const char* what) {
    if (!ok) {
        fail(what);
    }
}

using qlv::encodeBase64;

// Piece sizes for feeding `data` in pieces, taken from the data itself so that every input
// (a plain document from the corpus too) is also read cut at input-dependent places.
class PieceSizes {
  public:
    explicit PieceSizes(std::string_view data) : data_(data) {}

    std::size_t next(std::size_t at) {
        const unsigned char byte =
            data_.empty() ? 0 : static_cast<unsigned char>(data_[at % data_.size()]);
        ++turn_;
        // Mostly small pieces (a CR LF or a tag split across them), sometimes large ones.
        const std::size_t mix = (byte * 7u + turn_ * 13u) % 32u;
        return mix < 24 ? 1 + mix % 9 : 1 + (byte * 31u + turn_) % 600u;
    }

  private:
    std::string_view data_;
    std::size_t turn_ = 0;
};

}  // namespace qlv_fuzz
