// The salvage core against files that are not what they seem, that change while they are read,
// and that need more memory than the program may use.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "fault_support.h"
#include "salvage/reader.h"
#include "salvage/text_file.h"

namespace salvage {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;
using testing::writeFile;

using testing::sectionLine;

// Paths that name no regular file the program may read. Neither the reader nor readText
// may read from any of them (a socket, FIFO or device could block or never end).
TEST(DocumentFaults, WhatIsNoReadableFileIsRefusedAtOnceWithItsReason) {
    TempDir dir;
    testing::UnixSocket socket(dir / "socket.qlx");
    ASSERT_TRUE(socket.bound());
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    fs::create_symlink(dir / "gone.qlx", dir / "dangling.qlx");
    fs::create_symlink(dir / "fifo", dir / "to-fifo.qlx");
    fs::create_symlink("/dev/zero", dir / "to-zero.qlx");
    fs::create_directory(dir / "folder");
    fs::create_symlink(dir / "folder", dir / "to-folder.qlx");

    // A file that was there when its folder was listed and is gone when it is read.
    writeFile(dir / "listed.qlx", "<?xml ?>\n" + sectionLine("A", "a"));
    fs::path listed;
    for (const auto& entry : fs::directory_iterator(dir.path())) {
        if (entry.path().filename() == "listed.qlx") {
            listed = entry.path();
        }
    }
    ASSERT_FALSE(listed.empty());
    fs::remove(listed);

    struct Case {
        fs::path path;
        std::string reason;
    };
    const std::vector<Case> cases = {
        {dir / "socket.qlx", "No such device or address"},
        {dir / "dangling.qlx", "No such file or directory"},
        {dir / "to-fifo.qlx", "Not a regular file"},
        {dir / "to-zero.qlx", "Not a regular file"},
        {dir / "to-folder.qlx", "Is a directory"},
        {"/dev/null", "Not a regular file"},
        {"/dev/urandom", "Not a regular file"},
        {listed, "No such file or directory"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        const ParseResult parsed = parseFile(c.path);
        EXPECT_EQ(parsed.status, ReadStatus::Unreadable);
        EXPECT_EQ(parsed.reason, c.reason);
        EXPECT_TRUE(parsed.document.contents.empty());

        const kestLibrary::ReadResult read = kestLibrary::readText(c.path);
        ASSERT_FALSE(read.ok());
        EXPECT_EQ(read.text, "");
        EXPECT_EQ(read.error->reason, c.reason);
    }
}

// Another program appends to the document, cuts it short or scribbles over it while it is
// read. Whatever the reader saw is kept, and no section gains text it never had.
TEST(DocumentFaults, ADocumentThatChangesWhileItIsReadGivesWhatWasRead) {
    TempDir dir;
    const fs::path path = dir / "changing.qlx";
    std::map<std::string, std::string> written;
    std::string document = "<?xml version=\"1.0\"?>\n";
    for (int i = 0; i < 4000; ++i) {
        char name[8];
        std::snprintf(name, sizeof name, "S%04d", i);
        const std::string text(1000 + static_cast<std::size_t>(i % 7) * 300,
                               static_cast<char>('a' + i % 26));
        written[name] = text;
        document += sectionLine(name, text);
    }
    const std::string appended = sectionLine("Appended", "added while the document was read");

    struct Change {
        const char* what;
        std::function<void()> apply;
    };
    const std::vector<Change> changes = {
        {"cut to nothing", [&] { fs::resize_file(path, 0); }},
        {"cut in half", [&] { fs::resize_file(path, document.size() / 2); }},
        {"cut mid-line", [&] { fs::resize_file(path, document.size() / 3 + 17); }},
        {"grown",
         [&] {
             std::ofstream out(path, std::ios::binary | std::ios::app);
             out << appended;
         }},
        {"cut and grown again with a hole",
         [&] {
             fs::resize_file(path, document.size() / 4);
             fs::resize_file(path, document.size());
         }},
    };
    for (const Change& change : changes) {
        SCOPED_TRACE(change.what);
        for (int round = 0; round < 5; ++round) {
            writeFile(path, document);
            std::atomic<bool> go{false};
            std::thread other([&] {
                while (!go.load()) {
                    std::this_thread::yield();
                }
                change.apply();
            });
            go.store(true);
            const ParseResult result = parseFile(path);
            other.join();

            ASSERT_NE(result.status, ReadStatus::Unreadable) << result.reason;
            if (!result.accepted()) {
                continue;  // cut before the header was read
            }
            for (const Section section : result.document.contents) {
                if (section.name == "Appended") {
                    EXPECT_EQ(section.text, "added while the document was read");
                    continue;
                }
                const auto known = written.find(std::string(section.name));
                if (known == written.end()) {
                    continue;  // a name cut short, or read from a hole
                }
                EXPECT_EQ(known->second.substr(0, section.text.size()), section.text)
                    << section.name;
            }
        }
    }
}

// Runs `read` in a child process whose address space may grow by at most `headroom` bytes and
// returns what it said: the reason of an unreadable result, or "accepted: N sections" or
// "refused". Empty when the child died.
std::string readUnderMemoryLimit(std::size_t headroom, const std::function<ParseResult()>& read) {
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) {
        return {};
    }
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipeFds[0]);
        struct rlimit limit {};
        limit.rlim_cur = limit.rlim_max = testing::addressSpaceInUse() + headroom;
        if (::setrlimit(RLIMIT_AS, &limit) != 0) {
            ::_exit(3);
        }
        const ParseResult result = read();
        const std::string said =
            result.status == ReadStatus::Unreadable
                ? result.reason
                : (result.accepted()
                       ? "accepted: " + std::to_string(result.document.contents.size()) +
                             " sections"
                       : std::string("refused"));
        [[maybe_unused]] const auto ignored = ::write(pipeFds[1], said.data(), said.size());
        ::_exit(0);
    }
    ::close(pipeFds[1]);
    std::string said;
    char buffer[256];
    for (ssize_t n; (n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;) {
        said.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(pipeFds[0]);
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0) {
        return {};
    }
    return said;
}

// Under a limit on the address space, a document whose text needs more memory than that is
// refused with a message, whether its size is known before reading (a file) or not (a
// stream), and the reading process lives on.
TEST(DocumentFaults, ADocumentLargerThanTheMemoryItMayUseIsRefusedWithAMessage) {
    if (!testing::kAddressSpaceLimitWorks) {
        GTEST_SKIP() << "an address-space limit cannot be tried under AddressSanitizer";
    }
    TempDir dir;
    const fs::path path = dir / "huge.qlx";
    testing::writeLargeDocument(path, std::size_t{128} << 20);  // 96 MiB of text
    const std::size_t headroom = std::size_t{64} << 20;
    const std::string message = "Not enough memory to hold what this document holds";
    EXPECT_EQ(readUnderMemoryLimit(headroom, [&] { return parseFile(path); }), message);
    EXPECT_EQ(readUnderMemoryLimit(headroom,
                                   [&] {
                                       const int fd = ::open(path.c_str(), O_RDONLY);
                                       return parseDescriptor(fd, "huge.qlx");
                                   }),
              message);
}

// Four million lines that all store a one-byte text under the same name: what the document
// holds is one tiny section, and its report must not cost a record per replaced text.
TEST(DocumentFaults, ManyReplacedSectionsDoNotCostTheDocument) {
    if (!testing::kAddressSpaceLimitWorks) {
        GTEST_SKIP() << "an address-space limit cannot be tried under AddressSanitizer";
    }
    TempDir dir;
    const fs::path path = dir / "repeats.qlx";
    {
        std::ofstream out(path, std::ios::binary);
        out << "<?xml ?>\n";
        std::string block;
        for (int i = 0; i < 10000; ++i) {
            block += "<Section name=\"\">QQ\n";  // "A" under the empty name
        }
        for (int i = 0; i < 400; ++i) {
            out << block;
        }
    }
    EXPECT_EQ(readUnderMemoryLimit(std::size_t{64} << 20, [&] { return parseFile(path); }),
              "accepted: 1 sections");
}

// Every section damaged, not UTF-8 and under a long name (a name that lost its closing quote runs
// to the end of its line): the report tells of each without holding its name a second and a
// third time.
TEST(DocumentFaults, AReportOfManyDamagedSectionsDoesNotCostTheirNamesAgain) {
    if (!testing::kAddressSpaceLimitWorks) {
        GTEST_SKIP() << "an address-space limit cannot be tried under AddressSanitizer";
    }
    TempDir dir;
    const fs::path path = dir / "damaged.qlx";
    {
        std::ofstream out(path, std::ios::binary);
        out << "<?xml ?>\n";
        const std::string tail(1200, 'N');  // 900 bytes more of each name
        for (int i = 0; i < 30000; ++i) {
            out << "<Section name=\"" << std::to_string(100000 + i) << tail
                << "\">/w*=</Section>\n";
        }
    }
    EXPECT_EQ(readUnderMemoryLimit(std::size_t{64} << 20, [&] { return parseFile(path); }),
              "accepted: 30000 sections");
}

// A recovered document whose section line runs on into a long stretch of zero bytes (a common
// kind of damage: the disk gave back a hole). The zeros are no Base64 and decode to nothing, so
// the document holds one short section; room for it must not be asked for in advance by the
// size of the whole file, or the document is refused as too large for memory.
TEST(DocumentFaults, ALongRunOfZerosInASectionDoesNotCostTheDocument) {
    if (!testing::kAddressSpaceLimitWorks) {
        GTEST_SKIP() << "an address-space limit cannot be tried under AddressSanitizer";
    }
    TempDir dir;
    const fs::path path = dir / "recovered.qlx";
    writeFile(path, "<?xml ?>\n<Section name=\"QQ==\">QUJD");
    fs::resize_file(path, std::uintmax_t{256} << 20);  // a hole: zeros that take no disk space
    {
        std::ofstream out(path, std::ios::binary | std::ios::app);
        out << "</Section>\n" << sectionLine("B", "after the hole");
    }
    EXPECT_EQ(readUnderMemoryLimit(std::size_t{64} << 20, [&] { return parseFile(path); }),
              "accepted: 2 sections");
}

}  // namespace
}  // namespace salvage
