#pragma once

// Everything a reading gives that a user or a caller can see, as one string: two readings that
// give the same string cannot be told apart. Shared by the tests and the fuzz targets that
// compare readings.

#include <string>

#include "salvage/damaged_lines.h"
#include "salvage/export.h"
#include "salvage/reader.h"
#include "salvage/report_text.h"

namespace salvage::testing {

inline std::string everythingSeen(const ParseResult& result) {
    std::string all = std::to_string(static_cast<int>(result.status)) + result.reason + "\n";
    if (!result.accepted()) {
        return all;
    }
    const Document& document = result.document;
    for (const Section section : document.contents) {
        all += std::to_string(section.name.size()) + ":" + std::string(section.name) + "=" +
               std::to_string(section.text.size()) + ":" + std::string(section.text) + "\n";
    }
    all += summarizeReport(document.report, document.contents.size()) + "\n";
    all += describeReport(document.report, document.contents) + "\n";
    for (const SalvageReport::DamagedLine& line : document.report.damagedLines) {
        all += "damaged line " + std::to_string(line.line) + " at " + std::to_string(line.offset) +
               "+" + std::to_string(line.length) + " in " + std::to_string(line.section) + ": " +
               describeDamage(line) + "\n";
    }
    all += std::to_string(document.report.damagedLinesNotListed) + " not listed\n";
    all += exportText(document.contents);
    return all;
}

}  // namespace salvage::testing
