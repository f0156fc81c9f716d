#include "salvage/line_breaks.h"

#include <gtest/gtest.h>

namespace salvage {
namespace {

struct Case {
    std::string_view input;
    std::string_view expected;
};

constexpr Case kCases[] = {
    {"", ""},
    {"a\r\nb\r\n", "a\nb\n"},
    {"a\rb\r", "a\nb\n"},
    {"a\nb", "a\nb"},
    {"mixed\r\nlines\rand\nmore", "mixed\nlines\nand\nmore"},
    {"\r\r\n\n", "\n\n\n"},
    {"\n\r", "\n\n"},
    {"no break at the end", "no break at the end"},
};

TEST(LineBreaks, UnifiesEveryConventionToLineFeed) {
    for (const Case& c : kCases) {
        EXPECT_EQ(unifyLineBreaks(c.input), c.expected);
    }
}

// A CR LF may be split between two reads.
TEST(LineBreaks, GivesTheSameResultWhereverTheInputIsCut) {
    for (const Case& c : kCases) {
        for (std::size_t cut = 0; cut <= c.input.size(); ++cut) {
            LineBreakUnifier unifier;
            std::string out;
            unifier.feed(c.input.substr(0, cut), out);
            unifier.feed(c.input.substr(cut), out);
            unifier.finish(out);
            EXPECT_EQ(out, c.expected) << "cut at " << cut;
        }
    }
}

}  // namespace
}  // namespace salvage
