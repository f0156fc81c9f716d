#pragma once

#include <string>
#include <string_view>

#include "salvage/report.h"
#include "salvage/section_map.h"

namespace salvage {

// A section name as it can be shown in a report: in double quotes, with control characters,
// quotes, backslashes and bytes that are not valid UTF-8 written as escapes.
std::string quotedName(std::string_view name);

// One line for a status bar, e.g. "5 sections from 12 lines; 2 damaged, 1 replaced, 3 lines
// skipped". Ends without a line break.
std::string summarizeReport(const SalvageReport& report, std::size_t sectionCount);

// The whole report of the document whose sections are `sections`, one fact per line, each line
// ending in a line break.
std::string describeReport(const SalvageReport& report, const SectionMap& sections);

}  // namespace salvage
