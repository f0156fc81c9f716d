#include "read/prefix_matcher.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace {

using salvage::detail::CaseBlindPrefix;
using salvage::detail::LookalikeScanner;

// Whatever the piece a line arrives in, the answer is the same as for the whole line.
template <class Feed>
void forEverySplit(std::string_view line, Feed&& feed) {
    for (std::size_t cut = 0; cut <= line.size(); ++cut) {
        feed(line.substr(0, cut), line.substr(cut), cut);
    }
}

TEST(CaseBlindPrefix, DecidesOnTheSameCharacterWhereverTheLineIsCut) {
    struct Row {
        std::string_view line;
        bool matched;
        std::string_view taken;  // what it took, as it was written
    };
    const Row rows[] = {
        {"<?xml version", true, "<?xml "},
        {"<?XmL x", true, "<?XmL "},
        {"<?xm", false, "<?xm"},  // the line ends first
        {"<?xmL\tv", false, "<?xmL\t"},
        {" <?xml ", false, " "},
        {"", false, ""},
    };
    for (const Row& row : rows) {
        forEverySplit(row.line,
                      [&](std::string_view first, std::string_view second, std::size_t cut) {
                          CaseBlindPrefix prefix("<?xml ");
                          const std::size_t taken = prefix.feed(first);
                          prefix.feed(second.substr(0, 0));
                          const std::size_t more = prefix.feed(second);
                          prefix.endText();
                          SCOPED_TRACE(std::string(row.line) + " cut at " + std::to_string(cut));
                          EXPECT_EQ(prefix.matched(), row.matched);
                          EXPECT_EQ(prefix.taken(), row.taken);
                          EXPECT_EQ(taken + more, row.taken.size());
                      });
    }
}

TEST(LookalikeScanner, FindsASectionTagAnywhereWhereverTheLineIsCut) {
    struct Row {
        std::string_view line;
        bool found;
    };
    const Row rows[] = {
        {"  <Section name=\"x\">", true},
        {"text <SECTION ", true},
        {"<<section ", true},  // a "<" that breaks off a match may begin the tag itself
        {"<Sect<Section ", true},
        {"<Sectio<n ", false},
        {"<Section", false},  // no blank after the name
        {"<section\t", false},
        {"no tag at all", false},
        {"", false},
    };
    for (const Row& row : rows) {
        forEverySplit(row.line,
                      [&](std::string_view first, std::string_view second, std::size_t cut) {
                          LookalikeScanner scanner;
                          scanner.feed(first);
                          scanner.feed(second);
                          EXPECT_EQ(scanner.found(), row.found) << row.line << " cut at " << cut;
                      });
    }
}

}  // namespace
