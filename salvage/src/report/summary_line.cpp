#include "report/summary_line.h"

namespace salvage::detail {

std::string summaryLine(const SalvageReport& report, std::size_t sectionCount,
                        const SummaryWording& wording) {
    const auto count = [](std::size_t n, std::string_view one, std::string_view many) {
        return std::to_string(n) + std::string(n == 1 ? one : many);
    };
    std::string line = count(sectionCount, " section", " sections");
    if (wording.linesRead) {
        line += " from " + count(report.linesRead, " line", " lines");
    }
    std::string_view separator = "; ";
    const auto add = [&](const std::string& part) {
        line += separator;
        line += part;
        separator = ", ";
    };
    if (!report.damagedBase64.empty()) {
        add(count(report.damagedBase64.size(), wording.damaged, wording.damaged));
    }
    if (!report.invalidUtf8Sections.empty()) {
        add(count(report.invalidUtf8Sections.size(), wording.notUtf8, wording.notUtf8));
    }
    if (!report.replacements.empty()) {
        add(count(report.replacements.size(), wording.replaced, wording.replaced));
    }
    if (report.skippedLookalikes != 0) {
        add(count(report.skippedLookalikes, wording.skippedOne, wording.skippedMany));
    }
    if (!report.readError.empty()) {
        add(std::string(wording.stoppedEarly));
    }
    if (const auto& found = report.thorough) {
        if (found->headerDamaged) {
            add(std::string(wording.headerDamaged));
        }
        if (found->realignments != 0) {
            add(count(found->realignments, wording.realignedOne, wording.realignedMany));
        }
        if (!found->pieces.empty()) {
            add(count(found->pieces.size(), wording.pieceOne, wording.pieceMany));
        }
        if (!found->repeatedNames.empty()) {
            add(count(found->repeatedNames.size(), wording.repeatedOne, wording.repeatedMany));
        }
    }
    return line;
}

}  // namespace salvage::detail
