#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "salvage/carve.h"

namespace qlv::cli {

// The lines of a carving's index (the format is in --help): each one JSON object and its line
// break.
std::string documentRecord(const salvage::CarvedDocument& document,
                           const std::optional<std::string>& file,
                           const std::optional<std::string>& duplicateOf);
std::string unreadableRecord(const salvage::ByteRange& range);
std::string summaryRecord(std::string_view source, const salvage::CarveSummary& summary,
                          std::size_t duplicates);

// Short names of the damage the thorough reading found, in a fixed order.
std::vector<std::string> damageNames(const salvage::SalvageReport& report);

// "0x0000001000 NAME.txt": where the document starts, then its first section's name (nothing
// when it has none), made safe and short enough for a file name.
std::string carvedFileName(const salvage::CarvedDocument& document);

}  // namespace qlv::cli
