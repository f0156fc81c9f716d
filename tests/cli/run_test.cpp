#include "run.h"

#include <fcntl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "cli_test_support.h"
#include "posix_faults.h"
#include "salvage/reader.h"

namespace qlv::cli {
namespace {

namespace fs = std::filesystem;
using testing::Descriptor;
using testing::encodeBase64;
using testing::Outcome;
using testing::readFile;
using testing::sectionLine;
using testing::TempDir;
using testing::writeFile;

const std::string kRefused(salvage::kRefusedMessage);

// The text of a section stays byte for byte, its own CR LF included.
const std::string kLetter = "<?xml version=\"1.0\"?>\r\n<Doc>\r\n" +
                            sectionLine("One", "Hello\r\nworld") + sectionLine("Two", "Bye") +
                            "</Doc>\n";
const std::string kLetterExport = "Section: One\nHello\r\nworld\n\nSection: Two\nBye\n\n";
const std::string kSecond = "<?xml ?>\n" + sectionLine("Only", "Text");
const std::string kSecondExport = "Section: Only\nText\n\n";

class RunTest : public ::testing::Test {
  protected:
    void SetUp() override {
        writeFile(dir / "letter.qlx", kLetter);
        writeFile(dir / "second.qll", kSecond);
        writeFile(dir / "notes.txt", "Shopping: milk, bread\n");
        writeFile(dir / "no-sections.qlx", "<?xml version=\"1.0\"?>\n<Doc></Doc>\n");
    }

    // FILE names are taken inside the test's folder; "-" and absolute paths stay as they are.
    std::string path(const std::string& file) const {
        return file == "-" || fs::path(file).is_absolute() ? file : (dir / file).string();
    }

    std::string errorLine(const std::string& file, const std::string& message) const {
        return "qlvodadov-cli: " + (file == "-" ? "standard input" : path(file)) + ": " + message +
               "\n";
    }

    Outcome run(Options options, const std::string& standardInput = "",
                const fs::path& standardOutput = {}) {
        for (std::string& file : options.files) {
            file = path(file);
        }
        return testing::runProgram(options, dir.path(), standardInput, standardOutput);
    }

    TempDir dir;
};

struct StandardOutputCase {
    const char* what;
    Options options;
    std::string standardInput;
    int status;
    std::string out;
    std::vector<std::pair<std::string, std::string>> errors;  // FILE, message
};

TEST_F(RunTest, EachFileIsWrittenToStandardOutputInTurn) {
    const std::vector<StandardOutputCase> cases = {
        {"all sections", {.files = {"letter.qlx"}}, "", 0, kLetterExport, {}},
        {"names", {.files = {"letter.qlx"}, .list = true}, "", 0, "One\nTwo\n", {}},
        {"one section, nothing added",
         {.files = {"letter.qlx"}, .section = "One"},
         "",
         0,
         "Hello\r\nworld",
         {}},
        {"names compare byte for byte",
         {.files = {"letter.qlx"}, .section = "one"},
         "",
         1,
         "",
         {{"letter.qlx", "no section named \"one\""}}},
        {"a missing section does not stop the others",
         {.files = {"letter.qlx", "second.qll"}, .section = "Only"},
         "",
         1,
         "Text",
         {{"letter.qlx", "no section named \"Only\""}}},
        {"a refused document between two good ones",
         {.files = {"letter.qlx", "notes.txt", "second.qll"}},
         "",
         1,
         kLetterExport + kSecondExport,
         {{"notes.txt", kRefused}}},
        {"an unreadable file",
         {.files = {"missing.qlx", "second.qll"}},
         "",
         1,
         kSecondExport,
         {{"missing.qlx", "No such file or directory"}}},
        {"a folder", {.files = {"/"}}, "", 1, "", {{"/", "Is a directory"}}},
        {"standard input", {.files = {"-"}}, kLetter, 0, kLetterExport, {}},
        {"standard input refused",
         {.files = {"-", "second.qll"}},
         "Dear diary",
         1,
         kSecondExport,
         {{"-", kRefused}}},
        {"a document with no sections", {.files = {"no-sections.qlx"}}, "", 0, "", {}},
    };
    for (const StandardOutputCase& c : cases) {
        SCOPED_TRACE(c.what);
        const Outcome outcome = run(c.options, c.standardInput);
        std::string expectedErrors;
        for (const auto& [file, message] : c.errors) {
            expectedErrors += errorLine(file, message);
        }
        EXPECT_EQ(outcome.status, c.status);
        EXPECT_EQ(outcome.out, c.out);
        EXPECT_EQ(outcome.err, expectedErrors);
    }
}

TEST_F(RunTest, ReportGoesToStandardErrorAndLeavesTheOutputAlone) {
    writeFile(dir / "damaged.qlx", "<?xml \n" + sectionLine("A", "first") + "  " +
                                       sectionLine("B", "b") + sectionLine("A", "again"));
    const Outcome outcome = run({.files = {"damaged.qlx"}, .report = true});
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.out, "Section: A\nagain\n\n");
    EXPECT_EQ(outcome.err,
              errorLine("damaged.qlx",
                        "1 section from 4 lines; 1 replaced by a later section, 1 section-like "
                        "line skipped") +
                  "  Lines read: 4\n"
                  "  Section lines found: 2\n"
                  "  Sections: 1\n"
                  "  Lines that look like sections but were skipped (indented, or \"<Section\" "
                  "not at the start): 1\n"
                  "  Section \"A\" occurs again: its earlier text (5 bytes) was replaced\n");
}

TEST_F(RunTest, DamagedLinesAreListedWithTheirBytesWhereTheyCanBeRead) {
    std::string shifted = "  " + sectionLine("B", "b");
    writeFile(dir / "damaged.qlx", "<?xml \n" + shifted + sectionLine("A", "first"));
    shifted.pop_back();
    const std::string listing = "  line 2 (offset 7, " + std::to_string(shifted.size()) +
                                " bytes): skipped: looks like a section line but does not "
                                "start one\n    ";
    std::string quoted;  // as a JSON string holds it
    for (const char c : shifted) {
        quoted += c == '"' ? std::string("\\\"") : std::string(1, c);
    }
    const struct {
        const char* title;
        Options options;
        std::string input;
        std::string err;
        std::string out;
    } cases[] = {
        {"from a file",
         {.files = {"damaged.qlx"}, .damagedLines = true},
         "",
         errorLine("damaged.qlx", "1 damaged line") + listing + shifted + "\n",
         "Section: A\nfirst\n\n"},
        {"from standard input",
         {.files = {"-"}, .damagedLines = true},
         readFile(dir / "damaged.qlx"),
         errorLine("-", "1 damaged line") + listing +
             "Read from standard input: its lines cannot be read again.\n",
         "Section: A\nfirst\n\n"},
        {"as JSON",
         {.files = {"damaged.qlx"}, .json = true, .damagedLines = true},
         "",
         "",
         R"("damaged_lines":[{"line":2,"offset":7,"length":)" + std::to_string(shifted.size()) +
             R"(,"section":null,"what":"skipped: looks like a section line but does not start one",)"
             R"("bytes":")" +
             quoted + R"(","bytes_not_shown":0}],"damaged_lines_not_listed":0})"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.title);
        const Outcome outcome = run(c.options, c.input);
        EXPECT_EQ(outcome.status, 0);
        EXPECT_EQ(outcome.err, c.err);
        EXPECT_NE(outcome.out.find(c.out), std::string::npos) << outcome.out;
    }
}

TEST_F(RunTest, ALargeDocumentComesOutByteForByte) {
    // Many small pieces and one far larger than any write buffer.
    std::string document = "<?xml ?>\n";
    std::string expected;
    for (int i = 0; i < 2000; ++i) {
        const std::string name = "Part " + std::to_string(i);
        const std::string text = i == 1000 ? std::string(3'000'000, 'x') : "text " + name;
        document += sectionLine(name, text);
        expected += "Section: " + name + "\n" + text + "\n\n";
    }
    writeFile(dir / "large.qlx", document);
    const Outcome outcome = run({.files = {"large.qlx"}});
    EXPECT_EQ(outcome.status, 0);
    EXPECT_TRUE(outcome.out == expected)
        << "output differs; sizes " << outcome.out.size() << " and " << expected.size();
}

TEST_F(RunTest, AFailedWriteToStandardOutputIsReportedOnceAndEndsTheRun) {
    const Outcome outcome = run({.files = {"letter.qlx", "notes.txt"}}, "", "/dev/full");
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.err, "qlvodadov-cli: standard output: No space left on device\n");
}

TEST_F(RunTest, OutputFileHoldsWhatStandardOutputWouldHold) {
    writeFile(dir / "out.txt", "an older export that is longer than the new one\n");
    const Outcome outcome = run({.files = {"letter.qlx"}, .output = dir / "out.txt"});
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.out, "");
    EXPECT_EQ(outcome.err, "");
    EXPECT_EQ(readFile(dir / "out.txt"), kLetterExport);
}

TEST_F(RunTest, AFailedOutputFileLeavesNoTraceAndIsReported) {
    struct Case {
        fs::path destination;
        std::string reason;
    };
    const std::vector<Case> cases = {
        {dir / "letter.qlx" / "out.txt", "Not a directory"},
        {dir / "nowhere" / "out.txt", "No such file or directory"},
        {"/dev/full", "No space left on device"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.destination);
        const Outcome outcome = run({.files = {"letter.qlx"}, .output = c.destination});
        EXPECT_EQ(outcome.status, 1);
        EXPECT_EQ(outcome.out, "");
        EXPECT_EQ(outcome.err, errorLine("letter.qlx", "not written to " + c.destination.string() +
                                                           ": " + c.reason));
        EXPECT_EQ(readFile(dir / "letter.qlx"), kLetter);
        EXPECT_FALSE(fs::exists(dir / "nowhere"));
    }
    // Nothing but the test's own files: no temporary file left behind.
    std::size_t entries = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir.path())) {
        ++entries;
    }
    EXPECT_EQ(entries, 6u);  // four documents, stdin, stdout
}

// Whatever step of the write fails, the run fails, says why and keeps the file it would
// have replaced.
TEST_F(RunTest, AWriteThatFailsAtAnyStepFailsTheRunAndKeepsTheOldFile) {
    using Call = salvage::testing::PosixFaults::Call;
    const std::vector<salvage::testing::PosixFaults::Fault> faults = {
        {Call::Write, ENOSPC}, {Call::Write, EIO}, {Call::Fsync, EIO},
        {Call::Rename, EXDEV}, {Call::Close, EIO}, {Call::Fchmod, EPERM},
    };
    writeFile(dir / "out.txt", "kept");
    for (const auto& fault : faults) {
        SCOPED_TRACE(std::strerror(fault.error));
        Outcome outcome;
        {
            salvage::testing::PosixFaults faulty(fault);
            outcome = run({.files = {"letter.qlx"}, .output = dir / "out.txt"});
        }
        EXPECT_EQ(outcome.status, 1);
        EXPECT_EQ(outcome.err,
                  errorLine("letter.qlx", "not written to " + (dir / "out.txt").string() + ": " +
                                              std::strerror(fault.error)));
        EXPECT_EQ(readFile(dir / "out.txt"), "kept");
        EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()),
                  7);  // four documents, stdin, stdout, out.txt: no temporary file
    }
}

// A name that holds a line break must not pass for two names.
TEST_F(RunTest, ListedNamesAreEscapedSoThatEachLineIsOneName) {
    writeFile(dir / "odd.qlx", "<?xml ?>\n" + sectionLine("Two\nlines", "a") +
                                   sectionLine("tab\there", "b") + sectionLine("back\\slash", "c") +
                                   sectionLine("bell\x07 \x7f", "d") + sectionLine("Über", "e"));
    const Outcome outcome = run({.files = {"odd.qlx"}, .list = true});
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.out, "Two\\nlines\ntab\\there\nback\\\\slash\nbell\\x07 \\x7F\nÜber\n");
    // The exact names stay available: --section takes them as they are.
    EXPECT_EQ(run({.files = {"odd.qlx"}, .section = "Two\nlines"}).out, "a");
}

TEST_F(RunTest, NothingIsWrittenForARefusedDocumentAndAnExistingFileStays) {
    writeFile(dir / "out.txt", "keep me");
    const Outcome outcome = run({.files = {"notes.txt"}, .output = dir / "out.txt"});
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.err, errorLine("notes.txt", kRefused));
    EXPECT_EQ(readFile(dir / "out.txt"), "keep me");
}

TEST_F(RunTest, ADocumentBeingReadIsNeverReplacedByItsExport) {
    const Outcome outcome = run({.files = {"letter.qlx"}, .output = dir / "letter.qlx"});
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.err,
              errorLine("letter.qlx", "not written to " + path("letter.qlx") +
                                          ": it is a document being salvaged, which is kept as "
                                          "it is"));
    EXPECT_EQ(readFile(dir / "letter.qlx"), kLetter);

    // Also when it arrives on standard input.
    const Descriptor in(dir / "letter.qlx", O_RDONLY);
    std::ostringstream errors;
    const Options options{.files = {"-"}, .output = dir / "letter.qlx"};
    EXPECT_EQ(cli::run(options, {in.get(), -1, errors}), 1);
    EXPECT_EQ(readFile(dir / "letter.qlx"), kLetter);
}

TEST_F(RunTest, OutputDirGetsOneFileForEachDocumentUnderItsSaveAllName) {
    writeFile(dir / "Draft.QLX.qll", kSecond);
    const Outcome outcome =
        run({.files = {"letter.qlx", "Draft.QLX.qll", "-", "notes.txt"}, .outputDir = dir / "out"},
            kSecond);
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.out, "");
    EXPECT_EQ(outcome.err, errorLine("notes.txt", kRefused));
    std::vector<std::pair<std::string, std::string>> written;
    for (const auto& entry : fs::directory_iterator(dir / "out")) {
        written.emplace_back(entry.path().filename().string(), readFile(entry.path()));
    }
    std::sort(written.begin(), written.end());
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"Draft.txt", kSecondExport}, {"letter.txt", kLetterExport}, {"stdin.txt", kSecondExport}};
    EXPECT_EQ(written, expected);
}

TEST_F(RunTest, OutputDirIsMadeWhenMissingOnlyOnceADocumentIsRead) {
    struct Case {
        const char* what;
        std::vector<std::string> files;
        std::string outputDir;
        std::string madeFile;  // empty: no folder is made
        std::string errors;
    };
    const std::vector<Case> cases = {
        {"with its parents", {"letter.qlx"}, "a/b/c", "a/b/c/letter.txt", ""},
        {"given with a final slash", {"letter.qlx"}, "d/", "d/letter.txt", ""},
        {"not for a refused document", {"notes.txt"}, "e", "", errorLine("notes.txt", kRefused)},
        {"not below a file",
         {"letter.qlx", "second.qll"},
         "letter.qlx/f",
         "",
         errorLine("letter.qlx",
                   "cannot make the folder " + path("letter.qlx/f") + ": Not a directory") +
             errorLine("second.qll",
                       "cannot make the folder " + path("letter.qlx/f") + ": Not a directory")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Outcome outcome = run({.files = c.files, .outputDir = dir / c.outputDir});
        EXPECT_EQ(outcome.status, c.errors.empty() ? 0 : 1);
        EXPECT_EQ(outcome.err, c.errors);
        if (c.madeFile.empty()) {
            EXPECT_FALSE(fs::exists(dir / c.outputDir));
        } else {
            EXPECT_EQ(readFile(dir / c.madeFile), kLetterExport);
        }
    }
    EXPECT_EQ(readFile(dir / "letter.qlx"), kLetter);
}

TEST_F(RunTest, OutputDirNamesStayInsideTheFolder) {
    fs::create_directory(dir / "out");
    writeFile(dir /
                  "back\\slash\nand\x01"
                  "control.qlx",
              kSecond);
    const Outcome outcome = run({.files = {"back\\slash\nand\x01"
                                           "control.qlx"},
                                 .outputDir = dir / "out"});
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(readFile(dir / "out" / "back_slash_and_control.txt"), kSecondExport);
}

TEST_F(RunTest, OutputDirTakesTheChosenSection) {
    fs::create_directory(dir / "out");
    const Outcome outcome =
        run({.files = {"letter.qlx"}, .section = "Two", .outputDir = dir / "out"});
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(readFile(dir / "out" / "letter.txt"), "Bye");
}

TEST_F(RunTest, TwoDocumentsWithOneOutputNameAreRefusedBeforeAnythingIsWritten) {
    fs::create_directory(dir / "out");
    fs::create_directory(dir / "copy");
    writeFile(dir / "copy" / "letter.qll", kSecond);
    const Outcome outcome =
        run({.files = {"second.qll", "letter.qlx", "copy/letter.qll"}, .outputDir = dir / "out"});
    EXPECT_EQ(outcome.status, 2);
    EXPECT_EQ(outcome.err, "qlvodadov-cli: " + path("letter.qlx") + " and " +
                               path("copy/letter.qll") + " would both be written to " +
                               (dir / "out" / "letter.txt").string() + "\n");
    EXPECT_TRUE(fs::is_empty(dir / "out"));
}

// A section wrapped over two lines after a damaged first line: the thorough reading gets it
// whole, the plain one refuses the file.
const std::string kWrapped = "\x01\x02\n<Section name=\"" + encodeBase64("Wrapped") + "\">\n" +
                             encodeBase64("Hello, ") + "\n" + encodeBase64("world") +
                             "\n</Section>\n" + sectionLine("Wrapped", "Again");

TEST_F(RunTest, ThoroughReadingGoesWithEveryOtherOption) {
    writeFile(dir / "wrapped.qlx", kWrapped);
    fs::create_directory(dir / "out");
    struct Case {
        const char* what;
        Options options;
        std::string standardInput;
        int status;
        std::string out;
    };
    const std::vector<Case> cases = {
        {"plain reading refuses it", {.files = {"wrapped.qlx"}}, "", 1, ""},
        {"every section",
         {.files = {"wrapped.qlx"}, .thorough = true},
         "",
         0,
         "Section: Wrapped\nHello, world\n\nSection: Wrapped (2)\nAgain\n\n"},
        {"the list",
         {.files = {"wrapped.qlx"}, .list = true, .thorough = true},
         "",
         0,
         "Wrapped\nWrapped (2)\n"},
        {"one section under its numbered name",
         {.files = {"wrapped.qlx"}, .section = "Wrapped (2)", .thorough = true},
         "",
         0,
         "Again"},
        {"standard input",
         {.files = {"-"}, .list = true, .thorough = true},
         kWrapped,
         0,
         "Wrapped\nWrapped (2)\n"},
        {"to a folder",
         {.files = {"wrapped.qlx"},
          .section = "Wrapped",
          .outputDir = dir / "out",
          .thorough = true},
         "",
         0,
         ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Outcome outcome = run(c.options, c.standardInput);
        EXPECT_EQ(outcome.status, c.status) << outcome.err;
        EXPECT_EQ(outcome.out, c.out);
    }
    EXPECT_EQ(readFile(dir / "out" / "wrapped.txt"), "Hello, world");
}

TEST_F(RunTest, ThoroughReportTellsWhatTheThoroughReadingFound) {
    writeFile(dir / "wrapped.qlx", kWrapped);
    const Outcome outcome =
        run({.files = {"wrapped.qlx"}, .list = true, .report = true, .thorough = true});
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.err,
              errorLine("wrapped.qlx",
                        "2 sections from 6 lines; first line damaged, 1 repeated name kept "
                        "under numbers") +
                  "  Lines read: 6\n"
                  "  Section lines found: 2\n"
                  "  Sections: 2\n"
                  "  Lines that look like sections but were skipped (indented, or \"<Section\" "
                  "not at the start): 0\n"
                  "  Read thoroughly\n"
                  "  The first line is not an \"<?xml \" header: read for the section tags "
                  "found\n"
                  "  Sections whose text runs on past the line of their tag: 1\n"
                  "  Section tags not at the start of their line: 0\n"
                  "  Base64 groups dropped (a character outside the alphabet): 0\n"
                  "  Decoded bytes left out (not valid text): 0\n"
                  "  Realignments after characters were lost or inserted: 0\n"
                  "  Damaged stretches that gave no text: 0\n"
                  "  Section \"Wrapped\" occurs again: every text kept, the first repeat as "
                  "\"Wrapped (2)\"\n");
}

}  // namespace
}  // namespace qlv::cli
