#pragma once

#include "options.h"
#include "run.h"

namespace qlv::cli {

// Carves the source of --carve into the --output-dir folder. Returns the exit status.
int runCarve(const Options& options, const Streams& streams);

}  // namespace qlv::cli
