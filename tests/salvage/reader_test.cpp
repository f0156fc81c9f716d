#include "salvage/reader.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <random>
#include <vector>

#include "ascii_case.h"
#include "posix_faults.h"
#include "salvage/base64.h"
#include "salvage/export.h"
#include "salvage/section_line.h"
#include "test_support.h"

namespace salvage {
namespace {

using namespace std::literals;

using testing::encodeBase64;

std::string sectionLine(std::string_view name, std::string_view text) {
    return "<Section name=\"" + encodeBase64(name) + "\">" + encodeBase64(text) + "</Section>";
}

struct DocumentCase {
    const char* label;
    std::string text;
    bool accepted;
    std::string expectedExport;  // only when accepted
};

std::vector<DocumentCase> documentCases() {
    const std::string header = "<?xml version=\"1.0\"?>\n";
    return {
        {"two sections",
         header + "<Doc>\n" + sectionLine("One", "first") + "\n" + sectionLine("Two", "second") +
             "\n</Doc>\n",
         true, "Section: One\nfirst\n\nSection: Two\nsecond\n\n"},
        {"header only", "<?xml ", true, ""},
        {"header letter case ignored", "<?XML version\n" + sectionLine("A", "a"), true,
         "Section: A\na\n\n"},
        {"section tag letter case ignored", header + "<SECTION NAME=\"QQ==\">YQ==</SECTION>", true,
         "Section: A\na\n\n"},
        {"empty file", "", false, ""},
        {"blank first line", "\n<?xml version\n", false, ""},
        {"space before header", " <?xml version\n", false, ""},
        {"tab before header", "\t<?xml version\n", false, ""},
        {"header without its space", "<?xml\n" + sectionLine("A", "a"), false, ""},
        {"header cut short", "<?xm", false, ""},
        {"not a document", "Dear diary,\n" + sectionLine("A", "a"), false, ""},
        {"indented section lines are skipped",
         header + "  " + sectionLine("A", "a") + "\n\t" + sectionLine("B", "b") + "\n", true, ""},
        {"section tag later in the line is ignored",
         header + "<Doc>" + sectionLine("A", "a") + "\n", true, ""},
        {"section tag needs its space", header + "<Section>YQ==</Section>\n", true, ""},
        {"continuation lines are ignored",
         header + "<Section name=\"" + encodeBase64("Long") + "\">" + encodeBase64("first ") +
             "\n" + encodeBase64("more") + "</Section>\n",
         true, "Section: Long\nfirst \n\n"},
        {"start tag alone gives empty text", header + "<Section name=\"QQ==\">\n", true,
         "Section: A\n\n\n"},
        {"later text wins and keeps the first place",
         header + sectionLine("A", "old") + "\n" + sectionLine("B", "b") + "\n" +
             sectionLine("A", "new") + "\n",
         true, "Section: A\nnew\n\nSection: B\nb\n\n"},
        {"empty and missing names share one entry",
         header + "<Section name=\"\">" + encodeBase64("x") + "</Section>\n<Section id=\"1\">" +
             encodeBase64("y") + "</Section>\n",
         true, "Section: \ny\n\n"},
        {"longer attribute ending in name= wins",
         header + "<Section filename=\"" + encodeBase64("F") + "\" name=\"" + encodeBase64("N") +
             "\">" + encodeBase64("t") + "</Section>",
         true, "Section: F\nt\n\n"},
        {"single quotes read up to the next double quote",
         header + "<Section name='" + encodeBase64("Q") + "' x=\"y\">" + encodeBase64("t") +
             "</Section>",
         true, ""},  // checked below against the rule, not spelled out here
        {"text after the end tag is joined",
         header + "<Section name=\"QQ==\">" + "SGVs" + "</Section>bG8=", true,
         "Section: A\nHello\n\n"},
        {"unclosed tag stays in the body", header + "<Section name=\"QQ==\">SGVs" + "<bG8=", true,
         "Section: A\nHello\n\n"},
        {"CR line breaks", "<?xml \r" + sectionLine("A", "a") + "\r" + sectionLine("B", "b"), true,
         "Section: A\na\n\nSection: B\nb\n\n"},
        {"CR LF line breaks", "<?xml \r\n" + sectionLine("A", "a") + "\r\n", true,
         "Section: A\na\n\n"},
        {"names differing in case are two sections",
         header + sectionLine("Intro", "1") + "\n" + sectionLine("intro", "2"), true,
         "Section: Intro\n1\n\nSection: intro\n2\n\n"},
        {"raw bytes kept", header + sectionLine("n\xff", std::string("\xfe\0x", 3)), true,
         std::string("Section: n\xff\n\xfe\0x\n\n"sv)},
    };
}

TEST(Reader, DocumentsGiveTheirSections) {
    for (const DocumentCase& c : documentCases()) {
        const ParseResult result = parseText(c.text, "Doc.qlx");
        ASSERT_EQ(result.accepted(), c.accepted) << c.label;
        if (c.accepted && !c.expectedExport.empty()) {
            EXPECT_EQ(exportText(result.document.contents), c.expectedExport) << c.label;
        }
        if (c.accepted) {
            EXPECT_EQ(result.document.filename, "Doc") << c.label;
        }
    }
}

TEST(Reader, SingleQuotedNameRunsToTheNextDoubleQuote) {
    const std::string line = "<Section name='UQ==' x=\"y\">dA==</Section>";
    const ParseResult result = parseText("<?xml \n" + line, "d");
    ASSERT_TRUE(result.accepted());
    ASSERT_EQ(result.document.contents.size(), 1U);
    EXPECT_EQ(result.document.contents[0].name, decodeBase64("UQ==' x="));
}

// The plain reading of the rules, line by line on the whole text; the streaming reader must
// agree with it however the input is cut into pieces.
ParseResult referenceRead(std::string_view raw, std::string_view fileName) {
    // Lines split here a character at a time, apart from the reader's own splitting.
    std::vector<std::string> lines(1);
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] == '\r' || raw[i] == '\n') {
            if (raw[i] == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n') {
                ++i;
            }
            lines.emplace_back();
        } else {
            lines.back().push_back(raw[i]);
        }
    }
    ParseResult result;
    if (!qlv::startsWithIgnoringCase(lines[0], "<?xml ")) {
        return result;
    }
    result.status = ReadStatus::Accepted;
    for (const std::string& line : lines) {
        if (qlv::startsWithIgnoringCase(line, "<section ")) {
            result.document.contents.assign(decodeBase64(extractName(line)),
                                            decodeBase64(stripTags(line)));
        }
    }
    result.document.filename = baseName(fileName);
    return result;
}

std::string randomDocument(std::mt19937& rng) {
    const std::vector<std::string> breaks = {"\n", "\r\n", "\r"};
    const std::vector<std::string> headers = {"<?xml version=\"1.0\"?>", "<?XmL ", "<?xml",
                                              " <?xml ", ""};
    std::uniform_int_distribution<int> pick(0, 99);
    std::string doc = headers[pick(rng) < 85 ? 0 : static_cast<std::size_t>(pick(rng) % 5)];
    const int lines = pick(rng) % 12;
    for (int i = 0; i < lines; ++i) {
        doc += breaks[static_cast<std::size_t>(pick(rng) % 3)];
        const std::string name =
            testing::randomText(rng, "abcAB", static_cast<std::size_t>(pick(rng) % 3));
        const std::string body =
            testing::randomBytes(rng, static_cast<std::size_t>(pick(rng) % 40));
        switch (pick(rng) % 8) {
            case 0:
                doc += "  " + sectionLine(name, body);
                break;
            case 1:
                doc += "</Section>";
                break;
            case 2:
                doc += "<Section name=\"" + encodeBase64(name) + "\" x=\">" +
                       testing::randomText(rng, "QUJD<>=\"* ", 30);
                break;
            case 3:
                doc += "<section NAME=" + encodeBase64(name) + " " + encodeBase64(body);
                break;
            default:
                doc += sectionLine(name, body);
                break;
        }
    }
    return doc;
}

TEST(Reader, StreamingAgreesWithThePlainReadingWhereverTheInputIsCut) {
    std::mt19937 rng(5150);
    for (int round = 0; round < 3000; ++round) {
        const std::string doc = randomDocument(rng);
        const ParseResult expected = referenceRead(doc, "x.qll");
        DocumentReader reader;
        std::uniform_int_distribution<std::size_t> pieceSize(0, 9);
        for (std::size_t at = 0; at < doc.size();) {
            const std::size_t size = std::min(pieceSize(rng), doc.size() - at);
            reader.feed(std::string_view(doc).substr(at, size));
            at += size;
        }
        const ParseResult actual = reader.finish("x.qll");
        ASSERT_EQ(actual.status, expected.status) << doc;
        EXPECT_EQ(exportText(actual.document.contents), exportText(expected.document.contents))
            << doc;
        EXPECT_EQ(exportText(parseText(doc, "x").document.contents),
                  exportText(expected.document.contents));
    }
}

TEST(Reader, ReportTellsWhatWasSkippedDamagedAndReplaced) {
    const std::string doc = "<?xml \n" + sectionLine("A", "first") + "\n  " +
                            sectionLine("B", "b") + "\n<x>" + sectionLine("C", "c") +
                            "\n<Section name=\"QQ==\">Zm*ly=c3=Q</Section>\n" +
                            sectionLine("Bad", "\xff\xfe") + "\n";
    const ParseResult result = parseText(doc, "r");
    const SalvageReport& report = result.document.report;
    const auto nameOf = [&](std::size_t section) { return result.document.contents[section].name; };
    EXPECT_EQ(report.linesRead, 6U);
    EXPECT_EQ(report.sectionLines, 3U);
    EXPECT_EQ(report.skippedLookalikes, 2U);
    ASSERT_EQ(report.damagedBase64.size(), 1U);
    EXPECT_EQ(nameOf(report.damagedBase64[0].section), "A");
    EXPECT_FALSE(report.damagedBase64[0].inName);
    EXPECT_EQ(report.damagedBase64[0].skippedBytes, 1U);
    EXPECT_EQ(report.damagedBase64[0].incompleteGroups, 1U);  // the lone "Q" at the end
    ASSERT_EQ(report.replacements.size(), 1U);
    EXPECT_EQ(nameOf(report.replacements[0].section), "A");
    EXPECT_EQ(report.replacements[0].replacedLength, 5U);
    ASSERT_EQ(report.invalidUtf8Sections.size(), 1U);
    EXPECT_EQ(nameOf(report.invalidUtf8Sections[0]), "Bad");
}

// A line break ends a line; only text after the last one starts another. The count must not
// depend on where the input was cut into pieces.
TEST(Reader, LinesAreCountedByWhatTheyHoldNotByTheirBreaks) {
    const struct {
        std::string_view doc;
        std::size_t lines;
    } cases[] = {
        {"<?xml ", 1},    {"<?xml \n", 1},    {"<?xml \r\n", 1},
        {"<?xml \r", 1},  {"<?xml \n\n", 2},  {"<?xml \r\n\r\n", 2},
        {"<?xml \nA", 2}, {"<?xml \nA\n", 2}, {"<?xml \n\nA\r", 3},
    };
    for (const auto& c : cases) {
        for (std::size_t cut = 0; cut <= c.doc.size(); ++cut) {
            DocumentReader reader;
            reader.feed(c.doc.substr(0, cut));
            reader.feed(c.doc.substr(cut));
            EXPECT_EQ(reader.finish("x").document.report.linesRead, c.lines)
                << ::testing::PrintToString(c.doc) << " cut at " << cut;
        }
    }
}

// Pathological lines must be read in one linear pass; a quadratic scan would not finish.
TEST(Reader, PathologicalLinesAreReadCorrectly) {
    const std::size_t n = 2'000'000;
    const std::string opens(n, '<');
    std::string pairs;
    for (std::size_t i = 0; i < n / 2; ++i) {
        pairs += "<>";
    }
    const std::string doc =
        "<?xml \n<Section name=\"QQ==\">" + opens + "\n<Section name=\"Qg==\">" + pairs + "QUJD\n";
    const ParseResult result = parseText(doc, "p");
    ASSERT_TRUE(result.accepted());
    EXPECT_EQ(result.document.contents.lookup("A"), "");
    EXPECT_EQ(result.document.contents.lookup("B"), "ABC");
}

class ReaderFiles : public ::testing::Test {
  protected:
    testing::TempDir dir;
};

TEST_F(ReaderFiles, ReadsARegularFileAcrossReadBlocks) {
    std::mt19937 rng(3);
    const std::string big = testing::randomBytes(rng, 9 << 20);  // spans several read blocks
    std::string doc = "<?xml \r\n" + sectionLine("Small", "s") + "\r\n" + sectionLine("Big", big) +
                      "\r\n" + sectionLine("Last", "l");
    testing::writeFile(dir / "Story.QLX", doc);
    const ParseResult result = parseFile(dir / "Story.QLX");
    ASSERT_TRUE(result.accepted());
    EXPECT_EQ(result.document.filename, "Story");
    EXPECT_EQ(result.document.contents.lookup("Big"), big);
    EXPECT_EQ(exportText(result.document.contents),
              exportText(referenceRead(doc, "").document.contents));
}

TEST_F(ReaderFiles, ThingsThatAreNotRegularFilesAreRefusedWithoutReading) {
    const auto fifo = dir / "pipe.qlx";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::filesystem::create_directory(dir / "folder.qlx");
    struct Case {
        std::filesystem::path path;
        std::string reason;
    };
    for (const Case& c :
         {Case{dir / "missing.qlx", "No such file or directory"},
          Case{dir / "folder.qlx", "Is a directory"}, Case{fifo, "Not a regular file"},
          Case{"/dev/zero", "Not a regular file"}}) {
        const ParseResult result = parseFile(c.path);  // would hang if the FIFO were read
        EXPECT_EQ(result.status, ReadStatus::Unreadable) << c.path;
        EXPECT_EQ(result.reason, c.reason) << c.path;
    }
}

// A caller that watches the reading's progress gets the same document; one that stops it gets
// nothing of it, however far it got, on one thread or several.
TEST_F(ReaderFiles, ProgressIsToldPerBlockAndAStoppedReadingKeepsNothing) {
    std::mt19937 rng(7);
    const std::string big = testing::randomBytes(rng, 9 << 20);
    const std::string doc = "<?xml \n" + sectionLine("Big", big) + "\n" + sectionLine("B", "b");
    const int blocks = static_cast<int>((doc.size() >> 22) + 1);  // of 4 MiB; the last one short
    testing::writeFile(dir / "big.qlx", doc);
    const std::string expected = exportText(parseFile(dir / "big.qlx").document.contents);
    constexpr int kNever = -1;
    for (const unsigned threads : {1U, 2U}) {
        for (const int stopAfter : {kNever, 0, 1, blocks}) {
            std::atomic<bool> stop = stopAfter == 0;
            std::vector<std::uint64_t> told;
            ReadOptions options{Reading::Plain, threads};
            options.stop = &stop;
            options.progress = [&](std::uint64_t read, std::uint64_t total) {
                EXPECT_EQ(total, doc.size());
                told.push_back(read);
                stop = stop || static_cast<int>(told.size()) == stopAfter;
            };
            const ParseResult result = parseFile(dir / "big.qlx", options);
            const std::string label = std::to_string(threads) + "/" + std::to_string(stopAfter);
            if (stopAfter == kNever) {
                ASSERT_TRUE(result.accepted()) << label;
                EXPECT_EQ(exportText(result.document.contents), expected) << label;
                EXPECT_EQ(told.size(), static_cast<std::size_t>(blocks)) << label;
                EXPECT_EQ(told.back(), doc.size()) << label;
            } else {
                EXPECT_EQ(result.status, ReadStatus::Stopped) << label;
                EXPECT_TRUE(result.document.contents.empty()) << label;
                EXPECT_EQ(told.size(), static_cast<std::size_t>(stopAfter)) << label;
            }
        }
    }
}

// A refusal is decided on the first line: the rest of the file is not read (on failing media
// every read costs).
TEST_F(ReaderFiles, EmptyAndForeignFilesAreRefusedSayingWhyAfterTheFirstLine) {
    struct Case {
        const char* name;
        std::string bytes;
        std::string reason;
        std::size_t reads;
    };
    const std::string notAHeader = "Its first line is not a Quillora document header";
    std::mt19937 rng(5);
    const std::string large = testing::randomBytes(rng, std::size_t{20} << 20);
    for (const Case& c :
         {Case{"empty.qlx", "", "The file is empty", 1},
          Case{"notes.txt", "just some notes\n", notAHeader, 1},
          Case{"blank-first-line.qlx", "\n<?xml version=\"1.0\"?>\n", notAHeader, 1},
          Case{"short-header.qlx", "<?xm", notAHeader, 2},
          Case{"random.bin", "x" + large, notAHeader, 1}}) {
        testing::writeFile(dir / c.name, c.bytes);
        testing::PosixFaults counted;
        const ParseResult result = parseFile(dir / c.name);
        EXPECT_EQ(result.status, ReadStatus::Refused) << c.name;
        EXPECT_EQ(result.reason, c.reason) << c.name;
        EXPECT_EQ(counted.reads(), c.reads) << c.name;
    }
}

}  // namespace
}  // namespace salvage
