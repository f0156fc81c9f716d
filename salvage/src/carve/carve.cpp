#include "salvage/carve.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <numeric>

#include "carve/ordered_scan.h"
#include "carve/share_scan.h"
#include "carve/source_reader.h"
#include "io/file_descriptor.h"
#include "salvage/posix_calls.h"

namespace salvage {

std::uint64_t DocumentPlace::length() const {
    return std::accumulate(fragments.begin(), fragments.end(), std::uint64_t{0},
                           [](std::uint64_t sum, const ByteRange& r) { return sum + r.length; });
}

namespace {

using detail::Share;

// The scan windows of all threads together stay within this; the rest of the bound on memory
// is each thread's follow window and the document being read meanwhile (at most 64 MiB, and
// what its reading takes).
constexpr std::uint64_t kScanMemory = std::uint64_t{64} << 20;
constexpr std::uint64_t kLargestWindow = std::uint64_t{16} << 20;
// Each thread also holds a follow window of 1 MiB: more threads would break the bound on
// memory, and the disk is the limit long before.
constexpr unsigned kMostThreads = 64;

struct OpenedSource {
    detail::FileDescriptor fd;
    std::uint64_t size = 0;
};

std::optional<std::string> openSource(const std::filesystem::path& path, OpenedSource& source) {
    // O_NONBLOCK: opening a FIFO without a writer would otherwise wait; it is refused below.
    const int fd = kestLibrary::posixCalls().open(path.c_str(),
                                                  O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0);
    if (fd < 0) {
        return detail::describeError(errno);
    }
    source.fd = detail::FileDescriptor(fd);
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        return detail::describeError(errno);
    }
    if (S_ISREG(info.st_mode)) {
        source.size = static_cast<std::uint64_t>(info.st_size);
    } else if (S_ISBLK(info.st_mode)) {
        const off_t end = ::lseek(fd, 0, SEEK_END);
        if (end < 0) {
            return detail::describeError(errno);
        }
        source.size = static_cast<std::uint64_t>(end);
    } else {
        return std::string(S_ISDIR(info.st_mode) ? detail::describeError(EISDIR)
                                                 : "Not a regular file or block device");
    }
    return std::nullopt;
}

std::uint64_t clusterFloor(std::uint64_t offset) {
    return offset / kClusterSize * kClusterSize;
}

std::vector<Share> makeShares(std::uint64_t start, std::uint64_t end, unsigned threads,
                              std::uint64_t shareLength) {
    const std::uint64_t length = end - start;
    shareLength = std::max<std::uint64_t>(shareLength, 1);
    const std::uint64_t wanted =
        threads <= 1 ? 1
                     : std::max<std::uint64_t>(threads, (length + shareLength - 1) / shareLength);
    // Shares of less than a few clusters are not worth a thread.
    const std::uint64_t count = std::clamp<std::uint64_t>(length / (16 * kClusterSize), 1, wanted);
    std::vector<Share> shares(static_cast<std::size_t>(count));
    for (std::uint64_t i = 0; i < count; ++i) {
        Share& share = shares[static_cast<std::size_t>(i)];
        share.from = i == 0 ? start : clusterFloor(start + length * i / count);
        share.to = i + 1 == count ? end : clusterFloor(start + length * (i + 1) / count);
    }
    return shares;
}

std::string placeName(const DocumentPlace& place) {
    return "offset " + std::to_string(place.offset());
}

CarvedDocument readPlace(detail::SourceReader& reader, DocumentPlace&& place) {
    std::string bytes(static_cast<std::size_t>(place.length()), '\0');
    std::size_t got = 0;
    for (const ByteRange& fragment : place.fragments) {
        const auto length = static_cast<std::size_t>(fragment.length);
        const std::size_t copied = reader.copy(fragment.offset, length, bytes.data() + got);
        got += copied;
        if (copied < length) {
            break;  // the source shrank since it was looked through
        }
    }
    bytes.resize(got);
    CarvedDocument document{std::move(place), {}};
    document.reading = parseText(bytes, placeName(document.place), Reading::Thorough);
    return document;
}

}  // namespace

CarveSummary carve(const std::filesystem::path& source, const CarveOptions& options,
                   const CarveCallbacks& callbacks) {
    CarveSummary summary;
    OpenedSource opened;
    if (auto error = openSource(source, opened)) {
        summary.error = std::move(error);
        return summary;
    }
    summary.end = std::min(options.end.value_or(opened.size), opened.size);
    summary.start = std::min(options.start, summary.end);
    std::atomic<std::uint64_t> done{0};
    std::atomic<std::size_t> found{0};
    const unsigned threads = std::clamp(options.threads, 1U, kMostThreads);
    std::vector<Share> shares =
        makeShares(summary.start, summary.end, threads, options.shareLength);
    const std::uint64_t perThread = kScanMemory / std::min<std::uint64_t>(threads, shares.size());
    const detail::ScanContext context{
        .fd = opened.fd.get(),
        .size = opened.size,
        .window = static_cast<std::size_t>(
            std::max(kClusterSize, clusterFloor(std::min(kLargestWindow, perThread)))),
        .lookAhead = options.lookAhead,
        .stop = callbacks.stop,
        .done = &done,
        .found = &found,
    };
    const std::uint64_t total = summary.end - summary.start;
    detail::SourceReader reader(opened.fd.get(), opened.size, kClusterSize);
    const detail::OrderedFindings findings{
        .place =
            [&](DocumentPlace&& place) {
                ++summary.documents;
                CarvedDocument document = readPlace(reader, std::move(place));
                if (callbacks.document) {
                    callbacks.document(std::move(document));
                }
            },
        .unreadable =
            [&](const ByteRange& range) {
                summary.unreadableBytes += range.length;
                if (callbacks.unreadable) {
                    callbacks.unreadable(range);
                }
            },
        .progress =
            [&] {
                if (callbacks.progress) {
                    callbacks.progress(done.load(), total, found.load());
                }
            },
    };
    const std::vector<ByteRange> unreadable =
        detail::scanInOrder(context, shares, threads, findings);
    for (const Share& share : shares) {
        summary.bytesRead += share.bytesRead;
    }
    std::uint64_t unreadableLeft = 0;
    for (const ByteRange& range : unreadable) {
        unreadableLeft += range.length;
    }
    if (summary.bytesRead == 0 && summary.unreadableBytes + unreadableLeft > 0) {
        summary.unreadableBytes += unreadableLeft;
        summary.error = "no part of it could be read";
        return summary;
    }
    for (const ByteRange& range : unreadable) {
        findings.unreadable(range);
    }
    return summary;
}

}  // namespace salvage

namespace salvage {

ParseResult readCarvedDocument(const std::filesystem::path& source, const DocumentPlace& place) {
    OpenedSource opened;
    if (auto error = openSource(source, opened)) {
        ParseResult result;
        result.status = ReadStatus::Unreadable;
        result.reason = std::move(*error);
        return result;
    }
    detail::SourceReader reader(opened.fd.get(), opened.size, kClusterSize);
    return readPlace(reader, DocumentPlace(place)).reading;
}

}  // namespace salvage
