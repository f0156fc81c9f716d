#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "normalize/normalizer_stage.h"

namespace salvage::detail {

// Removes the characters that word processors and web forms slip into text without showing
// them: zero width space, byte order mark, word joiner, no-break space and soft hyphen. The
// reading only looks at ASCII tags and Base64, so nothing it reads is lost with them. Text
// that is all ASCII is copied at memory speed.
class InvisibleCharacterFilter final : public NormalizerStage {
  public:
    void feed(std::string_view in, std::string& out) override;
    void finish(std::string& out) override;
    std::size_t heldBack() const override { return heldLength_; }

    // Whether `in` would be copied as it is: nothing held, and all of it ASCII.
    bool passesUnchanged(std::string_view in) const;
    std::size_t removed() const { return removed_; }

  private:
    // Takes one byte of a non-ASCII stretch.
    void take(unsigned char byte, std::string& out);

    std::array<unsigned char, 2> held_{};  // the start of what may be an invisible character
    std::size_t heldLength_ = 0;
    std::size_t removed_ = 0;
};

}  // namespace salvage::detail
