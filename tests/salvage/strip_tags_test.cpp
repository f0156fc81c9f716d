#include <gtest/gtest.h>

#include <random>
#include <regex>

#include "salvage/reader.h"
#include "salvage/section_line.h"
#include "test_support.h"

namespace salvage {
namespace {

TEST(StripTags, RemovesEveryTagAndKeepsTheRest) {
    struct Case {
        std::string_view line;
        std::string_view expected;
    };
    for (const Case& c : {
             Case{"<Section name=\"eA==\">SGVsbG8=</Section>", "SGVsbG8="},
             Case{"<Section name=\"eA==\">SGVs</Section>bG8=", "SGVsbG8="},
             Case{"<Section name=\"eA==\">", ""},
             Case{"no tags at all", "no tags at all"},
             Case{"<>", "<>"},
             Case{"<>>", ""},
             Case{"a<b", "a<b"},
             Case{"a<b>c", "ac"},
             Case{"<<>", ""},
             Case{"x<>y>z", "xz"},
             Case{"text <unclosed", "text <unclosed"},
             Case{"<a>keep<b", "keep<b"},
             Case{"<a>keep<>", "keep<>"},
             Case{">>a<", ">>a<"},
         }) {
        EXPECT_EQ(stripTags(c.line), c.expected) << c.line;
    }
}

// The scan must mean exactly what replacing every non-greedy "<.+?>" means.
TEST(StripTags, AgreesWithTheRegularExpressionOnRandomLines) {
    const std::regex tag("<.+?>");
    std::mt19937 rng(2024);
    for (int round = 0; round < 5000; ++round) {
        const std::string line =
            testing::randomText(rng, "<<>>ab ", static_cast<std::size_t>(round % 24));
        EXPECT_EQ(stripTags(line), std::regex_replace(line, tag, "")) << '"' << line << '"';
    }
}

TEST(ExtractName, TakesTheValueAfterTheFirstNameAttribute) {
    struct Case {
        std::string_view line;
        std::string_view expected;
    };
    for (const Case& c : {
             Case{"<Section name=\"QUJD\">x</Section>", "QUJD"},
             Case{"<Section NAME=\"QUJD\">", "QUJD"},
             Case{"<Section name=\"\">", ""},
             Case{"<Section>no name here", ""},
             Case{"<Section filename=\"Zmls\" name=\"bmFt\">", "Zmls"},
             Case{"<Section name='QUJD\" x>", "QUJD"},
             Case{"<Section name=\"QUJD", "QUJD"},
             Case{"<Section name=", ""},
             Case{"<Section name=x", ""},
             Case{"<Section name= QUJD\"", "QUJD"},
             Case{"<Section name=\"a\" name=\"b\">", "a"},
         }) {
        EXPECT_EQ(extractName(c.line), c.expected) << c.line;
    }
}

TEST(BaseName, RemovesEveryQuilloraExtensionAndTheFolder) {
    struct Case {
        std::string_view fileName;
        std::string_view expected;
    };
    for (const Case& c : {
             Case{"Letter.qlx", "Letter"}, Case{"Letter.QLL", "Letter"}, Case{"a.qlx.qlx", "a"},
             Case{"my.qllnotes.txt", "mynotes.txt"}, Case{"folder/inner.qlx", "inner"},
             Case{"plain.txt", "plain.txt"}, Case{".qlx", ""},
             Case{"a.q.qlxll", "a"},  // removing .qlx leaves .qll, which goes next
         }) {
        EXPECT_EQ(baseName(c.fileName), c.expected) << c.fileName;
    }
}

}  // namespace
}  // namespace salvage
