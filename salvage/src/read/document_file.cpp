#include <new>

#include "io/file_descriptor.h"
#include "salvage/damaged_lines.h"
#include "salvage/reader.h"

namespace salvage {
namespace {

constexpr std::string_view kOutOfMemory = "Not enough memory to hold what this document holds";

ParseResult unreadable(std::string reason) {
    ParseResult result;
    result.status = ReadStatus::Unreadable;
    result.reason = std::move(reason);
    return result;
}

ParseResult stopped() {
    ParseResult result;
    result.status = ReadStatus::Stopped;
    result.reason = "The reading was stopped";
    return result;
}

bool stopRequested(const ReadOptions& options) {
    return options.stop != nullptr && options.stop->load(std::memory_order_relaxed);
}

ParseResult readAll(int fd, std::uint64_t expectedSize, std::string_view fileName,
                    const ReadOptions& options) {
    try {
        DocumentReader reader(options);
        reader.expectSize(expectedSize);
        std::uint64_t readSoFar = 0;
        bool stop = false;
        // A refusal is decided on the first line: on failing media every further read costs.
        const auto error = detail::readBlocks(fd, [&](std::string_view block) {
            if (stopRequested(options)) {
                stop = true;
                return false;
            }
            reader.feed(block);
            readSoFar += block.size();
            if (options.progress) {
                options.progress(readSoFar, expectedSize);
            }
            return !reader.refused();
        });
        // Checked once more at the end: finishing a large document (its last chunks, its
        // report) is worth skipping too.
        if (stop || stopRequested(options)) {
            return stopped();
        }
        ParseResult result = reader.finish(fileName);
        if (error) {
            if (!result.accepted()) {
                return unreadable(*error);
            }
            // What was read before the error is worth keeping; the report tells it was cut short.
            result.document.report.readError = *error;
        }
        return result;
    } catch (const std::bad_alloc&) {
        return unreadable(std::string(kOutOfMemory));
    }
}

}  // namespace

ParseResult parseFile(const std::filesystem::path& file, Reading reading) {
    return parseFile(file, ReadOptions{reading});
}

ParseResult parseFile(const std::filesystem::path& file, const ReadOptions& options) {
    detail::OpenedFile opened;
    if (auto error = detail::openRegularFile(file, opened)) {
        return unreadable(std::move(*error));
    }
    // Taken before the reading, so that a change made while it reads shows as one.
    const auto stamp = fileStampOf(opened.fd.get());
    ParseResult result = readAll(opened.fd.get(), opened.size, file.filename().string(), options);
    result.document.report.file = stamp;
    return result;
}

ParseResult parseDescriptor(int fd, std::string_view fileName, Reading reading) {
    return parseDescriptor(fd, fileName, ReadOptions{reading});
}

ParseResult parseDescriptor(int fd, std::string_view fileName, const ReadOptions& options) {
    return readAll(fd, 0, fileName, options);
}

}  // namespace salvage
