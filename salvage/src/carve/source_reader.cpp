#include "carve/source_reader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "salvage/posix_calls.h"

namespace salvage::detail {
namespace {

std::uint64_t clusterFloor(std::uint64_t offset) {
    return offset - offset % kClusterSize;
}

enum class Outcome { Done, End, Failed };

// Reads until `count` bytes are in, the source ends or a call fails (EINTR is tried again).
Outcome preadAll(int fd, std::uint64_t offset, std::size_t count, char* into, std::size_t& got) {
    got = 0;
    while (got < count) {
        const ssize_t n = kestLibrary::posixCalls().pread(fd, into + got, count - got,
                                                          static_cast<off_t>(offset + got));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return Outcome::Failed;
        }
        if (n == 0) {
            return Outcome::End;
        }
        got += static_cast<std::size_t>(n);
    }
    return Outcome::Done;
}

}  // namespace

SourceReader::SourceReader(int fd, std::uint64_t size, std::size_t windowSize)
    : fd_(fd), size_(size), windowSize_(windowSize) {}

SourceReader::SourceReader(const SourceReader& shared, std::size_t windowSize)
    : fd_(shared.fd_), size_(shared.size_), windowSize_(windowSize), shared_(&shared) {}

void SourceReader::reportUnreadable(std::uint64_t from, std::uint64_t to,
                                    std::function<void(const ByteRange&)> unreadable) {
    reportFrom_ = from;
    reportTo_ = to;
    unreadable_ = std::move(unreadable);
    // A new share: its bytes are counted, and its unreadable clusters found, as they are read.
    bytesRead_ = 0;
    countedTo_ = 0;
    loaded_ = false;
}

std::string_view SourceReader::at(std::uint64_t offset, std::size_t atLeast) {
    if (offset >= size_) {
        return {};
    }
    const std::uint64_t wanted = std::min<std::uint64_t>(offset + atLeast, size_);
    if (const auto bytes = held(offset, wanted)) {
        return *bytes;
    }
    load(offset, atLeast);
    const std::uint64_t end = bufferOffset_ + bufferLength_;
    if (offset >= end) {
        return {};
    }
    return {buffer_.get() + (offset - bufferOffset_), static_cast<std::size_t>(end - offset)};
}

std::size_t SourceReader::copy(std::uint64_t offset, std::size_t count, char* into) {
    if (offset >= size_) {
        return 0;
    }
    return readWhole(
        offset, static_cast<std::size_t>(std::min<std::uint64_t>(count, size_ - offset)), into);
}

int SourceReader::byteAt(std::uint64_t offset) {
    const std::string_view bytes = at(offset);
    return bytes.empty() ? -1 : static_cast<unsigned char>(bytes.front());
}

std::optional<std::string_view> SourceReader::held(std::uint64_t offset,
                                                   std::uint64_t wanted) const {
    const std::uint64_t end = bufferOffset_ + bufferLength_;
    if (loaded_ && offset >= bufferOffset_ && wanted <= end && offset < end) {
        return std::string_view(buffer_.get() + (offset - bufferOffset_),
                                static_cast<std::size_t>(end - offset));
    }
    return shared_ == nullptr ? std::nullopt : shared_->held(offset, wanted);
}

void SourceReader::load(std::uint64_t offset, std::size_t atLeast) {
    const std::uint64_t start = clusterFloor(offset);
    const std::uint64_t want = std::max<std::uint64_t>(windowSize_, offset - start + atLeast);
    const auto count = static_cast<std::size_t>(std::min(want, size_ - start));
    if (count > capacity_) {
        buffer_.reset();  // the old window goes before the larger one comes
        buffer_ = std::make_unique_for_overwrite<char[]>(count);
        capacity_ = count;
    }
    bufferOffset_ = start;
    bufferLength_ = readWhole(start, count, buffer_.get());
    loaded_ = true;
}

std::size_t SourceReader::readWhole(std::uint64_t offset, std::size_t count, char* into) {
    std::size_t got = 0;
    switch (preadAll(fd_, offset, count, into, got)) {
        case Outcome::Done:
            countRead(offset, got);
            return got;
        case Outcome::End:
            size_ = offset + got;
            countRead(offset, got);
            return got;
        case Outcome::Failed:
            break;
    }
    // Only the clusters of the failing stretch are read one by one, from a cluster boundary.
    const std::uint64_t goodEnd = clusterFloor(offset + got);
    const std::size_t good = goodEnd > offset ? static_cast<std::size_t>(goodEnd - offset) : 0;
    countRead(offset, good);
    return good + readClusters(offset + good, count - good, into + good);
}

std::size_t SourceReader::readClusters(std::uint64_t offset, std::size_t count, char* into) {
    std::size_t done = 0;
    while (done < count) {
        const std::size_t length = std::min<std::size_t>(kClusterSize, count - done);
        std::size_t got = 0;
        Outcome outcome = preadAll(fd_, offset + done, length, into + done, got);
        if (outcome == Outcome::Failed) {
            // A failing sector sometimes reads on the second try.
            outcome = preadAll(fd_, offset + done, length, into + done, got);
        }
        if (outcome == Outcome::End) {
            size_ = offset + done + got;
            countRead(offset + done, got);
            return done + got;
        }
        if (outcome == Outcome::Failed) {
            std::memset(into + done, 0, length);
            noteUnreadable(offset + done, length);
        } else {
            countRead(offset + done, length);
        }
        done += length;
    }
    return done;
}

void SourceReader::countRead(std::uint64_t offset, std::uint64_t length) {
    // Each byte of the share counts once, however often a window is read again.
    const std::uint64_t from = std::max({offset, reportFrom_, countedTo_});
    const std::uint64_t to = std::min(offset + length, reportTo_);
    if (from < to) {
        bytesRead_ += to - from;
        countedTo_ = to;
    }
}

void SourceReader::noteUnreadable(std::uint64_t offset, std::uint64_t length) {
    const std::uint64_t from = std::max({offset, reportFrom_, countedTo_});
    const std::uint64_t to = std::min(offset + length, reportTo_);
    if (from < to) {
        countedTo_ = to;
        if (unreadable_) {
            unreadable_(ByteRange{from, to - from});
        }
    }
}

}  // namespace salvage::detail
