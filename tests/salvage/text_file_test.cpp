#include "salvage/text_file.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <vector>

#include "test_support.h"

namespace kestLibrary {
namespace {

using salvage::testing::readFile;
using salvage::testing::TempDir;
using salvage::testing::writeFile;

std::vector<std::string> entries(const std::filesystem::path& dir) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

TEST(ReadText, UnifiesLineBreaksAndAddsNothing) {
    TempDir dir;
    struct Case {
        std::string_view stored;
        std::string_view read;
    };
    for (const Case& c : {Case{"", ""}, Case{"a\r\nb\r\n", "a\nb\n"},
                          Case{"a\rb\nc\r\nd", "a\nb\nc\nd"}, Case{"no end", "no end"}}) {
        writeFile(dir / "f", c.stored);
        const ReadResult result = readText(dir / "f");
        EXPECT_TRUE(result.ok());
        EXPECT_EQ(result.text, c.read);
    }
}

TEST(ReadText, ReportsWhyAFileCannotBeRead) {
    TempDir dir;
    std::filesystem::create_directory(dir / "folder");
    const auto fifo = dir / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    struct Case {
        std::filesystem::path path;
        std::string reason;
    };
    for (const Case& c :
         {Case{dir / "missing", "No such file or directory"},
          Case{dir / "folder", "Is a directory"}, Case{fifo, "Not a regular file"}}) {
        const ReadResult result = readText(c.path);
        ASSERT_FALSE(result.ok());
        EXPECT_EQ(result.text, "");
        EXPECT_EQ(result.error->message(), c.path.string() + ": " + c.reason);
    }
}

TEST(WriteText, CreatesReplacesAndLeavesNoTemporaryFile) {
    TempDir dir;
    EXPECT_FALSE(writeText(dir / "empty.txt", ""));
    EXPECT_TRUE(std::filesystem::exists(dir / "empty.txt"));
    EXPECT_EQ(readFile(dir / "empty.txt"), "");

    writeFile(dir / "old.txt", "a much longer old content that must vanish completely");
    EXPECT_FALSE(writeText(dir / "old.txt", "new"));
    EXPECT_EQ(readFile(dir / "old.txt"), "new");

    // Small pieces are gathered, one larger than the gathering buffer goes out on its own.
    const std::string large(200000, 'L');
    const std::vector<std::string_view> pieces = {"Section: ", "A", "\n", large, "\n\n"};
    EXPECT_FALSE(writeText(dir / "pieces.txt", [&](const PieceWriter& write) {
        for (const std::string_view piece : pieces) {
            write(piece);
        }
    }));
    EXPECT_EQ(readFile(dir / "pieces.txt"), "Section: A\n" + large + "\n\n");

    EXPECT_EQ(entries(dir.path()),
              (std::vector<std::string>{"empty.txt", "old.txt", "pieces.txt"}));
}

TEST(WriteText, WritesThroughALinkToItsTarget) {
    TempDir dir;
    writeFile(dir / "target.txt", "old");
    std::filesystem::create_symlink(dir / "target.txt", dir / "link.txt");
    EXPECT_FALSE(writeText(dir / "link.txt", "new"));
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.txt"));
    EXPECT_EQ(readFile(dir / "target.txt"), "new");
}

TEST(WriteText, FailuresAreReportedAndLeaveNothingBehind) {
    TempDir dir;
    writeFile(dir / "plain-file", "I am a file");
    std::filesystem::create_directory(dir / "folder");
    struct Case {
        std::filesystem::path path;
        std::string reason;
    };
    for (const Case& c :
         {Case{dir / "plain-file" / "out.txt", "Not a directory"},
          Case{dir / "no-such-folder" / "out.txt", "No such file or directory"},
          Case{dir / "folder", "Is a directory"}, Case{"/dev/full", "No space left on device"}}) {
        const auto error = writeText(c.path, "some text");
        ASSERT_TRUE(error) << c.path;
        EXPECT_EQ(error->message(), c.path.string() + ": " + c.reason);
    }
    EXPECT_EQ(readFile(dir / "plain-file"), "I am a file");
    EXPECT_EQ(entries(dir.path()), (std::vector<std::string>{"folder", "plain-file"}));
    EXPECT_TRUE(std::filesystem::is_empty(dir / "folder"));
}

// A write that fails part-way (here: the file-size limit) must not touch the existing file.
TEST(WriteText, AWriteThatFailsMidwayKeepsTheExistingFile) {
    TempDir dir;
    writeFile(dir / "precious.txt", "the only copy of what was saved before");
    struct rlimit saved {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 1000;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const auto error = writeText(dir / "precious.txt", std::string(5000, 'x'));
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    ASSERT_TRUE(error);
    EXPECT_EQ(error->reason, "File too large");
    EXPECT_EQ(readFile(dir / "precious.txt"), "the only copy of what was saved before");
    EXPECT_EQ(entries(dir.path()), std::vector<std::string>{"precious.txt"});
}

}  // namespace
}  // namespace kestLibrary
