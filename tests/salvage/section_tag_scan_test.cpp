#include "salvage/section_tag_scan.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "posix_faults.h"
#include "salvage/reader.h"
#include "test_support.h"

namespace salvage::testing {
namespace {

// Each text's first line is no header, so the thorough reading accepts it exactly when it
// finds a section tag: the scan must agree with it on every one.
TEST(SectionTagScan, FindsTheTagsTheThoroughReadingFinds) {
    struct Case {
        std::string text;
        bool found;
    };
    const std::vector<Case> cases = {
        {"junk\n<Section name=\"QQ==\">QUJD</Section>\n", true},
        {"x <section name=\"QQ==\">QUJD\n", true},
        {"<SECTION\nname=\"QQ==\">QUJD\n", true},
        {"<Sec\r\n  tion name=\"QQ==\">QUJD\n", true},
        {"<\n\tsection name=\"QQ==\">QUJD", true},
        {"<Sec\n\n tion name=\"QQ==\">QUJD\n", true},
        {"<<section name=\"QQ==\">QUJD\n", true},
        {"<sec<section x\n", true},
        {"junk <section", true},
        {"", false},
        {"plain text\n", false},
        {"<sections name=\"QQ==\">QUJD\n", false},
        {"<section\tname=\"QQ==\">QUJD\n", false},
        {"<section>QUJD</section>\n", false},
        {"</Section >\n", false},
        {"<sec tion name=\"QQ==\">\n", false},
        {"<Sec\nx tion name=\"QQ==\">\n", false},
        {"<Sec", false},
        {"<q:Section name=\"QQ==\">QUJD</q:Section>\n", true},
        {"<q:Sec\n tion name=\"QQ==\">\n", true},
        {"&lt;Section name=&quot;QQ==&quot;&gt;QUJD&lt;/Section&gt;\n", true},
        {std::string("\xFF\xFE<\0S\0e\0c\0t\0i\0o\0n\0 \0n\0", 20), true},
        {"<abcdefghijklmnopqrstuvwxyzabcdef:section name=\"QQ==\">\n", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        SectionTagScanner whole;
        whole.feed(c.text);
        EXPECT_EQ(whole.finish(), c.found);
        SectionTagScanner byteByByte;
        for (const char byte : c.text) {
            byteByByte.feed(std::string_view(&byte, 1));
        }
        EXPECT_EQ(byteByByte.finish(), c.found);
        EXPECT_EQ(parseText(c.text, "doc.qlx", Reading::Thorough).accepted(), c.found);
    }
}

// The window asks before it offers the thorough reading: a large file must cost one read.
TEST(SectionTagScan, ReadsAFileOnlyUpToTheFirstTag) {
    TempDir dir;
    const std::string junk(std::size_t{20} << 20, 'x');
    writeFile(dir / "tagged.qlx", "damaged\n" + sectionLine("A", "text") + junk);
    writeFile(dir / "untagged.qlx", junk);
    struct Case {
        const char* file;
        bool found;
        std::size_t mostReads;
    };
    for (const Case& c : {Case{"tagged.qlx", true, 1}, Case{"untagged.qlx", false, 7},
                          Case{"missing.qlx", false, 0}}) {
        SCOPED_TRACE(c.file);
        PosixFaults counted;
        EXPECT_EQ(holdsSectionTag(dir / c.file), c.found);
        EXPECT_LE(counted.reads(), c.mostReads);
    }
}

}  // namespace
}  // namespace salvage::testing
