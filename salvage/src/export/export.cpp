#include "salvage/export.h"

#include <algorithm>

#include "salvage/line_breaks.h"

namespace salvage {
namespace {
constexpr std::string_view kHeading = "Section: ";
constexpr std::string_view kBlankLineAfterText = "\n\n";
static_assert(kEndOfLine == "\n", "the export's line breaks follow the program's one EOL");
}  // namespace

namespace {

template <class Write>
void writeExport(const SectionMap& contents, Write&& write) {
    for (const Section section : contents) {
        write(kHeading);
        write(section.name);
        write(kEndOfLine);
        write(section.text);
        write(kBlankLineAfterText);
    }
}

}  // namespace

kestLibrary::TextPieces exportPieces(const SectionMap& contents) {
    return [&contents](const kestLibrary::PieceWriter& write) { writeExport(contents, write); };
}

std::string exportText(const SectionMap& contents) {
    std::size_t size = 0;
    writeExport(contents, [&](std::string_view piece) { size += piece.size(); });
    std::string text;
    text.reserve(size);
    writeExport(contents, [&](std::string_view piece) { text.append(piece); });
    return text;
}

std::string safeFileName(std::string_view name) {
    std::string safe(name);
    for (char& c : safe) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '/' || c == '\\' || byte < 0x20 || byte == 0x7F) {
            c = '_';
        }
    }
    return safe;
}

std::string savedFileName(std::string_view stem) {
    constexpr std::string_view kExtension = ".txt";
    std::size_t keep = std::min(stem.size(), kMaxFileNameBytes - kExtension.size());
    // Never keep half a character: back off over the continuation bytes of a cut one.
    if (keep < stem.size()) {
        while (keep > 0 && (static_cast<unsigned char>(stem[keep]) & 0xC0) == 0x80) {
            --keep;
        }
    }
    return safeFileName(stem.substr(0, keep)) + std::string(kExtension);
}

std::string defaultSaveAllName(std::string_view filename) {
    return savedFileName(filename);
}

std::string defaultSaveOneName(std::string_view sectionName) {
    return savedFileName(sectionName);
}

}  // namespace salvage
