#include "session/save_guard.h"

#include <gtest/gtest.h>

#include <functional>

#include "test_support.h"

namespace session {
namespace {

namespace fs = std::filesystem;
using salvage::testing::readFile;
using salvage::testing::TempDir;
using salvage::testing::writeFile;

const std::string kDocument = "<?xml ?>\nwhat could not be recovered\n";

std::optional<kestLibrary::IoError> saveText(const SaveGuard& guard, const fs::path& to) {
    return guard.save(to, kestLibrary::wholeText("recovered"));
}

// However a protected file is named, it keeps its bytes; any other file is written.
TEST(SaveGuard, AProtectedFileIsRefusedByEveryNameItHas) {
    struct Case {
        const char* label;
        std::function<fs::path(const fs::path& document, const fs::path& dir)> destination;
        bool refused;
    };
    const Case cases[] = {
        {"its own path", [](const fs::path& doc, const fs::path&) { return doc; }, true},
        {"through its folder's dot",
         [](const fs::path& doc, const fs::path& dir) { return dir / "." / doc.filename(); }, true},
        {"a symbolic link",
         [](const fs::path& doc, const fs::path& dir) {
             fs::create_symlink(doc, dir / "link.qlx");
             return dir / "link.qlx";
         },
         true},
        {"a hard link",
         [](const fs::path& doc, const fs::path& dir) {
             fs::create_hard_link(doc, dir / "hard.qlx");
             return dir / "hard.qlx";
         },
         true},
        {"another file", [](const fs::path&, const fs::path& dir) { return dir / "letter.txt"; },
         false},
    };
    for (const Case& c : cases) {
        for (const bool asDocument : {true, false}) {
            TempDir dir;
            const fs::path document = dir / "letter.qlx";
            writeFile(document, kDocument);
            SaveGuard guard;
            if (asDocument) {
                guard.protectDocument(kestLibrary::identityOfPath(document));
            } else {
                guard.protectPath(document);
            }
            const fs::path to = c.destination(document, dir.path());
            const auto error = saveText(guard, to);
            EXPECT_EQ(error.has_value(), c.refused) << c.label;
            if (error) {
                EXPECT_EQ(error->message(), to.string() +
                                                ": it is a document being "
                                                "salvaged, which is kept as it is");
            } else {
                EXPECT_EQ(readFile(to), "recovered") << c.label;
            }
            EXPECT_EQ(readFile(document), kDocument) << c.label;
        }
    }
}

// The window protects the document it shows, not the ones it showed before; the command line
// protects every document it was given for the whole run.
TEST(SaveGuard, ADocumentShownLaterTakesTheProtectionInputsKeepTheirs) {
    TempDir dir;
    const fs::path first = dir / "first.qlx";
    const fs::path second = dir / "second.qlx";
    const fs::path input = dir / "input.qlx";
    for (const fs::path& file : {first, second, input}) {
        writeFile(file, kDocument);
    }
    SaveGuard guard;
    guard.protectPath(input);
    guard.protectDocument(kestLibrary::identityOfPath(first));
    guard.protectDocument(kestLibrary::identityOfPath(second));
    EXPECT_FALSE(guard.protects(first));
    EXPECT_TRUE(guard.protects(second));
    EXPECT_TRUE(guard.protects(input));
    guard.protectDocument(std::nullopt);
    EXPECT_FALSE(guard.protects(second));
    EXPECT_TRUE(guard.protects(input));
}

TEST(SaveGuard, AFailedWriteIsReportedAndLeavesNothing) {
    TempDir dir;
    writeFile(dir / "plain", "a file, not a folder");
    const SaveGuard guard;
    const auto error = saveText(guard, dir / "plain" / "out.txt");
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->path, (dir / "plain" / "out.txt").string());
    EXPECT_EQ(readFile(dir / "plain"), "a file, not a folder");
}

}  // namespace
}  // namespace session
