#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "cli_test_support.h"
#include "salvage/base64.h"
#include "salvage/reader.h"

namespace qlv::cli {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using testing::encodeBase64;
using testing::Outcome;
using testing::readFile;
using testing::sectionLine;
using testing::TempDir;
using testing::writeFile;

// Damage of every kind the report knows, and names and texts that are not valid UTF-8.
const std::string kDamaged =
    "<?xml version=\"1.0\"?>\r\n<Doc>\n" + sectionLine("Intro", "first") + "<Section name=\"" +
    encodeBase64("Broken") + "\">" + encodeBase64("Dear all") + "!*</Section>\n" +
    sectionLine("Caf\xe9", "menu") + sectionLine("Closing", "merci \xe9t\xe9") + "  " +
    sectionLine("Indented", "skipped") + sectionLine("Intro", "second\r\nline") + "</Doc>\n";

// One JSON object per line.
std::vector<json> parseLines(const std::string& output) {
    std::vector<json> records;
    for (std::size_t start = 0; start < output.size();) {
        const std::size_t end = output.find('\n', start);
        EXPECT_NE(end, std::string::npos) << "the last record has no line break";
        records.push_back(json::parse(output.substr(start, end - start)));
        start = end == std::string::npos ? output.size() : end + 1;
    }
    return records;
}

// The exact bytes of a name or text: from "<key>_base64" when the string had to be mended.
std::string bytes(const json& object, const std::string& key) {
    const std::string base64Key = key + "_base64";
    if (object.contains(base64Key)) {
        return salvage::decodeBase64(object.at(base64Key).get<std::string>());
    }
    return object.at(key).get<std::string>();
}

// The plain output, made again from a record.
std::string plainFrom(const json& record, const Options& options) {
    std::string text;
    for (const json& section : record.at("sections")) {
        if (options.list) {
            text += bytes(section, "name") + "\n";
        } else if (options.section) {
            text += bytes(section, "text");
        } else {
            text += "Section: " + bytes(section, "name") + "\n" + bytes(section, "text") + "\n\n";
        }
    }
    return text;
}

class JsonOutputTest : public ::testing::Test {
  protected:
    void SetUp() override {
        writeFile(dir / "damaged.qlx", kDamaged);
        writeFile(dir / "notes.txt", "Shopping: milk, bread\n");
    }

    Outcome run(Options options) {
        for (std::string& file : options.files) {
            file = (dir / file).string();
        }
        return testing::runProgram(options, dir.path());
    }

    TempDir dir;
};

TEST_F(JsonOutputTest, RecordsHoldExactlyWhatThePlainOutputHolds) {
    const std::vector<Options> cases = {
        {.files = {"damaged.qlx"}},
        {.files = {"damaged.qlx"}, .list = true},
        {.files = {"damaged.qlx"}, .section = "Closing"},
        {.files = {"damaged.qlx"}, .section = "Caf\xe9"},
        {.files = {"damaged.qlx"}, .section = "Intro"},
        {.files = {"damaged.qlx"}, .thorough = true},
        {.files = {"damaged.qlx"}, .list = true, .thorough = true},
        {.files = {"damaged.qlx"}, .section = "Intro (2)", .thorough = true},
    };
    for (Options options : cases) {
        SCOPED_TRACE(options.section.value_or(options.list ? "--list" : "all"));
        const Outcome plain = run(options);
        options.json = true;
        const Outcome asJson = run(options);
        ASSERT_EQ(plain.status, 0) << plain.err;
        EXPECT_EQ(asJson.status, 0);
        EXPECT_EQ(asJson.err, "");
        const std::vector<json> records = parseLines(asJson.out);
        ASSERT_EQ(records.size(), 1u);
        EXPECT_EQ(plainFrom(records[0], options), plain.out);
        for (const json& section : records[0].at("sections")) {
            EXPECT_EQ(section.contains("text"), !options.list);
        }
    }
}

TEST_F(JsonOutputTest, BytesThatAreNotUtf8AreMendedInTheStringAndKeptInBase64) {
    const std::vector<json> records = parseLines(run({.files = {"damaged.qlx"}, .json = true}).out);
    ASSERT_EQ(records.size(), 1u);
    const json& sections = records[0].at("sections");
    ASSERT_EQ(sections.size(), 4u);
    struct Field {
        std::size_t section;
        std::string key;
        std::string shown;  // the string field
        bool hasBase64;
    };
    const std::vector<Field> fields = {
        {0, "name", "Intro", false},
        {1, "text", "Dear all", false},
        {2, "name", "Caf\uFFFD", true},
        {2, "text", "menu", false},
        {3, "text", "merci \uFFFDt\uFFFD", true},
    };
    for (const Field& f : fields) {
        SCOPED_TRACE(f.shown);
        const json& section = sections.at(f.section);
        EXPECT_EQ(section.at(f.key).get<std::string>(), f.shown);
        EXPECT_EQ(section.contains(f.key + "_base64"), f.hasBase64);
    }
}

TEST_F(JsonOutputTest, TheReportComesAsFields) {
    const std::vector<json> records =
        parseLines(run({.files = {"damaged.qlx"}, .report = true, .json = true}).out);
    ASSERT_EQ(records.size(), 1u);
    const salvage::ParseResult read = salvage::parseText(kDamaged, "damaged.qlx");
    const salvage::SalvageReport& expected = read.document.report;
    const auto nameOf = [&](std::size_t section) {
        return std::string(read.document.contents[section].name);
    };
    const json& report = records[0].at("report");
    EXPECT_EQ(report.at("lines_read"), expected.linesRead);
    EXPECT_EQ(report.at("section_lines"), expected.sectionLines);
    EXPECT_EQ(report.at("sections"), read.document.contents.size());
    EXPECT_EQ(report.at("skipped_lookalikes"), expected.skippedLookalikes);
    EXPECT_TRUE(report.at("read_error").is_null());
    EXPECT_TRUE(report.at("thorough").is_null());

    ASSERT_EQ(report.at("damaged_base64").size(), expected.damagedBase64.size());
    for (std::size_t i = 0; i < expected.damagedBase64.size(); ++i) {
        const json& damage = report.at("damaged_base64")[i];
        EXPECT_EQ(bytes(damage, "section"), nameOf(expected.damagedBase64[i].section));
        EXPECT_EQ(damage.at("in_name"), expected.damagedBase64[i].inName);
        EXPECT_EQ(damage.at("skipped_bytes"), expected.damagedBase64[i].skippedBytes);
        EXPECT_EQ(damage.at("incomplete_groups"), expected.damagedBase64[i].incompleteGroups);
        EXPECT_EQ(damage.at("lines"), expected.damagedBase64[i].lines);
    }
    std::vector<std::string> invalid;
    for (const json& entry : report.at("invalid_utf8")) {
        invalid.push_back(bytes(entry, "section"));
    }
    ASSERT_EQ(invalid.size(), expected.invalidUtf8Sections.size());
    for (std::size_t i = 0; i < invalid.size(); ++i) {
        EXPECT_EQ(invalid[i], nameOf(expected.invalidUtf8Sections[i]));
    }
    ASSERT_EQ(report.at("replacements").size(), expected.replacements.size());
    for (std::size_t i = 0; i < expected.replacements.size(); ++i) {
        const json& replacement = report.at("replacements")[i];
        EXPECT_EQ(bytes(replacement, "section"), nameOf(expected.replacements[i].section));
        EXPECT_EQ(replacement.at("times"), expected.replacements[i].times);
        EXPECT_EQ(replacement.at("replaced_bytes"), expected.replacements[i].replacedLength);
    }
    // Something of each kind, so that the comparisons above compare something.
    EXPECT_FALSE(expected.damagedBase64.empty());
    EXPECT_FALSE(expected.invalidUtf8Sections.empty());
    EXPECT_FALSE(expected.replacements.empty());
    EXPECT_NE(expected.skippedLookalikes, 0u);
}

// How the input was brought into form: a UTF-16 document, marked, with a zero width space.
TEST_F(JsonOutputTest, TheThoroughReadingSaysHowItsInputWasBroughtIntoForm) {
    const std::string text = "<?xml version=\"1.0\"?>\n<Section name=\"QQ==\">QU\x01JD</Section>\n";
    std::string wide = "\xFF\xFE";
    for (const char c : text) {
        wide += c == '\x01' ? std::string("\x0B\x20") : std::string{c, '\0'};  // U+200B for \x01
    }
    writeFile(dir / "wide.qlx", wide);
    const std::vector<json> records =
        parseLines(run({.files = {"wide.qlx"}, .json = true, .thorough = true}).out);
    ASSERT_EQ(records.size(), 1u);
    const json& found = records[0].at("report").at("thorough");
    EXPECT_EQ(found.at("text_encoding"), "UTF-16LE");
    EXPECT_EQ(found.at("byte_order_mark"), true);
    EXPECT_EQ(found.at("quoted_printable"), false);
    EXPECT_EQ(found.at("escaped_markup"), false);
    EXPECT_EQ(found.at("invisible_characters"), 1);
    EXPECT_EQ(bytes(records[0].at("sections")[0], "text"), "ABC");
}

TEST_F(JsonOutputTest, TheThoroughReadingsFindingsComeAsFields) {
    const std::vector<json> records =
        parseLines(run({.files = {"damaged.qlx"}, .json = true, .thorough = true}).out);
    ASSERT_EQ(records.size(), 1u);
    const salvage::ParseResult read =
        salvage::parseText(kDamaged, "damaged.qlx", salvage::Reading::Thorough);
    ASSERT_TRUE(read.document.report.thorough.has_value());
    const auto& expected = *read.document.report.thorough;
    const json& found = records[0].at("report").at("thorough");
    EXPECT_EQ(found.at("header_damaged"), expected.headerDamaged);
    EXPECT_EQ(found.at("bodies_across_lines"), expected.bodiesAcrossLines);
    EXPECT_EQ(found.at("tags_off_line_start"), expected.tagsOffLineStart);
    EXPECT_EQ(found.at("groups_dropped"), expected.groupsDropped);
    EXPECT_EQ(found.at("bytes_dropped"), expected.bytesDropped);
    EXPECT_EQ(found.at("realignments"), expected.realignments);
    EXPECT_EQ(found.at("stretches_lost"), expected.stretchesLost);
    ASSERT_EQ(found.at("pieces").size(), expected.pieces.size());
    ASSERT_EQ(found.at("repeated_names").size(), expected.repeatedNames.size());
    ASSERT_FALSE(expected.repeatedNames.empty());  // "Intro" occurs twice
    const json& repeated = found.at("repeated_names")[0];
    EXPECT_EQ(bytes(repeated, "section"), expected.repeatedNames[0].sectionName);
    EXPECT_EQ(repeated.at("times"), expected.repeatedNames[0].times);
    EXPECT_EQ(bytes(repeated, "first_renamed"), expected.repeatedNames[0].firstRenamed);
}

TEST_F(JsonOutputTest, EveryFileGetsOneLineWithItsStatus) {
    const Outcome outcome =
        run({.files = {"damaged.qlx", "notes.txt", "missing.qlx", "damaged.qlx"}, .json = true});
    EXPECT_EQ(outcome.status, 1);
    const std::vector<json> records = parseLines(outcome.out);
    ASSERT_EQ(records.size(), 4u);
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"read", ""},
        {"refused", std::string(salvage::kRefusedMessage)},
        {"unreadable", "No such file or directory"},
        {"read", ""},
    };
    for (std::size_t i = 0; i < records.size(); ++i) {
        SCOPED_TRACE(i);
        const auto& [status, reason] = expected[i];
        EXPECT_EQ(records[i].at("status"), status);
        EXPECT_EQ(records[i].at("reason").is_null() ? "" : records[i].at("reason"), reason);
        EXPECT_EQ(records[i].contains("sections"), status == "read");
        EXPECT_EQ(records[i].contains("report"), status == "read");
    }
    // The errors still go to standard error, as without --json.
    EXPECT_NE(outcome.err.find("notes.txt: "), std::string::npos);
    EXPECT_NE(outcome.err.find("missing.qlx: No such file or directory"), std::string::npos);
}

TEST_F(JsonOutputTest, AMissingSectionGivesAnEmptyListAndAnError) {
    const Outcome outcome = run({.files = {"damaged.qlx"}, .section = "Nowhere", .json = true});
    EXPECT_EQ(outcome.status, 1);
    const std::vector<json> records = parseLines(outcome.out);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_TRUE(records[0].at("sections").empty());
    EXPECT_NE(outcome.err.find("no section named \"Nowhere\""), std::string::npos);
}

TEST_F(JsonOutputTest, OutputDirGetsAJsonFileForEachDocumentRead) {
    const Outcome outcome =
        run({.files = {"damaged.qlx", "notes.txt"}, .outputDir = dir / "out", .json = true});
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.out, "");
    std::vector<std::string> written;
    for (const auto& entry : fs::directory_iterator(dir / "out")) {
        written.push_back(entry.path().filename().string());
    }
    EXPECT_EQ(written, std::vector<std::string>{"damaged.json"});
    const std::vector<json> records = parseLines(readFile(dir / "out" / "damaged.json"));
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].at("file"), (dir / "damaged.qlx").string());
}

TEST_F(JsonOutputTest, ALargeDocumentComesOutWhole) {
    std::string document = "<?xml ?>\n";
    for (int i = 0; i < 3000; ++i) {
        document +=
            sectionLine("Part " + std::to_string(i), std::string(i == 1500 ? 2'000'000 : 10, 'x'));
    }
    writeFile(dir / "large.qlx", document);
    const Outcome outcome = run({.files = {"large.qlx"}, .json = true});
    EXPECT_EQ(outcome.status, 0);
    const std::vector<json> records = parseLines(outcome.out);
    ASSERT_EQ(records.size(), 1u);
    ASSERT_EQ(records[0].at("sections").size(), 3000u);
    EXPECT_EQ(records[0].at("sections")[1500].at("text").get<std::string>().size(), 2'000'000u);
}

}  // namespace
}  // namespace qlv::cli
