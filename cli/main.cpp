#include <unistd.h>

#include <csignal>

#include <iostream>
#include <string_view>

#include "exit_status.h"
#include "options.h"
#include "run.h"
#include "salvage/descriptor_writer.h"

namespace {

// Help and version text go through the same checked writer as the documents, so that a
// failed write is never reported as a success.
int showAndExit(const qlv::cli::CommandLine& commandLine) {
    std::cerr << commandLine.standardError << std::flush;
    kestLibrary::DescriptorWriter out(STDOUT_FILENO);
    if (!out.write(commandLine.standardOutput) || !out.flush()) {
        std::cerr << qlv::cli::kProgramName << ": standard output: " << *out.error() << '\n';
        return qlv::cli::kExitFailure;
    }
    return commandLine.exitStatus;
}

}  // namespace

int main(int argc, char* argv[]) {
    // A file-size limit set by the shell ("ulimit -f") would otherwise end the program in the
    // middle of a write, without a message and with its temporary file left behind. Ignored,
    // the write fails with EFBIG, which is reported and cleaned up like any failed write.
    std::signal(SIGXFSZ, SIG_IGN);
    const qlv::cli::CommandLine commandLine = qlv::cli::parseCommandLine(argc, argv);
    if (!commandLine.options) {
        return showAndExit(commandLine);
    }
    return qlv::cli::run(*commandLine.options,
                         {STDIN_FILENO, STDOUT_FILENO, std::cerr, ::isatty(STDERR_FILENO) == 1});
}
