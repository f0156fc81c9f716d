#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace salvage::detail {

// One step of bringing a document's stored bytes into the form the thorough reading expects.
// Input arrives in chunks; a sequence split across two of them is held back until it is whole.
class NormalizerStage {
  public:
    virtual ~NormalizerStage() = default;

    // Appends the converted form of `in` to `out`.
    virtual void feed(std::string_view in, std::string& out) = 0;
    // Ends the input: what was held back goes out as well as it can.
    virtual void finish(std::string& out) = 0;
    // Bytes held back, waiting for the rest of their sequence. Never more than a few.
    virtual std::size_t heldBack() const = 0;
};

}  // namespace salvage::detail
