#include "salvage/section_map.h"

#include <gtest/gtest.h>

#include <vector>

namespace salvage {
namespace {

std::vector<std::string> names(const SectionMap& map) {
    std::vector<std::string> result;
    for (const Section& section : map) {
        result.push_back(section.name);
    }
    return result;
}

TEST(SectionMap, KeepsFirstAppearanceOrderAndTheLastText) {
    SectionMap map;
    EXPECT_FALSE(map.assign("b", "1"));
    EXPECT_FALSE(map.assign("a", "2"));
    EXPECT_EQ(map.assign("b", "three"), 1U);  // length of the text it replaced
    EXPECT_EQ(names(map), (std::vector<std::string>{"b", "a"}));
    EXPECT_EQ(map.lookup("b"), "three");
    EXPECT_EQ(map.size(), 2U);
}

TEST(SectionMap, ComparesNamesByteForByte) {
    SectionMap map;
    map.assign("Intro", "upper");
    map.assign("intro", "lower");
    map.assign(std::string("a\0b", 3), "with a zero byte");
    map.assign("a", "plain");
    EXPECT_EQ(map.size(), 4U);
    EXPECT_EQ(map.lookup("Intro"), "upper");
    EXPECT_EQ(map.lookup(std::string_view("a\0b", 3)), "with a zero byte");
}

TEST(SectionMap, EmptyNameIsAKeyAndMissingNamesLookUpEmpty) {
    SectionMap map;
    map.assign("", "first");
    map.assign("", "second");
    EXPECT_EQ(map.size(), 1U);
    EXPECT_EQ(map.lookup(""), "second");
    EXPECT_EQ(map.find("absent"), nullptr);
    EXPECT_EQ(map.lookup("absent"), "");
}

TEST(SectionMap, ManySectionsStayFindable) {
    SectionMap map;
    for (int i = 0; i < 10000; ++i) {
        map.assign(std::to_string(i), std::to_string(i * 2));
    }
    for (int i = 0; i < 10000; i += 777) {
        EXPECT_EQ(map.lookup(std::to_string(i)), std::to_string(i * 2));
    }
    EXPECT_EQ(map[9999].name, "9999");
}

}  // namespace
}  // namespace salvage
