#include "salvage/line_breaks.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

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

// The parts a splitter hands over, cut anywhere, join into the same lines, each break told
// once; a caller that stops is given nothing more.
TEST(LineSplitter, HandsOverTheSameLinesWhereverTheInputIsCut) {
    struct Row {
        std::string_view input;
        std::vector<std::string> lines;  // each followed by a break
        std::string_view unended;        // what follows the last break
    };
    const Row rows[] = {
        {"", {}, ""},
        {"a\r\nb\r\n", {"a", "b"}, ""},
        {"a\rb\r", {"a", "b"}, ""},
        {"one\ntwo", {"one"}, "two"},
        {"\r\r\n\n", {"", "", ""}, ""},
        {"\n\r", {"", ""}, ""},
        {"no break", {}, "no break"},
    };
    for (const Row& row : rows) {
        for (std::size_t cut = 0; cut <= row.input.size(); ++cut) {
            SCOPED_TRACE(::testing::Message() << '"' << row.input << "\" cut at " << cut);
            LineSplitter splitter;
            std::vector<std::string> lines;
            std::string current;
            const auto onPart = [&](std::string_view part, bool endsLine) {
                current.append(part);
                if (endsLine) {
                    lines.push_back(std::exchange(current, {}));
                }
                return true;
            };
            splitter.feed(row.input.substr(0, cut), onPart);
            splitter.feed(row.input.substr(cut), onPart);
            EXPECT_EQ(lines, row.lines);
            EXPECT_EQ(current, row.unended);
        }
    }
    LineSplitter splitter;
    int parts = 0;
    splitter.feed("a\nb\nc\n", [&](std::string_view, bool) { return ++parts < 2; });
    EXPECT_EQ(parts, 2);
}

}  // namespace
}  // namespace salvage
