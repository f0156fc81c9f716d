#include "document_output.h"

#include "salvage/export.h"
#include "salvage/line_breaks.h"

namespace qlv::cli {
namespace {

std::vector<std::string_view> namePieces(const salvage::SectionMap& contents) {
    std::vector<std::string_view> pieces;
    pieces.reserve(contents.size() * 2);
    for (const salvage::Section& section : contents) {
        pieces.push_back(section.name);
        pieces.push_back(salvage::kEndOfLine);
    }
    return pieces;
}

}  // namespace

DocumentOutput selectOutput(const salvage::Document& document, const Options& options) {
    if (options.list) {
        return {namePieces(document.contents), std::nullopt};
    }
    if (options.section) {
        if (const std::string* text = document.contents.find(*options.section)) {
            return {{*text}, std::nullopt};
        }
        return {{}, "no section named \"" + *options.section + "\""};
    }
    return {salvage::exportPieces(document.contents), std::nullopt};
}

}  // namespace qlv::cli
