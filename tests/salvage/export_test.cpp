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
    exportPieces(map)([&](std::string_view piece) { joined.append(piece); });
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

// A name of megabytes from a damaged line must still make a name the file system takes.
TEST(DefaultNames, LongNamesAreCutToFitWithoutSplittingACharacter) {
    const std::string a251(251, 'a');
    const std::string e = "\xc3\xa9";  // two bytes
    struct Case {
        std::string name;
        std::string expected;
    };
    for (const Case& c : {
             Case{a251, a251 + ".txt"},
             Case{a251 + "b", a251 + ".txt"},
             Case{std::string(250, 'a') + e, std::string(250, 'a') + ".txt"},
             Case{std::string(249, 'a') + e + "b", std::string(249, 'a') + e + ".txt"},
             Case{std::string(4'000'000, '/'), std::string(251, '_') + ".txt"},
         }) {
        EXPECT_LE(defaultSaveOneName(c.name).size(), kMaxFileNameBytes);
        EXPECT_EQ(defaultSaveOneName(c.name), c.expected) << c.name;
        EXPECT_EQ(defaultSaveAllName(c.name), c.expected) << c.name;
    }
}

}  // namespace
}  // namespace salvage
