#include "command_line.h"

#include "platform/paths.h"
#include "qlv/version.h"

namespace app {
namespace {

constexpr const char* kHelp =
    "Usage: qlvodadov [OPTIONS] [FILE]\n"
    "Salvages the text of damaged Quillora documents. FILE, when given, opens at start as if\n"
    "it had been dropped on the window's list of sections.\n"
    "\n"
    "Options:\n"
    "  -h, --help     show this help and exit\n"
    "  -V, --version  show the version and exit\n"
    "  --             take what follows as a file name, even if it starts with \"-\"\n"
    "\n"
    "qlvodadov-cli salvages documents from a shell.\n";

CommandLine usageError(const std::string& message) {
    CommandLine result;
    result.exitStatus = 2;
    result.standardError =
        "qlvodadov: " + message + "\nTry 'qlvodadov --help' for more information.\n";
    return result;
}

}  // namespace

CommandLine parseCommandLine(const QStringList& arguments) {
    CommandLine result;
    bool optionsEnded = false;
    for (const QString& argument : arguments) {
        const bool isOption = !optionsEnded && argument.size() > 1 && argument.startsWith('-');
        if (isOption && argument == QLatin1String("--")) {
            optionsEnded = true;
        } else if (isOption &&
                   (argument == QLatin1String("-h") || argument == QLatin1String("--help"))) {
            return {std::nullopt, 0, kHelp, {}};
        } else if (isOption &&
                   (argument == QLatin1String("-V") || argument == QLatin1String("--version"))) {
            return {std::nullopt, 0, std::string("qlvodadov ") + QLV_VERSION + "\n", {}};
        } else if (isOption) {
            return usageError("unknown option '" + argument.toStdString() + "'");
        } else if (result.document) {
            return usageError("one document at a time: '" + argument.toStdString() +
                              "' is one too many");
        } else {
            result.document = platform::toPath(argument);
        }
    }
    return result;
}

}  // namespace app
