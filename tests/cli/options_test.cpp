#include "options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "qlv/version.h"

namespace qlv::cli {
namespace {

CommandLine parse(std::vector<const char*> arguments) {
    arguments.insert(arguments.begin(), "qlvodadov-cli");
    return parseCommandLine(static_cast<int>(arguments.size()), arguments.data());
}

// Help and version go to standard output; every usage error is one exact message, then the
// hint, on standard error.
TEST(CommandLineTest, HelpVersionAndUsageErrorsEndTheRun) {
    struct Case {
        std::vector<const char*> arguments;
        int exitStatus;
        std::string outputContains;  // empty: nothing on standard output
        std::string error;           // the whole of standard error, hint left out
    };
    const std::string version = std::string("qlvodadov-cli ") + QLV_VERSION + "\n";
    std::vector<Case> cases = {
        {{"--help"}, 0, "Usage: qlvodadov-cli [OPTIONS] FILE...", ""},
        {{"-h", "--list"}, 0, "--output-dir", ""},
        {{"-V", "doc.qlx"}, 0, version, ""},
        {{}, 2, "", "FILE is required"},
        {{"-l", "-s", "Intro", "doc.qlx"}, 2, "", "--list excludes --section"},
        {{"-o", "out.txt", "-d", "dir", "doc.qlx"}, 2, "", "--output excludes --output-dir"},
        {{"-o", "out.txt", "a.qlx", "b.qlx"},
         2,
         "",
         "--output: takes a single FILE; use --output-dir for several"},
        {{"--bogus", "doc.qlx"}, 2, "", "The following argument was not expected: --bogus"},
        // An unknown option is named even when it leaves no FILE.
        {{"-x"}, 2, "", "The following argument was not expected: -x"},
        {{"--bogus", "-l"}, 2, "", "The following argument was not expected: --bogus"},
        {{"doc.qlx", "-s"}, 2, "", "--section: 1 required NAME missing"},
        {{"--threads", "0", "doc.qlx"}, 2, "", "--threads: takes a number of threads, 1 or more"},
        {{"--threads", "two", "doc.qlx"}, 2, "", "--threads: takes a number of threads, 1 or more"},
        {{"--threads", "", "doc.qlx"}, 2, "", "--threads: takes a number of threads, 1 or more"},
        {{"--threads=2x", "doc.qlx"}, 2, "", "--threads: takes a number of threads, 1 or more"},
        {{"--threads", "-1", "doc.qlx"}, 2, "", "--threads: takes a number of threads, 1 or more"},
        {{"--carve", "disk.img"}, 2, "", "--carve: needs --output-dir DIR for what it finds"},
        {{"--carve", "disk.img", "-d", "dir", "doc.qlx"}, 2, "", "--carve: takes no FILE"},
        {{"--carve", "disk.img", "-d", "dir", "-l"}, 2, "", "--carve excludes --list"},
        {{"--range", "0:10", "doc.qlx"}, 2, "", "--range: goes only with --carve"},
    };
    const std::string badRange = "--range: takes START:END, byte offsets with START before END";
    for (const char* range : {"10", "10:10", "20:10", "x:", ":0x", "1:2:3", "-1:5"}) {
        cases.push_back({{"--carve", "disk.img", "-d", "dir", "--range", range}, 2, "", badRange});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.arguments));
        const CommandLine result = parse(c.arguments);
        EXPECT_FALSE(result.options.has_value());
        EXPECT_EQ(result.exitStatus, c.exitStatus);
        if (c.outputContains.empty()) {
            EXPECT_EQ(result.standardOutput, "");
        } else {
            EXPECT_NE(result.standardOutput.find(c.outputContains), std::string::npos)
                << result.standardOutput;
        }
        EXPECT_EQ(result.standardError,
                  c.error.empty()
                      ? std::string()
                      : "qlvodadov-cli: " + c.error + "\nRun with --help for more information.\n");
    }
}

// The help speaks in plain words: none of the notes CLI11 would add by itself, which would
// also end up in the manual page.
TEST(CommandLineTest, HelpHoldsNoNotesOfTheParsersOwn) {
    const std::string help = parse({"--help"}).standardOutput;
    for (const char* note : {"Excludes", "REQUIRED", "Positionals", "Needs"}) {
        EXPECT_EQ(help.find(note), std::string::npos) << note;
    }
}

TEST(CommandLineTest, VersionIsExactlyTheProgramNameAndVersion) {
    EXPECT_EQ(parse({"--version"}).standardOutput,
              std::string("qlvodadov-cli ") + QLV_VERSION + "\n");
}

struct AcceptedCase {
    std::vector<const char*> arguments;
    Options expected;
};

TEST(CommandLineTest, OptionsAreTakenAsGiven) {
    const std::vector<AcceptedCase> cases = {
        {{"a.qlx", "-", "b.qll"}, {.files = {"a.qlx", "-", "b.qll"}}},
        {{"--list", "a.qlx"}, {.files = {"a.qlx"}, .list = true}},
        // The empty name is a section name like any other.
        {{"-s", "", "a.qlx"}, {.files = {"a.qlx"}, .section = ""}},
        {{"--section=Über", "a.qlx"}, {.files = {"a.qlx"}, .section = "Über"}},
        {{"-o", "out.txt", "a.qlx"}, {.files = {"a.qlx"}, .output = "out.txt"}},
        {{"-d", "dir", "a.qlx", "b.qlx"}, {.files = {"a.qlx", "b.qlx"}, .outputDir = "dir"}},
        // --list and --section choose what, --output-dir where: they combine.
        {{"-l", "-d", "dir", "a.qlx"}, {.files = {"a.qlx"}, .list = true, .outputDir = "dir"}},
        {{"--json", "-s", "Intro", "a.qlx"},
         {.files = {"a.qlx"}, .section = "Intro", .json = true}},
        {{"-j", "-r", "a.qlx"}, {.files = {"a.qlx"}, .report = true, .json = true}},
        // The reading goes with every other option.
        {{"-t", "a.qlx"}, {.files = {"a.qlx"}, .thorough = true}},
        {{"--thorough", "-r", "-l", "-d", "dir", "a.qlx"},
         {.files = {"a.qlx"}, .list = true, .outputDir = "dir", .report = true, .thorough = true}},
        {{"-t", "-j", "a.qlx"}, {.files = {"a.qlx"}, .json = true, .thorough = true}},
        {{"--threads", "1", "a.qlx"}, {.files = {"a.qlx"}, .threads = 1}},
        {{"-t", "--threads=3", "a.qlx"}, {.files = {"a.qlx"}, .thorough = true, .threads = 3}},
        {{"--damaged-lines", "-j", "a.qlx"},
         {.files = {"a.qlx"}, .json = true, .damagedLines = true}},
        {{"--carve", "disk.img", "-d", "dir"}, {.outputDir = "dir", .carve = "disk.img"}},
        {{"--carve", "/dev/sdb", "-d", "dir", "--range", "4096:0x2000", "-j", "--threads", "2"},
         {.outputDir = "dir",
          .json = true,
          .threads = 2,
          .carve = "/dev/sdb",
          .range = CarveRange{4096, 8192}}},
        {{"--carve", "disk.img", "-d", "dir", "--range", "0x10:"},
         {.outputDir = "dir", .carve = "disk.img", .range = CarveRange{16, std::nullopt}}},
        {{"--carve", "disk.img", "-d", "dir", "--range", ":100"},
         {.outputDir = "dir", .carve = "disk.img", .range = CarveRange{0, 100}}},
        // After "--" a FILE may look like an option.
        {{"--", "-l", "--version"}, {.files = {"-l", "--version"}}},
    };
    for (const AcceptedCase& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.arguments));
        const CommandLine result = parse(c.arguments);
        ASSERT_TRUE(result.options.has_value()) << result.standardError;
        EXPECT_TRUE(*result.options == c.expected);
        EXPECT_EQ(result.exitStatus, 0);
        EXPECT_EQ(result.standardOutput, "");
        EXPECT_EQ(result.standardError, "");
    }
}

}  // namespace
}  // namespace qlv::cli
