#include "salvage/report_status_line.h"

#include <gtest/gtest.h>

#include "salvage/report_text.h"

namespace salvage {
namespace {

SalvageReport reportWith(std::size_t damaged, std::size_t notUtf8, std::size_t replaced,
                         std::size_t skipped, const char* readError) {
    SalvageReport report;
    report.linesRead = 13;
    report.damagedBase64.resize(damaged);
    report.invalidUtf8Sections.resize(notUtf8);
    report.replacements.resize(replaced);
    report.skippedLookalikes = skipped;
    report.readError = readError;
    return report;
}

TEST(ReportStatusLine, NamesEachKindOfDamageBriefly) {
    struct Case {
        SalvageReport report;
        std::size_t sections;
        std::string line;
    };
    const Case cases[] = {
        {reportWith(0, 0, 0, 0, ""), 1, "1 section"},
        {reportWith(0, 0, 0, 0, ""), 0, "0 sections"},
        {reportWith(1, 1, 1, 1, ""), 6,
         "6 sections; 1 damaged, 1 not UTF-8, 1 replaced, 1 skipped"},
        {reportWith(2, 0, 3, 4, ""), 6, "6 sections; 2 damaged, 3 replaced, 4 skipped"},
        {reportWith(0, 2, 0, 0, "Input/output error"), 2, "2 sections; 2 not UTF-8, stopped early"},
    };
    for (const Case& c : cases) {
        const std::string line = reportStatusLine(c.report, c.sections);
        EXPECT_EQ(line, c.line);
        // Shorter than the summary the command line prints, never longer.
        EXPECT_LE(line.size(), summarizeReport(c.report, c.sections).size()) << c.line;
    }
}

}  // namespace
}  // namespace salvage
