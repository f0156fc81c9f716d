#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "normalizer_stage.h"

namespace salvage::detail {

// Whether `window`, the start of a document, holds its markup escaped as a whole, as a web page
// shows it: "&lt;?xml" or a section tag "&lt;Section" (any letter case, perhaps with a
// namespace prefix, "&lt;q:Section"), and no section tag that is not escaped.
bool looksEscapedMarkup(std::string_view window);

// Unescapes "&lt;", "&gt;", "&quot;", "&apos;" and "&amp;" (any letter case), once: "&amp;lt;"
// becomes "&lt;". Any other "&" stays as it is.
class MarkupUnescaper final : public NormalizerStage {
  public:
    void feed(std::string_view in, std::string& out) override;
    void finish(std::string& out) override;
    std::size_t heldBack() const override { return held_.size(); }

  private:
    // Takes the byte after an open "&..."; returns whether it was used.
    bool take(char c, std::string& out);

    std::string held_;  // "&" and what follows it, while it may still be an escape
};

}  // namespace salvage::detail
