#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "options.h"
#include "salvage/reader.h"
#include "salvage/text_file.h"

namespace qlv::cli {

// What one document contributes: consecutive pieces that point into the document (valid
// while it lives), or why there is nothing to write.
struct DocumentOutput {
    kestLibrary::TextPieces pieces;
    std::optional<std::string> error;
};

// All sections, the list of names, or one section's text, as the options ask.
DocumentOutput selectOutput(const salvage::Document& document, const Options& options);

}  // namespace qlv::cli
