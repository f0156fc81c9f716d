#include "salvage/posix_calls.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>

namespace kestLibrary {
namespace {

constexpr PosixCalls kSystemCalls{
    .open = [](const char* path, int flags, mode_t mode) { return ::open(path, flags, mode); },
    .read = [](int fd, void* bytes, std::size_t count) { return ::read(fd, bytes, count); },
    .pread = [](int fd, void* bytes, std::size_t count,
                off_t offset) { return ::pread(fd, bytes, count, offset); },
    .write = [](int fd, const void* bytes, std::size_t count) { return ::write(fd, bytes, count); },
    .fsync = [](int fd) { return ::fsync(fd); },
    .fchmod = [](int fd, mode_t mode) { return ::fchmod(fd, mode); },
    .fchown = [](int fd, uid_t owner, gid_t group) { return ::fchown(fd, owner, group); },
    .rename = [](const char* from, const char* to) { return std::rename(from, to); },
    .close = [](int fd) { return ::close(fd); },
    .unlink = [](const char* path) { return ::unlink(path); },
    .syncfs = [](int fd) { return ::syncfs(fd); },
};

// Constant-initialised to the system's calls; only a test's ScopedPosixCalls changes it.
constinit std::atomic<const PosixCalls*> inUse{&kSystemCalls};

}  // namespace

const PosixCalls& systemCalls() {
    return kSystemCalls;
}

const PosixCalls& posixCalls() {
    return *inUse.load(std::memory_order_acquire);
}

ScopedPosixCalls::ScopedPosixCalls(const PosixCalls& calls)
    : previous_(inUse.exchange(&calls, std::memory_order_acq_rel)) {}

ScopedPosixCalls::~ScopedPosixCalls() {
    inUse.store(previous_, std::memory_order_release);
}

}  // namespace kestLibrary
