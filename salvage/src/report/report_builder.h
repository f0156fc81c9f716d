#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "salvage/report.h"

namespace salvage::detail {

// Gathers the per-section facts of a report while a document is read. Facts are kept once per
// section, not once per line, so a document that repeats one name millions of times costs a
// record, not millions of them.
class ReportBuilder {
  public:
    struct Damage {
        std::size_t skippedBytes = 0;
        std::size_t incompleteGroups = 0;
        bool any() const { return skippedBytes != 0 || incompleteGroups != 0; }
    };

    // A section line whose text went to section `index` of the map. `replacedLength` is the
    // length of the earlier text it replaced, when it did.
    void noteSectionLine(SalvageReport& report, std::size_t index, Damage inName, Damage inText,
                         bool validUtf8, const std::size_t* replacedLength);

    // Adds `lines` to the report's list of damaged lines, their numbers moved on by
    // `linesBefore`, as far as the list goes; the rest are counted.
    static void listDamagedLines(SalvageReport& report,
                                 const std::vector<SalvageReport::DamagedLine>& lines,
                                 std::uint64_t linesBefore);

    // Lists the sections whose (final) text is not valid UTF-8, in map order.
    void finish(SalvageReport& report) const;

  private:
    void noteDamage(SalvageReport& report, std::size_t index, Damage damage, bool inName);

    // Per section of the map, made as long as needed when first needed: a document without
    // damage or repeated names costs nothing here. Records are numbered from 1; 0: none yet.
    std::vector<bool> validUtf8_;
    std::vector<std::size_t> damageRecord_;       // [index * 2 + inName] -> record
    std::vector<std::size_t> replacementRecord_;  // [index] -> record
};

}  // namespace salvage::detail
