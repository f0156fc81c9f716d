#include "salvage/damaged_lines.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "salvage/reader.h"
#include "test_support.h"

namespace salvage {
namespace {

using testing::sectionLine;
using DamagedLine = SalvageReport::DamagedLine;

constexpr std::string_view kHeader = "<?xml version=\"1.0\"?>\n";

// A damaged line as a test expects it: number, where it stands, its section's name ("" for
// none) and what happened.
struct Expected {
    std::uint64_t line;
    std::uint64_t offset;
    std::uint64_t length;
    std::string section;
    std::string what;
    bool operator==(const Expected&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Expected& row) {
    return out << row.line << " @" << row.offset << "+" << row.length << " [" << row.section << "] "
               << row.what;
}

std::vector<Expected> listed(const ParseResult& result) {
    std::vector<Expected> rows;
    for (const DamagedLine& line : result.document.report.damagedLines) {
        const std::string section = line.section == DamagedLine::kNoSection
                                        ? std::string()
                                        : std::string(result.document.contents[line.section].name);
        rows.push_back({line.line, line.offset, line.length, section, describeDamage(line)});
    }
    return rows;
}

struct ListingCase {
    const char* title;
    Reading reading;
    std::string document;
    std::vector<Expected> expected;
};

TEST(DamagedLines, ListsEachLineSkippedOrDamagedWhereItStands) {
    const std::string good = sectionLine("Good", "fine");  // 35 bytes and LF
    const std::string lookalike =
        " " + sectionLine("Shifted", "x");  // skipped by the plain reading
    const std::string bang = "<Section name=\"Qg==\">QU!JD</Section>";  // "ABC" with one '!'
    const std::string notText = "<Section name=\"Tg==\">/w==</Section>";
    const std::size_t afterHeader = kHeader.size();
    const std::vector<ListingCase> cases = {
        {"an undamaged document lists nothing",
         Reading::Plain,
         std::string(kHeader) + good + good,
         {}},
        {"a lookalike, a character outside Base64 and bytes that are not text",
         Reading::Plain,
         std::string(kHeader) + lookalike + bang + "\n" + notText,
         {{2, afterHeader, lookalike.size() - 1, "",
           "skipped: looks like a section line but does not start one"},
          {3, afterHeader + lookalike.size(), bang.size(), "B",
           "text damaged: 1 character outside Base64"},
          {4, afterHeader + lookalike.size() + bang.size() + 1, notText.size(), "N",
           "decoded bytes that are not UTF-8 text"}}},
        {"CR LF line breaks are not part of a line",
         Reading::Plain,
         "<?xml ?>\r\n" + bang + "\r\n" + good,
         {{2, 10, bang.size(), "B", "text damaged: 1 character outside Base64"}}},
        {"the thorough reading lists the section its damaged text went to",
         Reading::Thorough,
         std::string(kHeader) + good + bang + "\n",
         {{3, afterHeader + good.size(), bang.size(), "B",
           "text damaged: 1 character outside Base64"}}},
    };
    for (const ListingCase& c : cases) {
        SCOPED_TRACE(c.title);
        const ParseResult result = parseText(c.document, "d.qlx", c.reading);
        ASSERT_TRUE(result.accepted());
        EXPECT_EQ(listed(result), c.expected);
    }
}

TEST(DamagedLines, ListsAtMostTheirLimitAndCountsTheRest) {
    std::string document(kHeader);
    const std::string lookalike = " <Section name=\"eA==\">eA==</Section>\n";
    for (std::size_t i = 0; i < SalvageReport::kDamagedLinesListed + 7; ++i) {
        document += lookalike;
    }
    for (const unsigned threads : {1u, 2u}) {
        const ParseResult result =
            parseText(document, "d.qlx", ReadOptions{Reading::Plain, threads});
        EXPECT_EQ(result.document.report.damagedLines.size(), SalvageReport::kDamagedLinesListed);
        EXPECT_EQ(result.document.report.damagedLinesNotListed, 7u);
        EXPECT_EQ(result.document.report.damagedLines.back().line,
                  SalvageReport::kDamagedLinesListed + 1);
    }
}

TEST(DamagedLines, EscapesWhatCannotBeShown) {
    const struct {
        std::string bytes;
        std::string shown;
    } cases[] = {
        {"plain text", "plain text"},
        {"tab\there\r\n", "tab\\x09here\\x0D\\x0A"},
        {"back\\slash", "back\\\\slash"},
        {"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80", "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80"},
        {"caf\xE9", "caf\\xE9"},              // Latin-1, not UTF-8
        {"\xC3", "\\xC3"},                    // a character cut short
        {"\xE2\x82", "\\xE2\\x82"},           // likewise, longer
        {"\xC0\xAF", "\\xC0\\xAF"},           // an overlong form
        {"\xED\xA0\x80", "\\xED\\xA0\\x80"},  // a surrogate
        {std::string("\0\x7F", 2), "\\x00\\x7F"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(escapeBytes(c.bytes), c.shown) << c.shown;
    }
}

class ReadBack : public ::testing::Test {
  protected:
    void SetUp() override {
        file_ = dir_ / "d.qlx";
        testing::writeFile(file_,
                           std::string(kHeader) + "<Section name=\"Qg==\">QU!JD\x01</Section>\n");
        result_ = parseFile(file_);
        ASSERT_TRUE(result_.accepted());
        ASSERT_EQ(result_.document.report.damagedLines.size(), 1u);
    }
    LineBytes readBack(std::size_t maxBytes = 4096) const {
        return readLineBytes(file_, result_.document.report,
                             result_.document.report.damagedLines[0], maxBytes);
    }

    testing::TempDir dir_;
    std::filesystem::path file_;
    ParseResult result_;
};

TEST_F(ReadBack, ShowsTheLineAsTheFileHoldsIt) {
    const LineBytes read = readBack();
    EXPECT_EQ(read.status, LineBytes::Status::Read);
    EXPECT_EQ(showLineBytes(read), "<Section name=\"Qg==\">QU!JD\\x01</Section>");
    EXPECT_EQ(showLineBytes(readBack(8)), "<Section [29 more bytes]");
}

TEST_F(ReadBack, SaysWhenTheFileChangedOrIsGone) {
    // The same size, so that only the change itself can tell.
    testing::writeFile(file_,
                       std::string(kHeader) + "<Section name=\"Qg==\">QU!JE\x01</Section>\n");
    std::filesystem::last_write_time(
        file_, std::filesystem::last_write_time(file_) + std::chrono::seconds(2));
    LineBytes read = readBack();
    EXPECT_EQ(read.status, LineBytes::Status::Changed);
    EXPECT_EQ(read.message, "\"" + file_.string() +
                                "\" has changed since it was read: its bytes there are no longer "
                                "those of this line.");
    std::filesystem::remove(file_);
    read = readBack();
    EXPECT_EQ(read.status, LineBytes::Status::Gone);
    EXPECT_EQ(read.message, "\"" + file_.string() + "\" is gone: No such file or directory.");
}

TEST(DamagedLines, ReadsNoBytesBackWhenTheirPlaceIsNotTheFiles) {
    testing::TempDir dir;
    const std::filesystem::path file = dir / "d.qlx";
    const std::string document = std::string(kHeader) + "<Section name=\"Qg==\">QU!JD</Section>\n";
    std::string utf16;
    for (const char c : document) {
        utf16 += c;
        utf16 += '\0';
    }
    testing::writeFile(file, utf16);
    const ParseResult converted = parseFile(file, Reading::Thorough);
    const ParseResult fromText = parseText(document, "d.qlx");
    for (const ParseResult* result : {&converted, &fromText}) {
        ASSERT_TRUE(result->accepted());
        ASSERT_FALSE(result->document.report.damagedLines.empty());
        const LineBytes read = readLineBytes(file, result->document.report,
                                             result->document.report.damagedLines[0], 100);
        EXPECT_EQ(read.status, LineBytes::Status::NotKept);
        EXPECT_TRUE(read.bytes.empty());
    }
}

}  // namespace
}  // namespace salvage
