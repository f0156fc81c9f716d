#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

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

inline std::string encodeBase64(std::string_view bytes) {
    static constexpr char alphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        const std::uint32_t v = std::uint32_t{static_cast<unsigned char>(bytes[i])} << 16 |
                                std::uint32_t{static_cast<unsigned char>(bytes[i + 1])} << 8 |
                                std::uint32_t{static_cast<unsigned char>(bytes[i + 2])};
        for (int shift = 18; shift >= 0; shift -= 6) {
            out.push_back(alphabet[(v >> shift) & 63]);
        }
    }
    const std::size_t rest = bytes.size() - i;
    if (rest != 0) {
        std::uint32_t v = std::uint32_t{static_cast<unsigned char>(bytes[i])} << 16;
        if (rest == 2) {
            v |= std::uint32_t{static_cast<unsigned char>(bytes[i + 1])} << 8;
        }
        out.push_back(alphabet[(v >> 18) & 63]);
        out.push_back(alphabet[(v >> 12) & 63]);
        out.push_back(rest == 2 ? alphabet[(v >> 6) & 63] : '=');
        out.push_back('=');
    }
    return out;
}

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
