#include "damaged_lines_output.h"

namespace qlv::cli {

void forEachDamagedLine(const salvage::Document& document, const std::filesystem::path* file,
                        const std::function<void(const ShownDamagedLine&)>& show) {
    const salvage::SalvageReport& report = document.report;
    for (const salvage::SalvageReport::DamagedLine& line : report.damagedLines) {
        ShownDamagedLine shown;
        shown.line = &line;
        if (line.section != salvage::SalvageReport::DamagedLine::kNoSection) {
            shown.section = std::string(document.contents[line.section].name);
        }
        shown.what = salvage::describeDamage(line);
        if (file == nullptr) {
            shown.read.message = "Read from standard input: its lines cannot be read again.";
        } else {
            shown.read = salvage::readLineBytes(*file, report, line, kShownLineBytes);
        }
        show(shown);
    }
}

std::string damagedLinesText(const salvage::Document& document, const std::filesystem::path* file) {
    std::string out;
    forEachDamagedLine(document, file, [&](const ShownDamagedLine& shown) {
        out += "  line " + std::to_string(shown.line->line) + " (offset " +
               std::to_string(shown.line->offset) + ", " + std::to_string(shown.line->length) +
               " bytes)";
        if (shown.section) {
            out += ", section \"" + salvage::escapeBytes(*shown.section) + "\"";
        }
        out += ": " + shown.what + "\n    " + salvage::showLineBytes(shown.read) + "\n";
    });
    if (document.report.damagedLinesNotListed != 0) {
        out += "  and " + std::to_string(document.report.damagedLinesNotListed) +
               " more damaged lines, not listed\n";
    }
    return out;
}

}  // namespace qlv::cli
