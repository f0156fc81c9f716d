#include "report_builder.h"

namespace salvage::detail {

void ReportBuilder::noteSectionLine(SalvageReport& report, std::size_t index, std::string_view name,
                                    Damage inName, Damage inText, bool validUtf8,
                                    const std::size_t* replacedLength) {
    noteDamage(report, index, name, inName, true);
    noteDamage(report, index, name, inText, false);
    if (index < validUtf8_.size()) {
        validUtf8_[index] = validUtf8;
    } else {
        validUtf8_.push_back(validUtf8);
    }
    if (replacedLength == nullptr) {
        return;
    }
    const auto [slot, added] = replacementRecord_.try_emplace(index, report.replacements.size());
    if (added) {
        report.replacements.push_back({std::string(name), 0, 0});
    }
    auto& record = report.replacements[slot->second];
    ++record.times;
    record.replacedLength += *replacedLength;
}

void ReportBuilder::noteDamage(SalvageReport& report, std::size_t index, std::string_view name,
                               Damage damage, bool inName) {
    if (!damage.any()) {
        return;
    }
    const std::size_t key = index * 2 + (inName ? 1 : 0);
    const auto [slot, added] = damageRecord_.try_emplace(key, report.damagedBase64.size());
    if (added) {
        report.damagedBase64.push_back({std::string(name), inName, 0, 0, 0});
    }
    auto& record = report.damagedBase64[slot->second];
    ++record.lines;
    record.skippedBytes += damage.skippedBytes;
    record.incompleteGroups += damage.incompleteGroups;
}

void ReportBuilder::finish(SalvageReport& report, const SectionMap& contents) const {
    for (std::size_t i = 0; i < validUtf8_.size(); ++i) {
        if (!validUtf8_[i]) {
            report.invalidUtf8Sections.emplace_back(contents[i].name);
        }
    }
}

}  // namespace salvage::detail
