#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace qlv::cli {

// Why `folder` may not take what is carved from `source`, if it may not: the folder lies on
// the source itself (a block device holding its file system, or the disk of that partition),
// or on a file system mounted from the source through a loop device. Writing there would
// overwrite the very clusters being looked through. `sysfs` is where the kernel tells about
// its block devices (tests give a tree of their own).
std::optional<std::string> folderOnSource(const std::filesystem::path& source,
                                          const std::filesystem::path& folder,
                                          const std::filesystem::path& sysfs = "/sys");

}  // namespace qlv::cli
