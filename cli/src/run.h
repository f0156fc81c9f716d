#pragma once

#include <ostream>

#include "options.h"

namespace qlv::cli {

// Where the program reads and writes: standard input for FILE "-", standard output, and the
// stream that receives the error messages.
struct Streams {
    int input;
    int output;
    std::ostream& errors;
    // Whether `errors` is a terminal, where a long run may show how it goes.
    bool showProgress = false;
};

// Reads every FILE in turn and writes what the options ask for. Returns the exit status.
int run(const Options& options, const Streams& streams);

}  // namespace qlv::cli
