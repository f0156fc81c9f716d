// Every writer against every failure a POSIX call can report: an interrupted call or a short
// write must cost nothing, any other failure must be reported with the file and the reason
// and leave the old content and no temporary file behind.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "posix_faults.h"
#include "salvage/descriptor_writer.h"
#include "salvage/text_file.h"
#include "test_support.h"

namespace salvage::testing {
namespace {

using Call = PosixFaults::Call;
using Fault = PosixFaults::Fault;

enum class Writer { ReplaceFile, NewFile, OwnDescriptorPath, Device, DescriptorWriter };

struct WriterCase {
    Writer writer;
    const char* name;
    std::vector<Call> calls;  // the calls this writer makes
};

const std::vector<WriterCase> kWriters = {
    {Writer::ReplaceFile,
     "replace a file",
     {Call::Open, Call::Fchmod, Call::Write, Call::Fsync, Call::Close, Call::Rename}},
    {Writer::NewFile,
     "new file",
     {Call::Open, Call::Write, Call::Fsync, Call::Close, Call::Rename}},
    {Writer::OwnDescriptorPath, "/dev/fd/N", {Call::Write}},
    {Writer::Device, "device", {Call::Open, Call::Write, Call::Close}},
    {Writer::DescriptorWriter, "DescriptorWriter", {Call::Write}},
};

struct FailureCase {
    const char* name;
    Fault fault;
    bool fails;
};

const std::vector<FailureCase> kFailures = {
    {"interrupted open", {Call::Open, EINTR, 1}, false},
    {"interrupted writes", {Call::Write, EINTR, 2}, false},
    {"interrupted fsync", {Call::Fsync, EINTR, 1}, false},
    {"interrupted fchmod", {Call::Fchmod, EINTR, 1}, false},
    {"interrupted rename", {Call::Rename, EINTR, 1}, false},
    {"interrupted close", {Call::Close, EINTR, 1}, false},
    {"short writes", {.shortWrites = true}, false},
    {"disk full at write", {Call::Write, ENOSPC}, true},
    {"I/O error at write", {Call::Write, EIO}, true},
    {"disk full at fsync", {Call::Fsync, ENOSPC}, true},
    {"I/O error at fsync", {Call::Fsync, EIO}, true},
    {"failing rename", {Call::Rename, EXDEV}, true},
    {"failing close", {Call::Close, EIO}, true},
    {"failing fchmod", {Call::Fchmod, EPERM}, true},
    {"failing open", {Call::Open, EACCES}, true},
};

constexpr std::string_view kOld = "the only copy of what was saved before";
constexpr std::string_view kHeader = "header\n";

std::set<std::string> entries(const std::filesystem::path& dir) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

struct Outcome {
    std::optional<std::string> message;  // the error, as the user would read it
    std::string path;                    // the file the message must name
};

Outcome write(Writer writer, const TempDir& dir, const std::string& text, int appendFd) {
    const auto viaWriteText = [&](const std::filesystem::path& path) {
        const auto error = kestLibrary::writeText(path, text);
        return Outcome{error ? std::optional(error->message()) : std::nullopt, path.string()};
    };
    switch (writer) {
        case Writer::ReplaceFile:
            return viaWriteText(dir / "old.txt");
        case Writer::NewFile:
            return viaWriteText(dir / "new.txt");
        case Writer::OwnDescriptorPath:
            return viaWriteText("/dev/fd/" + std::to_string(appendFd));
        case Writer::Device:
            return viaWriteText("/dev/null");
        case Writer::DescriptorWriter: {
            kestLibrary::DescriptorWriter out(appendFd);
            out.write(text);
            out.flush();
            const std::string path = (dir / "log.txt").string();
            return {out.error() ? std::optional(path + ": " + *out.error()) : std::nullopt, path};
        }
    }
    return {};
}

TEST(WriteFailures, AreReportedAndLoseNothing) {
    // Larger than the writers' gathering buffer, so that it goes out in more than one write.
    const std::string text = "Section: A\n" + std::string(70000, 'x') + "\n\n";
    for (const WriterCase& w : kWriters) {
        for (const FailureCase& f : kFailures) {
            SCOPED_TRACE(std::string(w.name) + ", " + f.name);
            TempDir dir;
            writeFile(dir / "old.txt", kOld);
            ASSERT_EQ(::chmod((dir / "old.txt").c_str(), 0600), 0);
            writeFile(dir / "log.txt", kHeader);
            const int appendFd = ::open((dir / "log.txt").c_str(), O_WRONLY | O_APPEND);
            ASSERT_GE(appendFd, 0);

            Outcome outcome;
            {
                PosixFaults faults(f.fault);
                outcome = write(w.writer, dir, text, appendFd);
            }
            ::close(appendFd);

            const bool fails = f.fails && std::ranges::find(w.calls, f.fault.call) != w.calls.end();
            if (fails) {
                ASSERT_TRUE(outcome.message);
                EXPECT_EQ(*outcome.message, outcome.path + ": " + std::strerror(f.fault.error));
            } else {
                EXPECT_EQ(outcome.message, std::nullopt);
            }
            const bool replaced = w.writer == Writer::ReplaceFile && !fails;
            EXPECT_EQ(readFile(dir / "old.txt"), replaced ? text : std::string(kOld));
            struct stat info {};
            ASSERT_EQ(::stat((dir / "old.txt").c_str(), &info), 0);
            EXPECT_EQ(info.st_mode & 07777, 0600u);
            const bool appends =
                w.writer == Writer::OwnDescriptorPath || w.writer == Writer::DescriptorWriter;
            EXPECT_EQ(readFile(dir / "log.txt"),
                      std::string(kHeader) + (appends && !fails ? text : ""));
            std::set<std::string> expected = {"old.txt", "log.txt"};
            if (w.writer == Writer::NewFile && !fails) {
                expected.insert("new.txt");
                EXPECT_EQ(readFile(dir / "new.txt"), text);
            }
            EXPECT_EQ(entries(dir.path()), expected);  // no temporary file left
        }
    }
}

// Files written to be flushed later skip their own fsync; the one flush of their file system
// reports what failed, naming the folder, and leaves the files written.
TEST(WriteFailures, AFlushLeftForLaterIsReportedWhenItComes) {
    struct Case {
        const char* name;
        Fault fault;
        const char* folder;  // flushed, within the test's folder
        std::optional<std::string> reason;
    };
    const std::vector<Case> cases{
        {"fsync is not called", {Call::Fsync, EIO}, "", std::nullopt},
        {"interrupted syncfs", {Call::Syncfs, EINTR, 1}, "", std::nullopt},
        {"failing syncfs",
         {Call::Syncfs, EIO},
         "",
         "not all of it reached the disk: Input/output error"},
        {"missing folder", {}, "gone", "No such file or directory"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::filesystem::path folder = dir / c.folder;
        std::optional<kestLibrary::IoError> written;
        std::optional<kestLibrary::IoError> flushed;
        {
            PosixFaults faults(c.fault);
            written = kestLibrary::writeText(dir / "new.txt", "text", kestLibrary::Flush::Later);
            flushed = kestLibrary::flushFileSystem(folder);
        }
        EXPECT_EQ(written, std::nullopt);
        if (c.reason) {
            ASSERT_TRUE(flushed);
            EXPECT_EQ(flushed->message(), folder.string() + ": " + *c.reason);
        } else {
            EXPECT_EQ(flushed, std::nullopt);
        }
        EXPECT_EQ(readFile(dir / "new.txt"), "text");
        EXPECT_EQ(entries(dir.path()), std::set<std::string>{"new.txt"});
    }
}

}  // namespace
}  // namespace salvage::testing
