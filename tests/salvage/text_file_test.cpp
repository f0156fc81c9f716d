#include "salvage/text_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

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

// As cp and the shells do: the link stays, what it points to is written, made if missing.
TEST(WriteText, WritesThroughLinksToTheirTargets) {
    struct Case {
        const char* what;
        std::filesystem::path linkTo;  // relative to the folder
        std::string failure;           // empty when the write succeeds
    };
    for (const Case& c : {
             Case{"existing target", "target.txt", ""},
             Case{"dangling link", "missing.txt", ""},
             Case{"link to a dangling link", "dangling-link", ""},
             Case{"into a missing folder", "no-such-folder/target.txt",
                  "the file it links to, DIR/no-such-folder/target.txt, cannot be written: "
                  "No such file or directory"},
         }) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        writeFile(dir / "target.txt", "old");
        std::filesystem::create_symlink("missing.txt", dir / "dangling-link");
        std::filesystem::create_symlink(c.linkTo, dir / "link.txt");
        const auto error = writeText(dir / "link.txt", "new");
        EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.txt"));
        if (c.failure.empty()) {
            EXPECT_FALSE(error);
            EXPECT_EQ(readFile(dir / "link.txt"), "new");
        } else {
            ASSERT_TRUE(error);
            std::string reason = c.failure;
            reason.replace(reason.find("DIR"), 3, dir.path().string());
            EXPECT_EQ(error->message(), (dir / "link.txt").string() + ": " + reason);
            EXPECT_EQ(entries(dir.path()),
                      (std::vector<std::string>{"dangling-link", "link.txt", "target.txt"}));
        }
    }
}

// A path that names an open descriptor (the shell's ">>" behind /dev/stdout) is written
// through that descriptor, where it stands and in its mode; the file it has open is never
// replaced.
TEST(WriteText, ADescriptorsPathIsWrittenThroughTheDescriptor) {
    struct Case {
        const char* form;  // N is the descriptor
        int openFlags;
        std::string expected;
    };
    for (const Case& c : {
             Case{"/dev/fd/N", O_WRONLY | O_APPEND, "header\nnew"},
             Case{"/proc/self/fd/N", O_WRONLY | O_APPEND, "header\nnew"},
             Case{"link to /dev/fd/N", O_WRONLY | O_APPEND, "header\nnew"},
             Case{"/dev/fd/N", O_WRONLY | O_TRUNC, "new"},
         }) {
        SCOPED_TRACE(c.form);
        TempDir dir;
        writeFile(dir / "app.txt", "header\n");
        const int fd = ::open((dir / "app.txt").c_str(), c.openFlags);
        ASSERT_GE(fd, 0);
        std::string path = c.form;
        path.replace(path.find('N'), 1, std::to_string(fd));
        if (path.starts_with("link to ")) {
            std::filesystem::create_symlink(path.substr(8), dir / "link");
            path = (dir / "link").string();
        }
        struct stat before {};
        ASSERT_EQ(::stat((dir / "app.txt").c_str(), &before), 0);
        EXPECT_FALSE(writeText(path, "new"));
        ::close(fd);
        struct stat after {};
        ASSERT_EQ(::stat((dir / "app.txt").c_str(), &after), 0);
        EXPECT_EQ(after.st_ino, before.st_ino);
        EXPECT_EQ(readFile(dir / "app.txt"), c.expected);
    }
}

// Saving over a private file must not make the text readable by everyone.
TEST(WriteText, TheNewFileTakesTheModeAndOwnerOfTheOneItReplaces) {
    const mode_t umask = ::umask(022);
    TempDir dir;
    EXPECT_FALSE(writeText(dir / "fresh.txt", "new"));
    struct stat info {};
    ASSERT_EQ(::stat((dir / "fresh.txt").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0644u);  // 0666 less the umask
    ::umask(umask);

    // Root may give a file away: there, the owner and group are kept too.
    const bool root = ::geteuid() == 0;
    for (const mode_t mode : {0600u, 0640u, 0444u, 0755u}) {
        SCOPED_TRACE(mode);
        writeFile(dir / "saved.txt", "old");
        ASSERT_EQ(::chmod((dir / "saved.txt").c_str(), mode), 0);
        if (root) {
            ASSERT_EQ(::chown((dir / "saved.txt").c_str(), 4321, 4322), 0);
        }
        EXPECT_FALSE(writeText(dir / "saved.txt", "new"));
        ASSERT_EQ(::stat((dir / "saved.txt").c_str(), &info), 0);
        EXPECT_EQ(readFile(dir / "saved.txt"), "new");
        EXPECT_EQ(info.st_mode & 07777, mode);
        if (root) {
            EXPECT_EQ(info.st_uid, 4321u);
            EXPECT_EQ(info.st_gid, 4322u);
        }
    }
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
