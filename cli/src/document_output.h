#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "options.h"
#include "salvage/reader.h"

namespace qlv::cli {

// What one document contributes: consecutive pieces that point into the document (valid
// while it lives), or why there is nothing to write.
struct DocumentOutput {
    std::vector<std::string_view> pieces;
    std::optional<std::string> error;
};

// All sections, the list of names, or one section's text, as the options ask.
DocumentOutput selectOutput(const salvage::Document& document, const Options& options);

}  // namespace qlv::cli
