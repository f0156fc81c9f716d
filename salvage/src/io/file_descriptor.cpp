#include "io/file_descriptor.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "salvage/posix_calls.h"
#include "store/huge_pages.h"

namespace salvage::detail {

namespace {
constexpr std::size_t kBlockSize = std::size_t{4} << 20;
constexpr std::size_t kBufferAlignment = std::size_t{2} << 20;
}  // namespace

FileDescriptor::~FileDescriptor() {
    if (fd_ >= 0) {
        kestLibrary::posixCalls().close(fd_);
    }
}

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) {
            kestLibrary::posixCalls().close(fd_);
        }
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

std::optional<std::string> FileDescriptor::close() {
    const int fd = std::exchange(fd_, -1);
    // After EINTR the descriptor is closed all the same (Linux): trying again could close
    // another thread's new descriptor.
    if (fd >= 0 && kestLibrary::posixCalls().close(fd) != 0 && errno != EINTR) {
        return describeError(errno);
    }
    return std::nullopt;
}

std::string describeError(int error) {
    return std::strerror(error);
}

std::optional<std::string> openRegularFile(const std::filesystem::path& path, OpenedFile& opened) {
    // O_NONBLOCK: opening a FIFO with no writer would otherwise wait forever.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        return describeError(errno);
    }
    FileDescriptor owned(fd);
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        return describeError(errno);
    }
    if (S_ISDIR(info.st_mode)) {
        return describeError(EISDIR);
    }
    if (!S_ISREG(info.st_mode)) {
        return std::string("Not a regular file");
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) {
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    }
    opened.fd = std::move(owned);
    opened.size = static_cast<std::uint64_t>(info.st_size);
    return std::nullopt;
}

std::optional<std::string> readBlocks(int fd,
                                      const std::function<bool(std::string_view)>& consume) {
    // Aligned so that the buffer lies on whole huge pages (see huge_pages.h).
    const std::unique_ptr<char, decltype(&std::free)> buffer(
        static_cast<char*>(std::aligned_alloc(kBufferAlignment, kBlockSize)), &std::free);
    if (buffer == nullptr) {
        throw std::bad_alloc();
    }
    adviseHugePages(buffer.get(), kBlockSize);
    for (;;) {
        const ssize_t count = kestLibrary::posixCalls().read(fd, buffer.get(), kBlockSize);
        if (count == 0) {
            return std::nullopt;
        }
        if (count < 0) {
            if (errno == EINTR) {
                continue;
            }
            return describeError(errno);
        }
        if (!consume(std::string_view(buffer.get(), static_cast<std::size_t>(count)))) {
            return std::nullopt;
        }
    }
}

}  // namespace salvage::detail
