#include "salvage/section_filter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace salvage {
namespace {

TEST(FoldCase, MakesCapitalsSmallAndKeepsEverythingElse) {
    struct Row {
        const char* in;
        const char* out;
    };
    const Row rows[] = {
        {"Dear GRANDMOTHER, 42!", "dear grandmother, 42!"},
        {"\xC3\x84rger \xC3\x89T\xC3\xA9", "\xC3\xA4rger \xC3\xA9t\xC3\xA9"},  // Ärger ÉTé
        {"3 \xC3\x97 4", "3 \xC3\x97 4"},                                      // × has no case
        {"\xCE\xA3\xCE\xA0", "\xCF\x83\xCF\x80"},                              // ΣΠ: lead changes
        {"\xD0\x94\xD0\xA0\xD0\x81", "\xD0\xB4\xD1\x80\xD1\x91"},              // ДРЁ
        {"\xE4\xB8\xAD\xF0\x9F\x98\x80", "\xE4\xB8\xAD\xF0\x9F\x98\x80"},      // 中😀
        {"QUIET r\xC3\xBC\xC3\x9C\xC3\x9C, 'ZZZ' \xD0\x9C\xD0\x9E\xD0\xA0\xD0\x95@[`{ \xE2\x80\x94 "
         "END",
         "quiet r\xC3\xBC\xC3\xBC\xC3\xBC, 'zzz' \xD0\xBC\xD0\xBE\xD1\x80\xD0\xB5@[`{ \xE2\x80\x94 "
         "end"},
        {"A\xC3", "a\xC3"},  // a character cut short
        {"\xC3"
         "A\xFF\x80",
         "\xC3"
         "a\xFF\x80"},  // bytes that are no character
    };
    for (const Row& row : rows) {
        EXPECT_EQ(foldCase(row.in), row.out) << row.in;
    }
}

SectionMap sampleMap() {
    SectionMap map;
    map.assign("Greeting", "Dear Grandmother Ingrid,");
    map.assign("Body", "The \xD0\x9C\xD0\x9E\xD0\xA0\xD0\x95 is calm today.");  // МОРЕ
    map.assign("Closing", "With love");
    map.assign("", "");
    return map;
}

TEST(SectionFilter, FindsThePhraseInNamesAndTextsWhateverItsCase) {
    const SectionMap map = sampleMap();
    struct Row {
        const char* phrase;
        std::vector<std::size_t> expected;
    };
    const Row rows[] = {
        {"", {0, 1, 2, 3}},
        {"grand", {0}},
        {"GRANDMOTHER INGRID", {0}},
        {"ing", {0, 2}},                            // a name and a text
        {"\xD0\xBC\xD0\xBE\xD1\x80\xD0\xB5", {1}},  // море
        {"love today", {}},
        {"with love and more", {}},
    };
    for (const Row& row : rows) {
        SectionFilter fresh(map);
        EXPECT_EQ(fresh.match(row.phrase), row.expected) << row.phrase;
    }
}

// Typed one character at a time, then erased: each answer equals a fresh search's.
TEST(SectionFilter, NarrowingAndWideningGiveWhatAFreshSearchGives) {
    const SectionMap map = sampleMap();
    SectionFilter typed(map);
    const std::string phrase = "GrandMother";
    std::vector<std::string> steps;
    for (std::size_t i = 0; i <= phrase.size(); ++i) {
        steps.push_back(phrase.substr(0, i));
    }
    steps.insert(steps.end(), steps.rbegin(), steps.rend());
    steps.push_back("in");
    steps.push_back("win");
    for (const std::string& step : steps) {
        SectionFilter fresh(map);
        EXPECT_EQ(typed.match(step), fresh.match(step)) << step;
    }
}

// A long text is searched piece by piece, eight bytes at a time: the phrase is found wherever
// it lies, astride a piece's or a word's end included, with or without letters beyond ASCII.
TEST(SectionFilter, FindsThePhraseAnywhereInALongText) {
    const std::size_t piece = std::size_t{64} << 10;
    const std::string length(3 * piece, 'x');
    for (const auto& [phrase, typed] : {std::pair<std::string, std::string>{"NADEL", "nAdel"},
                                        {"N\xC3\x84"
                                         "DEL",
                                         "n\xC3\xA4"
                                         "del"}}) {
        std::vector<std::size_t> places = {0, 1, 7, 8, 9, length.size() - phrase.size()};
        for (std::size_t at = piece - phrase.size() - 1; at <= piece + 1; ++at) {
            places.push_back(at);
        }
        for (const std::size_t at : places) {
            std::string text = length;
            text.replace(at, phrase.size(), phrase);
            SectionMap map;
            map.assign("long", text);
            map.assign("short", text.substr(0, phrase.size() + 3));
            SectionFilter filter(map);
            const std::vector<std::size_t> expected =
                at <= 3 ? std::vector<std::size_t>{0, 1} : std::vector<std::size_t>{0};
            EXPECT_EQ(filter.match(typed), expected) << phrase << " at " << at;
        }
    }
}

}  // namespace
}  // namespace salvage
