#include "salvage/report_text.h"

#include <gtest/gtest.h>

#include "salvage/reader.h"

namespace salvage {
namespace {

TEST(QuotedName, EscapesWhatATerminalWouldMangle) {
    struct Case {
        std::string_view name;
        std::string_view shown;
    };
    for (const Case& c : {
             Case{"Intro", "\"Intro\""},
             Case{"", "\"\""},
             Case{"caf\xc3\xa9", "\"caf\xc3\xa9\""},
             Case{"say \"hi\"\\", "\"say \\\"hi\\\"\\\\\""},
             Case{"line\nbreak\x1b[31m", "\"line\\nbreak\\x1B[31m\""},
             Case{"bad \xff\xc3", "\"bad \\xFF\\xC3\""},
             Case{"a\tb", "\"a\\tb\""},
         }) {
        EXPECT_EQ(quotedName(c.name), c.shown);
    }
}

// A document whose damage is known gives exactly these lines.
TEST(ReportText, DescribesKnownDamage) {
    const std::string doc =
        "<?xml \n"
        "<Section name=\"QQ==\">Zmly*c3Q=</Section>\n"  // "A": one stray byte
        "  <Section name=\"Qg==\">Yg==</Section>\n"     // indented: skipped
        "<Section name=\"Qw==\">/w==</Section>\n"       // "C": not UTF-8
        "<Section name=\"QQ==\">bmV3</Section>\n";      // "A" again
    const ParseResult result = parseText(doc, "d.qlx");
    ASSERT_TRUE(result.accepted());
    const SalvageReport& report = result.document.report;
    EXPECT_EQ(describeReport(report, result.document.contents),
              "Lines read: 5\n"
              "Section lines found: 3\n"
              "Sections: 2\n"
              "Lines that look like sections but were skipped (indented, or \"<Section\" not at "
              "the start): 1\n"
              "Damaged Base64 in the text of section \"A\": 1 byte skipped, 0 incomplete groups\n"
              "Text that is not valid UTF-8 in section \"C\" (kept and saved byte for byte)\n"
              "Section \"A\" occurs again: its earlier text (5 bytes) was replaced\n");
    EXPECT_EQ(summarizeReport(report, result.document.contents.size()),
              "2 sections from 5 lines; 1 with damaged Base64, 1 not valid UTF-8, 1 replaced by a "
              "later section, 1 section-like line skipped");
}

// A name that occurs many times, damaged each time, is one record of each kind with the
// counts added up, however many lines carry it.
TEST(ReportText, RepeatsOfANameAreCountedInOneRecord) {
    std::string doc = "<?xml \n";
    for (int i = 0; i < 1000; ++i) {
        doc += "<Section name=\"QQ==\">Zmly*c3Q</Section>\n";  // "A": "first", a stray byte
    }
    doc += "<Section name=\"Qg==\">YQ</Section>\n";
    const ParseResult result = parseText(doc, "d.qlx");
    ASSERT_TRUE(result.accepted());
    const SalvageReport& report = result.document.report;
    ASSERT_EQ(report.damagedBase64.size(), 1U);
    ASSERT_EQ(report.replacements.size(), 1U);
    EXPECT_EQ(describeReport(report, result.document.contents),
              "Lines read: 1002\n"
              "Section lines found: 1001\n"
              "Sections: 2\n"
              "Lines that look like sections but were skipped (indented, or \"<Section\" not at "
              "the start): 0\n"
              "Damaged Base64 in the text of section \"A\": 1000 bytes skipped, 0 incomplete "
              "groups (in 1000 section lines)\n"
              "Section \"A\" occurs 999 more times: its earlier texts (4995 bytes in all) were "
              "replaced\n");
    EXPECT_EQ(summarizeReport(report, result.document.contents.size()),
              "2 sections from 1002 lines; 1 with damaged Base64, 1 replaced by a later section");
}

TEST(ReportText, CleanDocumentHasAPlainSummary) {
    const ParseResult result = parseText("<?xml \n<Section name=\"QQ==\">YQ==</Section>", "d");
    EXPECT_EQ(summarizeReport(result.document.report, 1), "1 section from 2 lines");
}

}  // namespace
}  // namespace salvage
