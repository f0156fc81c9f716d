#include "io/write_destination.h"

#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <string_view>

#include "io/file_descriptor.h"

namespace kestLibrary::detail {
namespace {

using salvage::detail::describeError;

// As many links as the kernel follows before it gives up (ELOOP).
constexpr int kMostLinks = 40;

std::optional<int> number(std::string_view text) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

struct DescriptorName {
    bool ownProcess = false;
    int descriptor = -1;
};

// Whether `path` is an entry of a process's descriptor folder, /proc/PID/fd (also reached as
// /proc/self/fd, /proc/thread-self/fd, /dev/fd, or PID's task folders).
std::optional<DescriptorName> descriptorNamed(const std::filesystem::path& path) {
    const auto descriptor = number(path.filename().native());
    if (!descriptor) {
        return std::nullopt;
    }
    std::error_code error;
    const std::filesystem::path folder = std::filesystem::canonical(path.parent_path(), error);
    if (error || folder.filename() != "fd") {
        return std::nullopt;
    }
    std::filesystem::path process = folder.parent_path();
    if (process.parent_path().filename() == "task") {
        process = process.parent_path().parent_path();
    }
    const auto pid = number(process.filename().native());
    if (!pid || process.parent_path() != "/proc") {
        return std::nullopt;
    }
    return DescriptorName{*pid == ::getpid(), *descriptor};
}

std::filesystem::path linkTarget(const std::filesystem::path& link, std::error_code& error) {
    std::filesystem::path target = std::filesystem::read_symlink(link, error);
    return target.is_absolute() ? target : link.parent_path() / target;
}

}  // namespace

WriteDestination resolveWriteDestination(const std::filesystem::path& file) {
    WriteDestination destination;
    destination.path = file;
    using Kind = WriteDestination::Kind;
    for (int links = 0; links <= kMostLinks; ++links) {
        if (const auto named = descriptorNamed(destination.path)) {
            destination.kind = named->ownProcess ? Kind::OwnDescriptor : Kind::InPlace;
            destination.descriptor = named->descriptor;
            return destination;
        }
        struct stat& info = destination.existing;
        if (::lstat(destination.path.c_str(), &info) != 0) {
            destination.kind = errno == ENOENT ? Kind::NewFile : Kind::Unusable;
            destination.reason = describeError(errno);
            return destination;
        }
        if (!S_ISLNK(info.st_mode)) {
            destination.kind = S_ISREG(info.st_mode)   ? Kind::RegularFile
                               : S_ISDIR(info.st_mode) ? Kind::Folder
                                                       : Kind::InPlace;
            return destination;
        }
        std::error_code error;
        std::filesystem::path target = linkTarget(destination.path, error);
        if (error) {
            destination.kind = Kind::Unusable;
            destination.reason = describeError(error.value());
            return destination;
        }
        destination.path = std::move(target);
        destination.throughLink = true;
    }
    destination.kind = Kind::Unusable;
    destination.reason = describeError(ELOOP);
    return destination;
}

}  // namespace kestLibrary::detail
