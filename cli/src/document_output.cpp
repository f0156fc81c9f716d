#include "document_output.h"

#include "salvage/escaped_name.h"
#include "salvage/export.h"
#include "salvage/line_breaks.h"

namespace qlv::cli {
namespace {

kestLibrary::TextPieces namePieces(const salvage::SectionMap& contents) {
    return [&contents](const kestLibrary::PieceWriter& write) {
        for (const salvage::Section section : contents) {
            // Escaped, so that a name holding a line break cannot pass for two names.
            if (salvage::needsEscaping(section.name)) {
                write(salvage::escapedName(section.name));
            } else {
                write(section.name);
            }
            write(salvage::kEndOfLine);
        }
    };
}

}  // namespace

DocumentOutput selectOutput(const salvage::Document& document, const Options& options) {
    if (options.list) {
        return {namePieces(document.contents), std::nullopt};
    }
    if (options.section) {
        if (const auto text = document.contents.find(*options.section)) {
            return {kestLibrary::wholeText(*text), std::nullopt};
        }
        return {{}, "no section named \"" + *options.section + "\""};
    }
    return {salvage::exportPieces(document.contents), std::nullopt};
}

}  // namespace qlv::cli
