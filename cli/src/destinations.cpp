#include "destinations.h"

#include <map>

#include "salvage/export.h"
#include "salvage/reader.h"
#include "salvage/section_line.h"

namespace qlv::cli {

std::string outputDirName(const std::string& file, bool json) {
    std::string name = std::string(kStandardInputSaveName);
    if (file != kStandardInputArgument) {
        const std::string fileName = std::filesystem::path(file).filename().string();
        name = salvage::defaultSaveAllName(salvage::baseName(fileName));
    }
    if (json) {
        name.replace(name.rfind('.'), std::string::npos, kJsonExtension);
    }
    return name;
}

std::optional<std::string> makeOutputFolder(const std::filesystem::path& folder) {
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) {
        return "cannot make the folder " + folder.string() + ": " + error.message();
    }
    return std::nullopt;
}

DestinationPlan planDestinations(const Options& options) {
    DestinationPlan plan;
    plan.destinations.reserve(options.files.size());
    if (!options.outputDir) {
        plan.destinations.assign(options.files.size(), options.output);
        return plan;
    }
    // Names are the first FILE to claim them: a later FILE with the same name would replace
    // that FILE's output within this very run.
    std::map<std::string, const std::string*> claimedBy;
    for (const std::string& file : options.files) {
        const std::string name = outputDirName(file, options.json);
        const auto [claim, isNew] = claimedBy.emplace(name, &file);
        const std::filesystem::path destination = *options.outputDir / name;
        if (!isNew && !plan.conflict) {
            plan.conflict = *claim->second + " and " + file + " would both be written to " +
                            destination.string();
        }
        plan.destinations.emplace_back(destination);
    }
    return plan;
}

}  // namespace qlv::cli
