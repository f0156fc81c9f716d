#include "salvage/file_identity.h"

#include <sys/stat.h>

namespace kestLibrary {
namespace {

FileIdentity identityOf(const struct stat& status) {
    return {status.st_dev, status.st_ino};
}

}  // namespace

std::optional<FileIdentity> identityOfPath(const std::filesystem::path& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        return std::nullopt;
    }
    return identityOf(status);
}

std::optional<FileIdentity> identityOfRegularDescriptor(int fd) {
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        return std::nullopt;
    }
    return identityOf(status);
}

}  // namespace kestLibrary
