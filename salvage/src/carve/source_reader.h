#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "salvage/carve.h"

namespace salvage::detail {

// Reads a source in windows of a fixed size with pread, keeping the last window. A cluster that
// cannot be read, even once more, reads as zeros, which no document holds, and is handed to
// `unreadable` (when set) if it lies within the reader's own share [reportFrom, reportTo).
// A source that shrinks while it is read ends where a read first finds its end.
class SourceReader {
  public:
    SourceReader(int fd, std::uint64_t size, std::size_t windowSize);

    void reportUnreadable(std::uint64_t from, std::uint64_t to,
                          std::function<void(const ByteRange&)> unreadable);

    // The bytes from `offset` on, up to the end of the window holding `offset` and never
    // fewer than `atLeast` unless the source ends first: the view lasts until the next call.
    std::string_view at(std::uint64_t offset, std::size_t atLeast = 1);
    // The byte at `offset`, or -1 past the end.
    int byteAt(std::uint64_t offset);

    std::uint64_t size() const { return size_; }
    int fd() const { return fd_; }
    // Bytes read within the reader's own share.
    std::uint64_t bytesRead() const { return bytesRead_; }

  private:
    void load(std::uint64_t offset, std::size_t atLeast);
    // Reads [offset, offset + count) into `into`; returns how many bytes the source had.
    std::size_t readWhole(std::uint64_t offset, std::size_t count, char* into);
    std::size_t readClusters(std::uint64_t offset, std::size_t count, char* into);
    void countRead(std::uint64_t offset, std::uint64_t length);
    void noteUnreadable(std::uint64_t offset, std::uint64_t length);

    int fd_;
    std::uint64_t size_;
    std::size_t windowSize_;
    std::vector<char> buffer_;
    std::uint64_t bufferOffset_ = 0;
    std::size_t bufferLength_ = 0;
    bool loaded_ = false;
    std::uint64_t reportFrom_ = 0;
    std::uint64_t reportTo_ = 0;
    std::uint64_t bytesRead_ = 0;
    std::uint64_t countedTo_ = 0;  // the share's bytes before it are counted or reported
    std::function<void(const ByteRange&)> unreadable_;
};

}  // namespace salvage::detail
