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

// A stage that copies its input but for escapes, each begun by one byte (`opener`): the text
// between them is copied at memory speed, and each escape's bytes are taken one at a time.
class EscapeDecodingStage : public NormalizerStage {
  public:
    explicit EscapeDecodingStage(char opener) : opener_(opener) {}

    void feed(std::string_view in, std::string& out) final;

  protected:
    virtual bool escapeOpen() const = 0;
    // The opener was read; an escape begins.
    virtual void open() = 0;
    // Takes the next byte while an escape is open; returns whether it was used (otherwise it
    // is read afresh, after the escape was given up).
    virtual bool take(char c, std::string& out) = 0;

  private:
    char opener_;
};

}  // namespace salvage::detail
