#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "normalize/normalizer_stage.h"

namespace salvage::detail {

// Whether `window`, the start of a document, holds its markup escaped as a whole, as a web page
// shows it: "&lt;?xml" or a section tag "&lt;Section" (any letter case, perhaps with a
// namespace prefix, "&lt;q:Section"), and no section tag that is not escaped.
bool looksEscapedMarkup(std::string_view window);

// Unescapes "&lt;", "&gt;", "&quot;", "&apos;" and "&amp;" (any letter case), once: "&amp;lt;"
// becomes "&lt;". Any other "&" stays as it is.
class MarkupUnescaper final : public EscapeDecodingStage {
  public:
    MarkupUnescaper() : EscapeDecodingStage('&') {}

    void finish(std::string& out) override;
    std::size_t heldBack() const override { return held_.size(); }

  private:
    bool escapeOpen() const override { return !held_.empty(); }
    void open() override { held_.assign(1, '&'); }
    bool take(char c, std::string& out) override;

    std::string held_;  // "&" and what follows it, while it may still be an escape
};

}  // namespace salvage::detail
