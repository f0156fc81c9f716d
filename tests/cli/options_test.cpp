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

struct ShownCase {
    std::vector<const char*> arguments;
    int exitStatus;
    std::string outputContains;  // empty: nothing on standard output
    std::string errorContains;   // empty: nothing on standard error
};

TEST(CommandLineTest, HelpVersionAndUsageErrorsEndTheRun) {
    const std::string version = std::string("qlvodadov-cli ") + QLV_VERSION + "\n";
    const std::vector<ShownCase> cases = {
        {{"--help"}, 0, "Usage: qlvodadov-cli [OPTIONS] FILE...", ""},
        {{"-h", "--list"}, 0, "--output-dir", ""},
        {{"-V", "doc.qlx"}, 0, version, ""},
        {{}, 2, "", "qlvodadov-cli: FILE is required\nRun with --help"},
        {{"-l", "-s", "Intro", "doc.qlx"}, 2, "", "--list excludes --section"},
        {{"-o", "out.txt", "-d", "dir", "doc.qlx"}, 2, "", "--output excludes --output-dir"},
        {{"-o", "out.txt", "a.qlx", "b.qlx"}, 2, "", "--output: takes a single FILE"},
        {{"--bogus", "doc.qlx"}, 2, "", "qlvodadov-cli: The following argument was not expected"},
        // An unknown option is named even when it leaves no FILE.
        {{"-x"}, 2, "", "qlvodadov-cli: The following argument was not expected: -x\n"},
        {{"--bogus", "-l"}, 2, "", "The following argument was not expected: --bogus\n"},
        {{"doc.qlx", "-s"}, 2, "", "qlvodadov-cli: "},
    };
    for (const ShownCase& c : cases) {
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
        if (c.errorContains.empty()) {
            EXPECT_EQ(result.standardError, "");
        } else {
            EXPECT_NE(result.standardError.find(c.errorContains), std::string::npos)
                << result.standardError;
        }
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
