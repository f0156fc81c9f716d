#include "session/document_session.h"

#include <gtest/gtest.h>

#include <atomic>
#include <sstream>
#include <vector>

#include "posix_faults.h"
#include "test_support.h"

namespace session {
namespace {

namespace fs = std::filesystem;
using salvage::testing::encodeBase64;
using salvage::testing::readFile;
using salvage::testing::TempDir;
using salvage::testing::writeFile;

using salvage::testing::sectionLine;

class DocumentSessionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        writeFile(dir / "letter.qlx",
                  "<?xml ?>\n" + sectionLine("Alpha", "alpha text") + sectionLine("Blank", ""));
        writeFile(dir / "empty.qll", "<?xml ?>\n<Doc/>\n");
        writeFile(dir / "notes.txt", "Shopping: milk\n");
    }

    // Steps, as the window takes them: "open FILE", "show N", "show none", "type" (text typed),
    // "clear" (the text emptied by hand), "undo" (typing taken back), "close".
    void run(DocumentSession& session, const std::string& steps) const {
        std::istringstream words(steps);
        std::string step;
        while (words >> step) {
            if (step == "open") {
                std::string file;
                words >> file;
                session.open(dir / file);
            } else if (step == "show") {
                std::string which;
                words >> which;
                session.show(which == "none" ? std::nullopt
                                             : std::optional<std::size_t>(std::stoul(which)));
            } else if (step == "type") {
                session.textChanged(false, true);
            } else if (step == "clear") {
                session.textChanged(true, true);
            } else if (step == "undo") {
                session.textChanged(false, false);
            } else if (step == "close") {
                session.close();
            } else {
                FAIL() << "unknown step " << step;
            }
        }
    }

    TempDir dir;
};

// Save All needs a document with a section; Save Just This needs text to save; before the
// first document neither is decided, and the save commands keep their states.
TEST_F(DocumentSessionTest, SavingFollowsTheDocumentAndTheTextShown) {
    struct Case {
        const char* steps;
        std::optional<SaveAvailability> available;
        std::optional<std::size_t> shown;
        std::optional<std::string_view> unchanged;
        const char* allName;
        const char* oneName;
    };
    using A = SaveAvailability;
    const Case cases[] = {
        {"", std::nullopt, {}, {}, ".txt", ".txt"},
        {"type", std::nullopt, {}, {}, ".txt", ".txt"},
        {"open notes.txt", std::nullopt, {}, {}, ".txt", ".txt"},
        {"open letter.qlx", A{true, false}, {}, {}, "letter.txt", ".txt"},
        {"type open letter.qlx", A{true, false}, {}, {}, "letter.txt", ".txt"},
        {"open letter.qlx show 0", A{true, true}, 0, "alpha text", "letter.txt", "Alpha.txt"},
        {"open letter.qlx show 1", A{true, false}, 1, "", "letter.txt", "Blank.txt"},
        {"open letter.qlx show 1 type", A{true, true}, 1, {}, "letter.txt", "Blank.txt"},
        {"open letter.qlx show 0 clear", A{true, false}, 0, {}, "letter.txt", "Alpha.txt"},
        {"open letter.qlx show 0 clear undo", A{true, true}, 0, "alpha text", "letter.txt",
         "Alpha.txt"},
        {"open letter.qlx type", A{true, true}, {}, {}, "letter.txt", ".txt"},
        {"open letter.qlx show 0 show none", A{true, false}, {}, {}, "letter.txt", ".txt"},
        {"open letter.qlx show 7", A{true, false}, {}, {}, "letter.txt", ".txt"},
        {"open letter.qlx show 0 open notes.txt", A{true, true}, 0, "alpha text", "letter.txt",
         "Alpha.txt"},
        {"open letter.qlx show 0 open missing.qlx", A{true, true}, 0, "alpha text", "letter.txt",
         "Alpha.txt"},
        {"open letter.qlx show 0 open empty.qll", A{false, false}, {}, {}, "empty.txt", ".txt"},
        {"open letter.qlx show 0 close", std::nullopt, {}, {}, ".txt", ".txt"},
    };
    for (const Case& c : cases) {
        DocumentSession session;
        run(session, c.steps);
        EXPECT_EQ(session.saveAvailability(), c.available) << c.steps;
        EXPECT_EQ(session.shownSection(), c.shown) << c.steps;
        EXPECT_EQ(session.unchangedText(), c.unchanged) << c.steps;
        EXPECT_EQ(session.saveAllName(), c.allName) << c.steps;
        EXPECT_EQ(session.saveOneName(), c.oneName) << c.steps;
    }
}

// The thorough reading is offered where the plain one tells of a loss, and only then.
TEST_F(DocumentSessionTest, TheThoroughReadingIsOfferedWhereThePlainOneLostSomething) {
    writeFile(dir / "skipped.qlx", "<?xml ?>\n  " + sectionLine("Indented", "text"));
    writeFile(dir / "damaged.qlx", "<?xml ?>\n<Section name=\"QQ==\">YW*Jj</Section>\n");
    writeFile(dir / "repeated.qlx",
              "<?xml ?>\n" + sectionLine("A", "first") + sectionLine("A", "second"));
    writeFile(dir / "binary.qlx", "<?xml ?>\n" + sectionLine("A", "\xff"));
    struct Case {
        const char* file;
        salvage::Reading reading;
        bool offered;
    };
    const auto plain = salvage::Reading::Plain;
    for (const Case& c : {
             Case{"letter.qlx", plain, false},
             Case{"empty.qll", plain, false},
             Case{"skipped.qlx", plain, true},
             Case{"damaged.qlx", plain, true},
             Case{"repeated.qlx", plain, true},
             Case{"binary.qlx", plain, true},
             Case{"skipped.qlx", salvage::Reading::Thorough, false},
         }) {
        DocumentSession session;
        session.setReading(c.reading);
        ASSERT_TRUE(session.open(dir / c.file).accepted()) << c.file;
        EXPECT_EQ(session.thoroughReadingMayFindMore(), c.offered) << c.file;
    }
}

// Whether to offer the thorough reading for a refused file is decided by the first tag found,
// not by a whole thorough reading: a large file costs one read.
TEST_F(DocumentSessionTest, ARefusedFileIsOfferedTheThoroughReadingByItsFirstTag) {
    writeFile(dir / "tagged.qlx",
              "damaged\n" + sectionLine("A", "text") + std::string(std::size_t{20} << 20, 'x'));
    struct Case {
        const char* file;
        bool accepted;
        std::size_t mostReads;
    };
    for (const Case& c : {Case{"tagged.qlx", true, 1}, Case{"notes.txt", false, 2}}) {
        salvage::testing::PosixFaults counted;
        EXPECT_EQ(DocumentSession::thoroughReadingAccepts(dir / c.file), c.accepted) << c.file;
        EXPECT_LE(counted.reads(), c.mostReads) << c.file;
    }
}

// Reading again takes the reading now chosen, and shows nothing of the new result yet.
TEST_F(DocumentSessionTest, ReadingAgainFollowsTheChosenReading) {
    writeFile(dir / "wrapped.qlx", "<?xml ?>\n<Section name=\"" + encodeBase64("W") + "\">\n" +
                                       encodeBase64("wrapped text") + "\n</Section>\n");
    DocumentSession session;
    EXPECT_FALSE(session.reread().accepted());
    ASSERT_TRUE(session.open(dir / "wrapped.qlx").accepted());
    EXPECT_EQ(session.document()->contents.lookup("W"), "");
    session.show(0);
    session.setReading(salvage::Reading::Thorough);
    ASSERT_TRUE(session.reread().accepted());
    EXPECT_EQ(session.document()->contents.lookup("W"), "wrapped text");
    EXPECT_EQ(session.shownSection(), std::nullopt);
    EXPECT_EQ(session.documentPath(), dir / "wrapped.qlx");
}

TEST_F(DocumentSessionTest, OpeningTellsWhatBecameOfTheFile) {
    fs::create_directory(dir / "folder");
    struct Case {
        const char* file;
        salvage::ReadStatus status;
        bool reason;
    };
    for (const Case& c : {
             Case{"letter.qlx", salvage::ReadStatus::Accepted, false},
             Case{"notes.txt", salvage::ReadStatus::Refused, true},
             Case{"missing.qlx", salvage::ReadStatus::Unreadable, true},
             Case{"folder", salvage::ReadStatus::Unreadable, true},
         }) {
        DocumentSession session;
        const OpenOutcome outcome = session.open(dir / c.file);
        EXPECT_EQ(outcome.status, c.status) << c.file;
        EXPECT_EQ(!outcome.reason.empty(), c.reason) << c.file << ": " << outcome.reason;
        EXPECT_EQ(session.document().has_value(), outcome.accepted()) << c.file;
        EXPECT_EQ(session.documentPath(), outcome.accepted() ? dir / c.file : fs::path());
    }
}

// A reading stopped on its way (the window's Cancel) leaves the document held as it was, with
// the section shown and its edit.
TEST_F(DocumentSessionTest, AStoppedReadingChangesNothing) {
    DocumentSession session;
    ASSERT_TRUE(session.open(dir / "letter.qlx").accepted());
    session.show(0);
    session.textChanged(false, true);
    const std::atomic<bool> stop = true;
    salvage::ReadOptions options = session.readOptions();
    options.stop = &stop;
    const OpenOutcome outcome = session.adopt(DocumentSession::read(dir / "empty.qll", options));
    EXPECT_EQ(outcome.status, salvage::ReadStatus::Stopped);
    EXPECT_EQ(session.documentPath(), dir / "letter.qlx");
    EXPECT_EQ(session.document()->contents.lookup("Alpha"), "alpha text");
    EXPECT_EQ(session.shownSection(), 0U);
    EXPECT_EQ(session.unchangedText(), std::nullopt);
}

// Save All writes every section; a save never replaces the document it came from.
TEST_F(DocumentSessionTest, SavesWriteTheExportButNeverOverTheDocument) {
    DocumentSession session;
    ASSERT_TRUE(session.open(dir / "letter.qlx").accepted());
    EXPECT_FALSE(session.save(dir / "out.txt", session.allSections()).has_value());
    EXPECT_EQ(readFile(dir / "out.txt"), "Section: Alpha\nalpha text\n\nSection: Blank\n\n\n");
    const std::string before = readFile(dir / "letter.qlx");
    EXPECT_TRUE(session.save(dir / "letter.qlx", session.allSections()).has_value());
    EXPECT_EQ(readFile(dir / "letter.qlx"), before);
}

}  // namespace
}  // namespace session
