#include <csignal>
#include <iostream>

#include "command_line.h"
#include "platform/qt_services.h"
#include "startup.h"
#include "ui/app.h"

namespace {

int printAndEnd(const app::CommandLine& commandLine) {
    std::cerr << commandLine.standardError << std::flush;
    if (!(std::cout << commandLine.standardOutput << std::flush)) {
        std::cerr << "qlvodadov: standard output: the text could not be written\n";
        return 1;
    }
    return *commandLine.exitStatus;
}

}  // namespace

int main(int argc, char** argv) {
    // A file-size limit set by the shell would end the program in the middle of a save;
    // ignored, the save fails with EFBIG and is reported like any failed save.
    std::signal(SIGXFSZ, SIG_IGN);

    // Help and the version need no display, so they are answered before Qt looks for one.
    // Usage errors wait: Qt takes its own options (such as -platform) out of the arguments.
    QStringList rawArguments;
    for (int i = 1; i < argc; ++i) {
        rawArguments << QString::fromLocal8Bit(argv[i]);
    }
    if (const app::CommandLine early = app::parseCommandLine(rawArguments); early.exitStatus == 0) {
        return printAndEnd(early);
    }

    platform::QtServices services;
    App app(argc, argv, services.services());
    const app::CommandLine commandLine = app::parseCommandLine(App::arguments().mid(1));
    if (commandLine.exitStatus) {
        return printAndEnd(commandLine);
    }
    return app::run(app, commandLine.document);
}
