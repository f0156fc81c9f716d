#include "salvage/report_status_line.h"

#include <string_view>

namespace salvage {

std::string reportStatusLine(const SalvageReport& report, std::size_t sectionCount) {
    const auto count = [](std::size_t n, std::string_view one, std::string_view many) {
        return std::to_string(n) + " " + std::string(n == 1 ? one : many);
    };
    std::string line = count(sectionCount, "section", "sections") + " from " +
                       count(report.linesRead, "line", "lines");
    std::string_view separator = "; ";
    const auto add = [&](const std::string& part) {
        line += separator;
        line += part;
        separator = ", ";
    };
    if (!report.damagedBase64.empty()) {
        add(std::to_string(report.damagedBase64.size()) + " damaged");
    }
    if (!report.invalidUtf8Sections.empty()) {
        add(std::to_string(report.invalidUtf8Sections.size()) + " not UTF-8");
    }
    if (!report.replacements.empty()) {
        add(std::to_string(report.replacements.size()) + " replaced");
    }
    if (report.skippedLookalikes != 0) {
        add(count(report.skippedLookalikes, "line", "lines") + " skipped");
    }
    if (!report.readError.empty()) {
        add("stopped early");
    }
    return line;
}

}  // namespace salvage
