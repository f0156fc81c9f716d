#pragma once

#include <sys/types.h>

#include <cstddef>

namespace kestLibrary {

// The POSIX calls the core makes to read and write files, gathered in one table so that a test
// can stand in the way of each one (an interrupted call, a short write, a full disk, a failing
// rename) and see what the readers and writers make of it, or count the reads. The programs never
// replace them: the table in use is the real calls unless a test has put another in place for a
// while.
struct PosixCalls {
    int (*open)(const char* path, int flags, mode_t mode);
    ssize_t (*read)(int fd, void* bytes, std::size_t count);
    ssize_t (*pread)(int fd, void* bytes, std::size_t count, off_t offset);
    ssize_t (*write)(int fd, const void* bytes, std::size_t count);
    int (*fsync)(int fd);
    int (*fchmod)(int fd, mode_t mode);
    int (*fchown)(int fd, uid_t owner, gid_t group);
    int (*rename)(const char* from, const char* to);
    int (*close)(int fd);
    int (*unlink)(const char* path);
    int (*syncfs)(int fd);
};

// The calls of the operating system itself.
const PosixCalls& systemCalls();

// The calls the core makes now.
const PosixCalls& posixCalls();

// Puts `calls` in place of the calls in use until it goes out of scope (tests only; not for
// use by two threads at once).
class ScopedPosixCalls {
  public:
    explicit ScopedPosixCalls(const PosixCalls& calls);
    ~ScopedPosixCalls();
    ScopedPosixCalls(const ScopedPosixCalls&) = delete;
    ScopedPosixCalls& operator=(const ScopedPosixCalls&) = delete;

  private:
    const PosixCalls* previous_;
};

}  // namespace kestLibrary
