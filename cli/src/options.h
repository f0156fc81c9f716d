#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qlv::cli {

inline constexpr std::string_view kProgramName = "qlvodadov-cli";
// The FILE argument that stands for standard input.
inline constexpr std::string_view kStandardInputArgument = "-";
// What --output-dir names the text read from standard input.
inline constexpr std::string_view kStandardInputSaveName = "stdin.txt";
// What --output-dir puts in place of ".txt" with --json.
inline constexpr std::string_view kJsonExtension = ".json";

// The part of a carved source that --range names: documents starting in [start, end) are
// carved; no end: to the source's end.
struct CarveRange {
    std::uint64_t start = 0;
    std::optional<std::uint64_t> end{};

    bool operator==(const CarveRange&) const = default;
};

// What to write for each FILE (all sections, the list of names, or one section) and where.
struct Options {
    std::vector<std::string> files{};
    bool list = false;
    std::optional<std::string> section{};
    std::optional<std::filesystem::path> output{};
    std::optional<std::filesystem::path> outputDir{};
    bool report = false;
    bool json = false;
    bool thorough = false;
    // List each line skipped or decoded with damage, with its bytes.
    bool damagedLines = false;
    // How many threads may read a document; unset: one per core.
    std::optional<unsigned> threads{};
    // --carve: the disk image, device or file to look through for documents, instead of FILEs.
    std::optional<std::filesystem::path> carve{};
    std::optional<CarveRange> range{};

    bool operator==(const Options&) const = default;
};

// The command line read: either options to run with, or an exit status with what to show
// (help and version text for standard output, a usage error for standard error).
struct CommandLine {
    std::optional<Options> options;
    int exitStatus = 0;
    std::string standardOutput;
    std::string standardError;
};

CommandLine parseCommandLine(int argc, const char* const* argv);

}  // namespace qlv::cli
