#pragma once

#include <cerrno>
#include <cstddef>
#include <string>

#include "salvage/posix_calls.h"

namespace salvage::testing {

enum class PosixCall { None, Open, Read, Pread, Write, Fsync, Fchmod, Rename, Close, Syncfs };

struct PosixFault {
    PosixCall call = PosixCall::None;
    int error = 0;
    int times = -1;            // how many calls fail; -1: all of them
    bool shortWrites = false;  // every write takes at most a few bytes
};

// Stands in the way of the core's POSIX calls while it lives: one call fails with a given
// errno (a number of times, or every time), writes may be cut short, and reads are counted.
class PosixFaults {
  public:
    using Call = PosixCall;
    using Fault = PosixFault;

    explicit PosixFaults(Fault fault = {}) : scoped_(fakeCalls()) { state() = State{fault, 0}; }
    ~PosixFaults() { state() = State{}; }
    PosixFaults(const PosixFaults&) = delete;
    PosixFaults& operator=(const PosixFaults&) = delete;

    std::size_t reads() const { return state().reads; }

  private:
    struct State {
        Fault fault;
        std::size_t reads = 0;
    };

    // The calls are plain function pointers, so what they act on lives here.
    static State& state() {
        static State current;
        return current;
    }

    // Whether this call of `call` fails; errno is then set.
    static bool fails(Call call) {
        Fault& fault = state().fault;
        if (fault.call != call || fault.times == 0) {
            return false;
        }
        if (fault.times > 0) {
            --fault.times;
        }
        errno = fault.error;
        return true;
    }

    static const kestLibrary::PosixCalls& fakeCalls() {
        static const kestLibrary::PosixCalls calls{
            .open =
                [](const char* path, int flags, mode_t mode) {
                    return fails(Call::Open) ? -1
                                             : kestLibrary::systemCalls().open(path, flags, mode);
                },
            .read = [](int fd, void* bytes, std::size_t count) -> ssize_t {
                ++state().reads;
                return fails(Call::Read) ? -1 : kestLibrary::systemCalls().read(fd, bytes, count);
            },
            .pread = [](int fd, void* bytes, std::size_t count, off_t offset) -> ssize_t {
                ++state().reads;
                return fails(Call::Pread)
                           ? -1
                           : kestLibrary::systemCalls().pread(fd, bytes, count, offset);
            },
            .write = [](int fd, const void* bytes, std::size_t count) -> ssize_t {
                if (fails(Call::Write)) {
                    return -1;
                }
                if (state().fault.shortWrites && count > 3) {
                    count = 3;
                }
                return kestLibrary::systemCalls().write(fd, bytes, count);
            },
            .fsync =
                [](int fd) {
                    return fails(Call::Fsync) ? -1 : kestLibrary::systemCalls().fsync(fd);
                },
            .fchmod =
                [](int fd, mode_t mode) {
                    return fails(Call::Fchmod) ? -1 : kestLibrary::systemCalls().fchmod(fd, mode);
                },
            .fchown =
                [](int fd, uid_t owner, gid_t group) {
                    return kestLibrary::systemCalls().fchown(fd, owner, group);
                },
            .rename =
                [](const char* from, const char* to) {
                    return fails(Call::Rename) ? -1 : kestLibrary::systemCalls().rename(from, to);
                },
            // As on Linux, the descriptor is closed even when close reports an error.
            .close =
                [](int fd) {
                    const int result = kestLibrary::systemCalls().close(fd);
                    return fails(Call::Close) ? -1 : result;
                },
            .unlink = [](const char* path) { return kestLibrary::systemCalls().unlink(path); },
            .syncfs =
                [](int fd) {
                    return fails(Call::Syncfs) ? -1 : kestLibrary::systemCalls().syncfs(fd);
                },
        };
        return calls;
    }

    kestLibrary::ScopedPosixCalls scoped_;
};

}  // namespace salvage::testing
