#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "options.h"

namespace qlv::cli {

// Where each FILE's output goes, in the order of Options::files; no path means standard
// output. `conflict` says why the plan cannot be carried out without one FILE's output
// replacing another's.
struct DestinationPlan {
    std::vector<std::optional<std::filesystem::path>> destinations;
    std::optional<std::string> conflict;
};

DestinationPlan planDestinations(const Options& options);

// The name --output-dir gives to the output of `file`: the name "Save All Sections..." offers,
// ending in ".json" instead of ".txt" with --json.
std::string outputDirName(const std::string& file, bool json);

// Makes the --output-dir folder and the folders above it, when they are missing. Returns why
// it could not.
std::optional<std::string> makeOutputFolder(const std::filesystem::path& folder);

}  // namespace qlv::cli
