#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "salvage/report.h"

namespace salvage {

// What happened to a damaged line, in a few words, e.g. "text damaged: 2 characters outside
// Base64, 1 group of Base64 lost".
std::string describeDamage(const SalvageReport::DamagedLine& line);

// `bytes` made safe to show: a backslash as "\\", control characters and bytes that are not
// part of a valid UTF-8 character as "\xHH"; the rest unchanged.
std::string escapeBytes(std::string_view bytes);

// A damaged line's bytes, read back from the file the document was read from.
struct LineBytes {
    enum class Status { Read, NotKept, Changed, Gone, Unreadable };
    Status status = Status::NotKept;
    std::string bytes;            // Read: the line's first bytes, as many as were asked for
    std::uint64_t bytesLeft = 0;  // Read: the line's bytes after those
    std::string message;          // otherwise: why they cannot be shown, for the user
};

// Reads at most `maxBytes` of `line` back from `file`, which `report` was made from, provided
// the file is still the one that was read.
LineBytes readLineBytes(const std::filesystem::path& file, const SalvageReport& report,
                        const SalvageReport::DamagedLine& line, std::size_t maxBytes);

// What to show of a line read back: its bytes escaped, and how many more there are; or why
// they cannot be shown.
std::string showLineBytes(const LineBytes& read);

// The stamp of the regular file open on `fd`; nothing when it cannot be had.
std::optional<SalvageReport::FileStamp> fileStampOf(int fd);

}  // namespace salvage
