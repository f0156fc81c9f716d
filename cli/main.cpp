#include <unistd.h>

#include <iostream>
#include <string_view>

#include "descriptor_writer.h"
#include "exit_status.h"
#include "options.h"
#include "run.h"

namespace {

// Help and version text go through the same checked writer as the documents, so that a
// failed write is never reported as a success.
int showAndExit(const qlv::cli::CommandLine& commandLine) {
    std::cerr << commandLine.standardError << std::flush;
    qlv::cli::DescriptorWriter out(STDOUT_FILENO);
    if (!out.write(commandLine.standardOutput) || !out.flush()) {
        std::cerr << qlv::cli::kProgramName << ": standard output: " << *out.error() << '\n';
        return qlv::cli::kExitFailure;
    }
    return commandLine.exitStatus;
}

}  // namespace

int main(int argc, char* argv[]) {
    const qlv::cli::CommandLine commandLine = qlv::cli::parseCommandLine(argc, argv);
    if (!commandLine.options) {
        return showAndExit(commandLine);
    }
    return qlv::cli::run(*commandLine.options, {STDIN_FILENO, STDOUT_FILENO, std::cerr});
}
