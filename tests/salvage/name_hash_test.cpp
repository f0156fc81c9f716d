#include "store/name_hash.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "salvage/section_map.h"

namespace salvage::detail {
namespace {

// Every length the hash reads in its own way (up to 3 bytes, 4 to 16, 17 to 48, longer): a
// change of any one bit of any byte, of the length alone, or of the seed changes the hash.
TEST(NameHash, EveryBitOfTheNameTheLengthAndTheSeedCount) {
    for (std::size_t length = 0; length <= 120; ++length) {
        SCOPED_TRACE(length);
        std::string name(length, '\0');
        for (std::size_t i = 0; i < length; ++i) {
            name[i] = static_cast<char>('A' + (i * 7) % 50);
        }
        const std::uint64_t hash = hashName(name, hashKey(1));
        EXPECT_NE(hashName(name, hashKey(2)), hash);
        EXPECT_NE(hashName(name + '\0', hashKey(1)), hash);
        for (std::size_t i = 0; i < length; ++i) {
            for (int bit = 0; bit < 8; ++bit) {
                std::string changed = name;
                changed[i] = static_cast<char>(changed[i] ^ (1 << bit));
                ASSERT_NE(hashName(changed, hashKey(1)), hash) << "byte " << i << ", bit " << bit;
            }
        }
    }
}

// The place in the index comes from the hash's upper bits. Names chosen so that, under one
// seed, they all start at the same place of an index of 65,536 slots, as a document made to
// slow the reading down would hold them, scatter under another seed; and a map keyed either
// way finds every one of them.
TEST(NameHash, NamesMadeToCollideUnderOneSeedScatterUnderAnother) {
    constexpr std::uint64_t kChosen = 0x1234;
    constexpr std::uint64_t kOther = 0x9876543210;
    const auto place = [](std::uint64_t hash) { return hash >> 48; };
    std::vector<std::string> colliding;
    for (std::uint64_t i = 0; colliding.size() < 24; ++i) {
        std::string name = "n" + std::to_string(i);
        if (place(hashName(name, hashKey(kChosen))) == 0x5a5a) {
            colliding.push_back(std::move(name));
        }
    }
    std::set<std::uint64_t> places;
    for (const std::string& name : colliding) {
        places.insert(place(hashName(name, hashKey(kOther))));
    }
    EXPECT_GE(places.size(), 22U);
    for (const std::uint64_t seed : {kChosen, kOther}) {
        SectionMap map(HashSeed{seed});
        for (const std::string& name : colliding) {
            map.assign(name, name + " text");
        }
        for (std::size_t i = 0; i < colliding.size(); ++i) {
            ASSERT_EQ(map.indexOf(colliding[i]), i);
            ASSERT_EQ(map.lookup(colliding[i]), colliding[i] + " text");
        }
    }
}

}  // namespace
}  // namespace salvage::detail
