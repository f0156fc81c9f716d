#pragma once

#include <string>
#include <string_view>

#include "salvage/section_map.h"
#include "salvage/text_file.h"

namespace salvage {

// The all-sections export: for each section in map order, "Section: ", its name, EOL, its
// text unchanged, EOL, EOL. Nothing before the first record or after the last.
std::string exportText(const SectionMap& contents);

// The same text as pieces that point into `contents` (valid while it lives and is not
// changed), written section by section without building the whole text in memory.
kestLibrary::TextPieces exportPieces(const SectionMap& contents);

// `name` with path separators and control characters replaced by "_", so that a name taken
// from a damaged document cannot point a save at another folder. Everything else is kept.
std::string safeFileName(std::string_view name);

// The longest file name most file systems take, in bytes.
inline constexpr std::size_t kMaxFileNameBytes = 255;

// `stem` made safe and followed by ".txt", cut short (never inside a character) so that the
// whole name fits in kMaxFileNameBytes: a name from a damaged line can run to megabytes.
std::string savedFileName(std::string_view stem);

// Default file names offered when saving: the document's base name, or the section's name.
std::string defaultSaveAllName(std::string_view filename);
std::string defaultSaveOneName(std::string_view sectionName);

}  // namespace salvage
