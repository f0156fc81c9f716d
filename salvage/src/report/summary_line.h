#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "salvage/report.h"

namespace salvage::detail {

// How a one-line summary words each kind of damage, after its count.
struct SummaryWording {
    bool linesRead = true;          // "from M lines" after the sections
    std::string_view damaged;       // e.g. " with damaged Base64"
    std::string_view notUtf8;       // e.g. " not valid UTF-8"
    std::string_view replaced;      // e.g. " replaced by a later section"
    std::string_view skippedOne;    // e.g. " section-like line skipped"
    std::string_view skippedMany;   // e.g. " section-like lines skipped"
    std::string_view stoppedEarly;  // e.g. "reading stopped early", without a count
    // What only a thorough reading finds.
    std::string_view headerDamaged;  // e.g. "first line damaged", without a count
    std::string_view realignedOne;   // e.g. " realignment"
    std::string_view realignedMany;  // e.g. " realignments"
    std::string_view pieceOne;       // e.g. " piece kept without a section name"
    std::string_view pieceMany;      // e.g. " pieces kept without a section name"
    std::string_view repeatedOne;    // e.g. " repeated name kept under numbers"
    std::string_view repeatedMany;   // e.g. " repeated names kept under numbers"
};

// "N sections from M lines" (or "N sections"), then "; " and each kind of damage found,
// separated by ", ".
std::string summaryLine(const SalvageReport& report, std::size_t sectionCount,
                        const SummaryWording& wording);

}  // namespace salvage::detail
