#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "read/seam_script.h"

namespace salvage::detail {
namespace {

TEST(SeamScript, AWordCutAtASeamThatGoesOnInAnotherScript) {
    struct Case {
        const char* before;
        const char* after;
        bool changes;
    };
    const std::vector<Case> cases{
        {"Kitchen w", "ind candle", false},
        {"Kitchen w", "ihсал кухня", true},
        {"静か手", "紙ミe mañana", true},  // Han and kana are one word's; a Latin letter is not
        {"하늘静か", "手紙 rain", false},  // Hangul, Han and kana together
        {"Kitchen ", "сал", false},        // the seam at a space: no word is cut
        {"Kitchen w", "1сал", false},      // nor next to a digit
        {"Stra\xC3",
         "\x9F"
         "e",
         false},                                // a character cut at the seam, made whole after it
        {"Kitchen w", "ind🙂сал", false},  // an emoji ends the word
        {"", "сал", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.before) + "|" + c.after);
        EXPECT_EQ(scriptChangesInsideWord(c.before, c.after), c.changes);
    }
}

TEST(SeamScript, TheLettersOnTheTwoSidesOfAPlace) {
    struct Case {
        const char* text;
        std::size_t at;
        bool changes;
    };
    const std::vector<Case> cases{
        {"garden breadка! Ёлка", 12, true},
        {"학교바닦 ✨…\nMountain", 9, true},  // the character right after the place is left out
        {"garden bread, and more", 12, false},
        {"Письмо, которое", 6, false},
        {"... !!! ???", 4, false},  // no letters at all
        {"bread", 5, false},        // nothing after it
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.text) + " at " + std::to_string(c.at));
        EXPECT_EQ(scriptChangesAt(c.text, c.at), c.changes);
    }
}

}  // namespace
}  // namespace salvage::detail
