#include "report/report_builder.h"

#include <algorithm>

namespace salvage::detail {
namespace {

using Replacement = SalvageReport::Replacement;

// The place in `records` of the record numbered at `numbers[key]`, made by `make` first when
// there is none.
template <class Record, class Make>
std::size_t recordFor(std::vector<std::size_t>& numbers, std::size_t key,
                      std::vector<Record>& records, Make&& make) {
    if (key >= numbers.size()) {
        numbers.resize(std::max(key + 1, numbers.size() * 2), 0);
    }
    if (numbers[key] == 0) {
        records.push_back(make());
        numbers[key] = records.size();
    }
    return numbers[key] - 1;
}

}  // namespace

void ReportBuilder::noteSectionLine(SalvageReport& report, std::size_t index, Damage inName,
                                    Damage inText, bool validUtf8,
                                    const std::size_t* replacedLength) {
    noteDamage(report, index, inName, true);
    noteDamage(report, index, inText, false);
    if (index < validUtf8_.size()) {
        validUtf8_[index] = validUtf8;
    } else {
        validUtf8_.push_back(validUtf8);
    }
    if (replacedLength == nullptr) {
        return;
    }
    auto& record =
        report.replacements[recordFor(replacementRecord_, index, report.replacements, [&] {
            return Replacement{index, 0, 0};
        })];
    ++record.times;
    record.replacedLength += *replacedLength;
}

void ReportBuilder::noteDamage(SalvageReport& report, std::size_t index, Damage damage,
                               bool inName) {
    if (!damage.any()) {
        return;
    }
    auto& record = report.damagedBase64[recordFor(
        damageRecord_, index * 2 + (inName ? 1 : 0), report.damagedBase64, [&] {
            return SalvageReport::Base64Damage{index, inName, 0, 0, 0};
        })];
    ++record.lines;
    record.skippedBytes += damage.skippedBytes;
    record.incompleteGroups += damage.incompleteGroups;
}

void ReportBuilder::listDamagedLines(SalvageReport& report,
                                     const std::vector<SalvageReport::DamagedLine>& lines,
                                     std::uint64_t linesBefore) {
    auto& listed = report.damagedLines;
    const std::size_t room = SalvageReport::kDamagedLinesListed - listed.size();
    const std::size_t taken = std::min(room, lines.size());
    for (std::size_t i = 0; i < taken; ++i) {
        listed.push_back(lines[i]);
        listed.back().line += linesBefore;
    }
    report.damagedLinesNotListed += lines.size() - taken;
}

void ReportBuilder::finish(SalvageReport& report) const {
    for (std::size_t i = 0; i < validUtf8_.size(); ++i) {
        if (!validUtf8_[i]) {
            report.invalidUtf8Sections.push_back(i);
        }
    }
}

}  // namespace salvage::detail
