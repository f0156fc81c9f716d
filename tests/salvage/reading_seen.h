#pragma once

// Everything a reading gives that a user or a caller can see, as one string: two readings that
// give the same string cannot be told apart. Shared by the tests and the fuzz targets that
// compare readings.

#include <string>

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
    all += exportText(document.contents);
    return all;
}

}  // namespace salvage::testing
