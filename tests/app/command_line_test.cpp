#include "command_line.h"

#include <gtest/gtest.h>

#include "qlv/version.h"

namespace app {
namespace {

const std::string kTryHelp = "\nTry 'qlvodadov --help' for more information.\n";

TEST(CommandLine, OpensTheDocumentItIsGiven) {
    struct Case {
        QStringList arguments;
        std::optional<std::filesystem::path> document;
    };
    for (const Case& c : {
             Case{{}, std::nullopt},
             Case{{"letter.qlx"}, "letter.qlx"},
             Case{{"/tmp/with space/brief \xc3\xa9t\xc3\xa9.qll"},
                  "/tmp/with space/brief \xc3\xa9t\xc3\xa9.qll"},
             Case{{"-"}, "-"},  // a lone dash is a name, not an option
             Case{{"--", "-draft.qlx"}, "-draft.qlx"},
             Case{{"--", "--help"}, "--help"},
         }) {
        const CommandLine result = parseCommandLine(c.arguments);
        EXPECT_FALSE(result.exitStatus) << c.arguments.join(' ').toStdString();
        EXPECT_EQ(result.document, c.document) << c.arguments.join(' ').toStdString();
        EXPECT_EQ(result.standardError, "");
    }
}

TEST(CommandLine, HelpAndVersionEndTheProgramWithoutAWindow) {
    for (const QStringList& arguments :
         {QStringList{"--version"}, QStringList{"-V"}, QStringList{"letter.qlx", "--version"}}) {
        const CommandLine result = parseCommandLine(arguments);
        EXPECT_EQ(result.exitStatus, 0);
        EXPECT_EQ(result.standardOutput, std::string("qlvodadov ") + QLV_VERSION + "\n");
        EXPECT_FALSE(result.document);
    }
    for (const QStringList& arguments : {QStringList{"--help"}, QStringList{"-h"}}) {
        const CommandLine result = parseCommandLine(arguments);
        EXPECT_EQ(result.exitStatus, 0);
        EXPECT_EQ(result.standardOutput.rfind("Usage: qlvodadov [OPTIONS] [FILE]\n", 0), 0U);
        EXPECT_EQ(result.standardError, "");
    }
}

TEST(CommandLine, UsageErrorsSayWhatIsWrong) {
    struct Case {
        QStringList arguments;
        std::string message;
    };
    for (const Case& c : {
             Case{{"--frobnicate"}, "qlvodadov: unknown option '--frobnicate'"},
             Case{{"letter.qlx", "-x"}, "qlvodadov: unknown option '-x'"},
             Case{{"a.qlx", "b.qlx"}, "qlvodadov: one document at a time: 'b.qlx' is one too many"},
         }) {
        const CommandLine result = parseCommandLine(c.arguments);
        EXPECT_EQ(result.exitStatus, 2);
        EXPECT_EQ(result.standardError, c.message + kTryHelp);
        EXPECT_EQ(result.standardOutput, "");
    }
}

}  // namespace
}  // namespace app
