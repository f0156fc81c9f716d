#pragma once

#include <cstddef>
#include <string>

#include "salvage/report.h"

namespace salvage {

// A shorter summary than summarizeReport(), for a status bar beside a window of the default
// width, e.g. "6 sections; 1 damaged, 1 not UTF-8, 1 replaced, 1 skipped", with room beside it for
// the offer of the thorough reading.
// Ends without a line break.
std::string reportStatusLine(const SalvageReport& report, std::size_t sectionCount);

}  // namespace salvage
