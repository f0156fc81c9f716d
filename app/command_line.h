#pragma once

#include <QStringList>
#include <filesystem>
#include <optional>
#include <string>

namespace app {

// What the program was asked for on its command line.
struct CommandLine {
    // The document to open at start, as if it had been dropped on the list.
    std::optional<std::filesystem::path> document;
    // Set when the program should print and end without opening a window: 0 after help or
    // the version, 2 after a usage error.
    std::optional<int> exitStatus;
    std::string standardOutput;
    std::string standardError;
};

// `arguments` are the program's arguments after its name. "--" ends the options, so a
// document whose name starts with "-" can still be opened.
CommandLine parseCommandLine(const QStringList& arguments);

}  // namespace app
