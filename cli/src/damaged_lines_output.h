#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "salvage/damaged_lines.h"
#include "salvage/reader.h"

namespace qlv::cli {

// The most of each damaged line shown.
inline constexpr std::size_t kShownLineBytes = 4096;

// A damaged line as it is shown: its place, its section's name and what happened, and its bytes
// read back from the file (escaped), or why they cannot be shown.
struct ShownDamagedLine {
    const salvage::SalvageReport::DamagedLine* line = nullptr;
    std::optional<std::string> section;  // the name, when the line's text went to one
    std::string what;
    salvage::LineBytes read;
};

// Calls `show` for each damaged line listed in `document`'s report, in order. `file`: where
// the document was read from; null for standard input.
void forEachDamagedLine(const salvage::Document& document, const std::filesystem::path* file,
                        const std::function<void(const ShownDamagedLine&)>& show);

// The damaged lines as text, two indented lines for each, and a last one when some were not
// listed.
std::string damagedLinesText(const salvage::Document& document, const std::filesystem::path* file);

}  // namespace qlv::cli
