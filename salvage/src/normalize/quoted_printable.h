#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "normalize/normalizer_stage.h"

namespace salvage::detail {

// Whether `window`, the start of a document, was sent through mail as quoted-printable: an
// attribute's "=" written as "=3D" ("version=3D\"1.0\""). Base64 never holds "=" followed by
// two hex digits and a quote.
bool looksQuotedPrintable(std::string_view window);

// Undoes quoted-printable: "=" followed by two hex digits becomes that byte, and a soft line
// break ("=", perhaps blanks, then CR LF, LF or CR) goes. An "=" that starts neither stays as
// it is. The document's own line breaks are kept.
class QuotedPrintableDecoder final : public EscapeDecodingStage {
  public:
    QuotedPrintableDecoder() : EscapeDecodingStage('=') {}

    void finish(std::string& out) override;
    std::size_t heldBack() const override { return held_.size(); }

  private:
    enum class State { Text, AfterEquals, AfterHexDigit, InBlanks, AfterCarriageReturn };

    bool escapeOpen() const override { return state_ != State::Text; }
    void open() override;
    bool take(char c, std::string& out) override;
    void giveUp(std::string& out);

    State state_ = State::Text;
    std::string held_;  // the "=" sequence read so far, given back as it is when it is none
};

}  // namespace salvage::detail
