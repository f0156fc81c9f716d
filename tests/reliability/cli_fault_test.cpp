// qlvodadov-cli as a user runs it, against documents that are not what they seem, writes that
// fail part-way and documents larger than the memory it may use.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "fault_support.h"

namespace salvage {
namespace {

namespace fs = std::filesystem;
using testing::readFile;
using testing::TempDir;
using testing::writeFile;

const std::string kDocument = "<?xml version=\"1.0\"?>\n<Section name=\"" +
                              testing::encodeBase64("Letter") + "\">" +
                              testing::encodeBase64(std::string(5000, 'x')) + "</Section>\n";

struct Limits {
    std::optional<rlim_t> addressSpace;
    std::optional<rlim_t> fileSize;
    fs::path standardInput = "/dev/null";
    bool keepFileSizeSignal = false;  // leave SIGXFSZ as a shell leaves it: it ends the program
};

struct Outcome {
    bool exited = false;
    int status = -1;  // exit status, or the signal that ended the program
    std::string out;
    std::string err;
};

// Runs the program with `arguments`, standard output and error going to files in `dir`.
Outcome runProgram(const TempDir& dir, const std::vector<std::string>& arguments,
                   const Limits& limits = {}) {
    const fs::path outPath = dir / "stdout";
    const fs::path errPath = dir / "stderr";
    const pid_t child = ::fork();
    if (child == 0) {
        const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int in = ::open(limits.standardInput.c_str(), O_RDONLY);
        if (out < 0 || err < 0 || in < 0 || ::dup2(in, 0) < 0 || ::dup2(out, 1) < 0 ||
            ::dup2(err, 2) < 0) {
            ::_exit(126);
        }
        struct rlimit limit {};
        if (limits.addressSpace) {
            limit.rlim_cur = limit.rlim_max = *limits.addressSpace;
            ::setrlimit(RLIMIT_AS, &limit);
        }
        if (limits.fileSize) {
            // Ignored unless asked otherwise, so that a write past the limit fails with EFBIG
            // instead of ending the program: the program must then say so.
            std::signal(SIGXFSZ, limits.keepFileSizeSignal ? SIG_DFL : SIG_IGN);
            limit.rlim_cur = limit.rlim_max = *limits.fileSize;
            ::setrlimit(RLIMIT_FSIZE, &limit);
        }
        std::vector<char*> argv;
        std::string program = QLV_CLI_PROGRAM;
        argv.push_back(program.data());
        std::vector<std::string> copies = arguments;
        for (std::string& argument : copies) {
            argv.push_back(argument.data());
        }
        argv.push_back(nullptr);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    Outcome outcome;
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child) {
        return outcome;
    }
    outcome.exited = WIFEXITED(status);
    outcome.status = outcome.exited ? WEXITSTATUS(status) : WTERMSIG(status);
    outcome.out = readFile(outPath);
    outcome.err = readFile(errPath);
    return outcome;
}

std::vector<std::string> entries(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

TEST(CliFaults, WhatIsNoReadableFileIsRefusedAtOnceAndTheRunFails) {
    TempDir dir;
    testing::UnixSocket socket(dir / "socket.qlx");
    ASSERT_TRUE(socket.bound());
    ASSERT_EQ(::mkfifo((dir / "fifo.qlx").c_str(), 0600), 0);  // would hang the run if read
    fs::create_symlink(dir / "gone.qlx", dir / "dangling.qlx");
    fs::create_directory(dir / "folder.qlx");
    struct Case {
        fs::path path;
        std::string reason;
    };
    const std::vector<Case> cases = {
        {dir / "socket.qlx", "No such device or address"},
        {dir / "fifo.qlx", "Not a regular file"},
        {dir / "dangling.qlx", "No such file or directory"},
        {dir / "folder.qlx", "Is a directory"},
        {"/dev/zero", "Not a regular file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        const Outcome outcome = runProgram(dir, {c.path.string()});
        ASSERT_TRUE(outcome.exited) << "ended by signal " << outcome.status;
        EXPECT_EQ(outcome.status, 1);
        EXPECT_EQ(outcome.out, "");
        EXPECT_EQ(outcome.err, "qlvodadov-cli: " + c.path.string() + ": " + c.reason + "\n");
    }
}

// The export goes to an existing file; the write fails somewhere. The old file stays as it was,
// nothing else is left in its folder, and the failure is reported.
TEST(CliFaults, AWriteThatFailsLeavesTheExistingFileAndIsReported) {
    TempDir dir;
    writeFile(dir / "letter.qlx", kDocument);
    writeFile(dir / "blocker", "a file where a folder should be");
    const std::string previous = "the export saved last week";
    struct Case {
        const char* what;
        fs::path destination;
        Limits limits;
        std::string reason;
    };
    const std::vector<Case> cases = {
        {"file-size limit reached part-way",
         dir / "saved.txt",
         {.addressSpace = {}, .fileSize = 1000, .standardInput = "/dev/null"},
         "File too large"},
        {"device full", "/dev/full", {}, "No space left on device"},
        {"parent is a file", dir / "blocker" / "saved.txt", {}, "Not a directory"},
        {"missing folder", dir / "missing" / "saved.txt", {}, "No such file or directory"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        writeFile(dir / "saved.txt", previous);
        const Outcome outcome = runProgram(
            dir, {(dir / "letter.qlx").string(), "-o", c.destination.string()}, c.limits);
        ASSERT_TRUE(outcome.exited) << "ended by signal " << outcome.status;
        EXPECT_EQ(outcome.status, 1);
        EXPECT_EQ(outcome.err, "qlvodadov-cli: " + (dir / "letter.qlx").string() +
                                   ": not written to " + c.destination.string() + ": " + c.reason +
                                   "\n");
        EXPECT_EQ(readFile(dir / "saved.txt"), previous);
        EXPECT_EQ(readFile(dir / "letter.qlx"), kDocument);
        EXPECT_EQ(entries(dir.path()), (std::vector<std::string>{"blocker", "letter.qlx",
                                                                 "saved.txt", "stderr", "stdout"}));
    }
}

// A shell's "ulimit -f" leaves SIGXFSZ at its default, which would end a program that writes
// past the limit with no message and a partly written temporary file beside the destination.
TEST(CliFaults, AFileSizeLimitSetByTheShellIsReportedAndLeavesNoTemporaryFile) {
    TempDir dir;
    writeFile(dir / "letter.qlx", kDocument);
    writeFile(dir / "saved.txt", "the export saved last week");
    const Outcome outcome =
        runProgram(dir, {(dir / "letter.qlx").string(), "-o", (dir / "saved.txt").string()},
                   {.addressSpace = {},
                    .fileSize = 1000,
                    .standardInput = "/dev/null",
                    .keepFileSizeSignal = true});
    ASSERT_TRUE(outcome.exited) << "ended by signal " << outcome.status;
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.err, "qlvodadov-cli: " + (dir / "letter.qlx").string() + ": not written to " +
                               (dir / "saved.txt").string() + ": File too large\n");
    EXPECT_EQ(readFile(dir / "saved.txt"), "the export saved last week");
    EXPECT_EQ(entries(dir.path()),
              (std::vector<std::string>{"letter.qlx", "saved.txt", "stderr", "stdout"}));
}

TEST(CliFaults, ADocumentLargerThanTheMemoryItMayUseIsRefusedWithAMessage) {
    if (!testing::kAddressSpaceLimitWorks) {
        GTEST_SKIP() << "an address-space limit cannot be tried under AddressSanitizer";
    }
    TempDir dir;
    const fs::path path = dir / "huge.qlx";
    testing::writeLargeDocument(path, std::size_t{128} << 20);  // 96 MiB of text
    // Named, its size is known before reading; on standard input it is not, and the text
    // grows until memory runs out.
    struct Case {
        std::string argument;
        Limits limits;
        std::string name;
    };
    const rlim_t limit = rlim_t{64} << 20;
    const std::vector<Case> cases = {
        {path.string(),
         {.addressSpace = limit, .fileSize = {}, .standardInput = "/dev/null"},
         path.string()},
        {"-", {.addressSpace = limit, .fileSize = {}, .standardInput = path}, "standard input"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.argument);
        const Outcome outcome = runProgram(dir, {c.argument}, c.limits);
        ASSERT_TRUE(outcome.exited) << "ended by signal " << outcome.status << "\n" << outcome.err;
        EXPECT_EQ(outcome.status, 1);
        EXPECT_EQ(outcome.out, "");
        EXPECT_EQ(outcome.err, "qlvodadov-cli: " + c.name +
                                   ": Not enough memory to hold what this document holds\n");
    }
}

}  // namespace
}  // namespace salvage
