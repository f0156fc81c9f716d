#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace salvage::detail {

// Owns a POSIX file descriptor and closes it once.
class FileDescriptor {
  public:
    FileDescriptor() = default;
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor();
    FileDescriptor(FileDescriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept;
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    // Closes now and reports the OS reason on failure.
    std::optional<std::string> close();

  private:
    int fd_ = -1;
};

struct OpenedFile {
    FileDescriptor fd;
    std::uint64_t size = 0;
};

// Opens a regular file for reading. A folder, FIFO, socket or device is refused before any
// read, and the open itself cannot block on one. Returns the reason on failure.
std::optional<std::string> openRegularFile(const std::filesystem::path& path, OpenedFile& opened);

// Reads from `fd` in large blocks until its end, or until `consume`, handed each block, returns
// false. Returns the reason if reading stopped on an error.
std::optional<std::string> readBlocks(int fd, const std::function<bool(std::string_view)>& consume);

// The OS reason for `error` (an errno value), in words.
std::string describeError(int error);

}  // namespace salvage::detail
