#pragma once

#include <sys/types.h>

#include <filesystem>
#include <optional>
#include <utility>

namespace kestLibrary {

// Two paths name the same file when device and inode agree (links, "./x", "../dir/x").
using FileIdentity = std::pair<dev_t, ino_t>;

// The identity of the file `path` names, following links; nothing when it cannot be had.
std::optional<FileIdentity> identityOfPath(const std::filesystem::path& path);
// The identity of the regular file open on `fd`; nothing for anything else (a pipe, a tty).
std::optional<FileIdentity> identityOfRegularDescriptor(int fd);

}  // namespace kestLibrary
