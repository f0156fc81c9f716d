#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "report/report_builder.h"
#include "salvage/reader.h"
#include "store/text_storage.h"

namespace salvage::detail {

// What the plain reading found in a run of lines, kept apart from the document until it is
// stored there in order: the decoded section lines, and how many lines of each kind there were.
struct LineCounts {
    std::size_t lines = 0;
    std::size_t sectionLines = 0;
    std::size_t lookalikes = 0;
};

using DamagedLine = SalvageReport::DamagedLine;

struct DecodedLines {
    struct Section {
        std::size_t nameEnd = 0;  // in `names`, where the one before ends the name begins
        std::size_t textEnd = 0;  // in `texts`, likewise; a text kept whole is in `wholes`
        bool kept = false;
        ReportBuilder::Damage nameDamage;
        ReportBuilder::Damage textDamage;
        bool validUtf8 = true;
        std::size_t damagedRow = kNoRow;  // in `damaged`, when the line is listed there
    };
    static constexpr std::size_t kNoRow = static_cast<std::size_t>(-1);

    TextStorage names;
    TextStorage texts;
    // Kept apart from the records, which then move as plain bytes when their vector grows.
    std::vector<PagedString> wholes;
    std::vector<Section> sections;
    // The lines skipped or decoded with damage, numbered from the first line read into these.
    std::vector<DamagedLine> damaged;

    // Stores the sections in the document in order and forgets them. `linesBefore`: the lines
    // of the document before the first one read into these.
    void storeInto(Document& document, ReportBuilder& report, std::uint64_t linesBefore = 0) {
        std::size_t nameBegin = 0;
        std::size_t textBegin = 0;
        std::size_t nextWhole = 0;
        const std::string_view allNames = names.text();
        const std::string_view allTexts = texts.text();
        for (std::size_t i = 0; i < sections.size(); ++i) {
            Section& section = sections[i];
            if (i + 1 < sections.size()) {
                // Where the next name goes in the index is fetched while this one is stored.
                document.contents.prefetch(
                    allNames.substr(section.nameEnd, sections[i + 1].nameEnd - section.nameEnd));
            }
            const std::string_view name = allNames.substr(nameBegin, section.nameEnd - nameBegin);
            const SectionMap::Stored stored =
                section.kept ? document.contents.assignOwned(name, std::move(wholes[nextWhole++]))
                             : document.contents.assign(
                                   name, allTexts.substr(textBegin, section.textEnd - textBegin));
            report.noteSectionLine(document.report, stored.index, section.nameDamage,
                                   section.textDamage, section.validUtf8,
                                   stored.replacedLength ? &*stored.replacedLength : nullptr);
            if (section.damagedRow != kNoRow) {
                damaged[section.damagedRow].section = stored.index;
            }
            nameBegin = section.nameEnd;
            textBegin = section.textEnd;
        }
        report.listDamagedLines(document.report, damaged, linesBefore);
        sections.clear();
        damaged.clear();
        wholes.clear();
        names.reset();
        texts.reset();
    }
};

}  // namespace salvage::detail
