#include "salvage/section_map.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <vector>

#include "store/page_allocator.h"

namespace salvage {
namespace {

std::vector<std::string> names(const SectionMap& map) {
    std::vector<std::string> result;
    for (const Section section : map) {
        result.emplace_back(section.name);
    }
    return result;
}

TEST(SectionMap, KeepsFirstAppearanceOrderAndTheLastText) {
    SectionMap map;
    EXPECT_EQ(map.assign("b", "1").replacedLength, std::nullopt);
    EXPECT_EQ(map.assign("a", "2").index, 1U);
    const SectionMap::Stored again = map.assign("b", "three");
    EXPECT_EQ(again.index, 0U);
    EXPECT_EQ(again.replacedLength, 1U);  // length of the text it replaced
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
    EXPECT_EQ(map.find(""), std::nullopt);
    map.assign("", "first");
    map.assign("", "second");
    EXPECT_EQ(map.size(), 1U);
    EXPECT_EQ(map.lookup(""), "second");
    EXPECT_EQ(map.find("absent"), std::nullopt);
    EXPECT_EQ(map.lookup("absent"), "");
}

// Names and texts of every size class the storage treats apart (lengths that take one, two
// and three bytes to record, records too large for a shared block, texts kept whole), stored,
// replaced by larger and smaller ones, across many growths of the index: the map must always
// agree with a plain model of it, whatever the key of its hash (the order of the sections and
// every result are the same under any key).
void expectAgreementWithAPlainModel(detail::HashSeed seed) {
    const std::vector<std::size_t> lengths = {0,
                                              1,
                                              127,
                                              128,
                                              16383,
                                              16384,
                                              70000,
                                              SectionMap::kKeptWholeFrom - 1,
                                              SectionMap::kKeptWholeFrom,
                                              300000};
    std::mt19937 random(7);
    SectionMap map(seed);
    std::map<std::string, std::string> model;
    std::vector<std::string> order;
    for (int step = 0; step < 30000; ++step) {
        std::string name = "n" + std::to_string(random() % 20000);
        if (step % 1000 == 0) {
            name.append(lengths[random() % lengths.size()], 'N');
        }
        const std::size_t length = step % 97 == 0 ? lengths[random() % lengths.size()]
                                                  : static_cast<std::size_t>(step % 7);
        std::string text(length, static_cast<char>('a' + step % 26));
        const auto before = model.find(name);
        const std::optional<std::size_t> expected =
            before == model.end() ? std::nullopt : std::optional(before->second.size());
        const SectionMap::Stored stored = step % 2 == 0
                                              ? map.assignOwned(name, detail::PagedString(text))
                                              : map.assign(name, text);
        ASSERT_EQ(stored.replacedLength, expected) << step;
        if (!expected) {
            order.push_back(name);
        }
        ASSERT_EQ(map[stored.index].name, name) << step;
        model[name] = std::move(text);
    }
    ASSERT_EQ(map.size(), order.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        ASSERT_EQ(map[i].name, order[i]);
        ASSERT_EQ(map[i].text, model[order[i]]);
        ASSERT_EQ(map.indexOf(order[i]), i);
    }
    EXPECT_EQ(names(map), order);
}

TEST(SectionMap, AgreesWithAPlainModelWhateverTheSizesAndTheHashKey) {
    for (const std::uint64_t seed : {std::uint64_t{1}, ~std::uint64_t{0} / 3}) {
        SCOPED_TRACE(seed);
        expectAgreementWithAPlainModel(detail::HashSeed{seed});
    }
}

// An index of more than a million slots gives back its pages while it grows: every name must
// still be found afterwards, in its place.
TEST(SectionMap, ManySectionsStayFindableAcrossLargeGrowths) {
    constexpr int kSections = 1'000'000;
    SectionMap map;
    for (int i = 0; i < kSections; ++i) {
        map.assign(std::to_string(i), std::to_string(i % 97));
    }
    ASSERT_EQ(map.size(), static_cast<std::size_t>(kSections));
    for (int i = 0; i < kSections; ++i) {
        const std::string name = std::to_string(i);
        ASSERT_EQ(map.indexOf(name), static_cast<std::size_t>(i));
        ASSERT_EQ(map.lookup(name), std::to_string(i % 97));
    }
    EXPECT_FALSE(map.contains("absent"));
}

TEST(SectionMap, KeepsALongTextWithoutCopyingIt) {
    SectionMap map;
    detail::PagedString text(SectionMap::kKeptWholeFrom, 'x');
    const char* const bytes = text.data();
    map.assignOwned("long", std::move(text));
    EXPECT_EQ(map.lookup("long").data(), bytes);
    detail::PagedString shortText = "short";
    map.assignOwned("short", std::move(shortText));
    EXPECT_EQ(shortText, "short");  // copied, and left as it was
}

// Looked at as the move left it, by construction and by assignment alike.
TEST(SectionMap, AMapMovedFromIsEmptyAndUsable) {
    for (const bool byAssignment : {false, true}) {
        SCOPED_TRACE(byAssignment ? "assigned" : "constructed");
        SectionMap map;
        map.assign("kept", "text");
        SectionMap moved;
        moved.assign("replaced", "gone");
        if (byAssignment) {
            moved = std::move(map);
        } else {
            moved = SectionMap(std::move(map));
        }
        // NOLINTBEGIN(bugprone-use-after-move): the state after the move is what is tested.
        EXPECT_TRUE(map.empty());
        EXPECT_EQ(map.size(), 0u);
        EXPECT_FALSE(map.contains("kept"));
        EXPECT_TRUE(map.begin() == map.end());
        map.assign("again", "more");
        EXPECT_EQ(map.size(), 1u);
        EXPECT_EQ(map.lookup("again"), "more");
        // NOLINTEND(bugprone-use-after-move)
        EXPECT_EQ(moved.size(), 1u);
        EXPECT_EQ(moved.lookup("kept"), "text");
        EXPECT_FALSE(moved.contains("replaced"));
    }
}

}  // namespace
}  // namespace salvage
