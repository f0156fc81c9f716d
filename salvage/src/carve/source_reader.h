#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
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
    // A reader of the same source that first looks in the windows `shared` (and the readers it
    // shares) hold: following a document mostly reads bytes the scan has in memory already.
    // Its views last until the next call to it or a reload of one of those readers.
    SourceReader(const SourceReader& shared, std::size_t windowSize);

    void reportUnreadable(std::uint64_t from, std::uint64_t to,
                          std::function<void(const ByteRange&)> unreadable);

    // The bytes from `offset` on, up to the end of the window holding `offset` and never
    // fewer than `atLeast` unless the source ends first: the view lasts until the next call.
    std::string_view at(std::uint64_t offset, std::size_t atLeast = 1);
    // Reads [offset, offset + count) into `into`, past any window, unreadable clusters as
    // zeros; returns how many bytes the source had.
    std::size_t copy(std::uint64_t offset, std::size_t count, char* into);
    // The byte at `offset`, or -1 past the end.
    int byteAt(std::uint64_t offset);

    std::uint64_t size() const { return size_; }
    int fd() const { return fd_; }
    // Bytes read within the reader's own share, since reportUnreadable() set it.
    std::uint64_t bytesRead() const { return bytesRead_; }

  private:
    // The bytes [offset, wanted) as a view of a window already read, when one holds them.
    std::optional<std::string_view> held(std::uint64_t offset, std::uint64_t wanted) const;
    void load(std::uint64_t offset, std::size_t atLeast);
    // Reads [offset, offset + count) into `into`; returns how many bytes the source had.
    std::size_t readWhole(std::uint64_t offset, std::size_t count, char* into);
    std::size_t readClusters(std::uint64_t offset, std::size_t count, char* into);
    void countRead(std::uint64_t offset, std::uint64_t length);
    void noteUnreadable(std::uint64_t offset, std::uint64_t length);

    int fd_;
    std::uint64_t size_;
    std::size_t windowSize_;
    // Not cleared when made: every byte of it is read before it is looked at.
    std::unique_ptr<char[]> buffer_;
    std::size_t capacity_ = 0;
    std::uint64_t bufferOffset_ = 0;
    std::size_t bufferLength_ = 0;
    bool loaded_ = false;
    std::uint64_t reportFrom_ = 0;
    std::uint64_t reportTo_ = 0;
    std::uint64_t bytesRead_ = 0;
    std::uint64_t countedTo_ = 0;  // the share's bytes before it are counted or reported
    std::function<void(const ByteRange&)> unreadable_;
    const SourceReader* shared_ = nullptr;
};

}  // namespace salvage::detail
