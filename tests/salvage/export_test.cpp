#include "salvage/export.h"

#include <gtest/gtest.h>

namespace salvage {
namespace {

using namespace std::literals;

TEST(ExportText, WritesEachSectionUnderItsHeading) {
    SectionMap map;
    map.assign("One", "first text");
    map.assign("Two", "line 1\r\nline 2\n");
    EXPECT_EQ(exportText(map),
              "Section: One\nfirst text\n\n"
              "Section: Two\nline 1\r\nline 2\n\n\n");
}

TEST(ExportText, EmptyTextEmptyNameAndEmptyMap) {
    EXPECT_EQ(exportText(SectionMap()), "");
    SectionMap map;
    map.assign("Blank", "");
    map.assign("", "nameless");
    EXPECT_EQ(exportText(map), "Section: Blank\n\n\nSection: \nnameless\n\n");
}

TEST(ExportText, PiecesJoinToTheSameTextAndKeepRawBytes) {
    SectionMap map;
    map.assign("bad \xff utf-8", std::string("zero\0byte"sv));
    std::string joined;
    for (std::string_view piece : exportPieces(map)) {
        joined.append(piece);
    }
    EXPECT_EQ(joined, exportText(map));
    EXPECT_EQ(joined, "Section: bad \xff utf-8\nzero\0byte\n\n"sv);
}

TEST(DefaultNames, ReplaceSeparatorsAndControlCharactersOnly) {
    struct Case {
        std::string_view name;
        std::string_view expected;
    };
    for (const Case& c : {
             Case{"Letter", "Letter.txt"},
             Case{"", ".txt"},
             Case{"../../etc/passwd", ".._.._etc_passwd.txt"},
             Case{"back\\slash", "back_slash.txt"},
             Case{"tab\there\nnew", "tab_here_new.txt"},
             Case{"caf\xc3\xa9 & *?:", "caf\xc3\xa9 & *?:.txt"},
         }) {
        EXPECT_EQ(defaultSaveOneName(c.name), c.expected) << c.name;
        EXPECT_EQ(defaultSaveAllName(c.name), c.expected) << c.name;
    }
}

}  // namespace
}  // namespace salvage
