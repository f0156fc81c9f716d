#pragma once

#include <sys/stat.h>

#include <filesystem>
#include <optional>
#include <string>

namespace kestLibrary::detail {

// Where a write to a path lands, once its symbolic links are followed.
struct WriteDestination {
    enum class Kind {
        NewFile,        // nothing there yet (a dangling link's target included): made
        RegularFile,    // replaced atomically, keeping its mode and ownership
        OwnDescriptor,  // /dev/stdout, /dev/fd/N, /proc/self/fd/N: written through descriptor N
        InPlace,        // a device, a FIFO, another process's descriptor: written into as it is
        Folder,         // refused
        Unusable,       // refused; `reason` says why
    };

    Kind kind = Kind::NewFile;
    std::filesystem::path path;  // where the bytes go
    bool throughLink = false;    // `path` was reached through a symbolic link
    int descriptor = -1;         // for OwnDescriptor
    struct stat existing {};     // for RegularFile: the file being replaced
    std::string reason;          // for Unusable
};

// Follows `file`'s symbolic links one at a time, as open() would, but stops at a link that
// names an open descriptor: following that one would reach the file the descriptor has open
// and replace it, losing what the descriptor was appending to.
WriteDestination resolveWriteDestination(const std::filesystem::path& file);

}  // namespace kestLibrary::detail
