#include "salvage/text_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <new>
#include <string>
#include <system_error>

#include "file_descriptor.h"
#include "salvage/descriptor_writer.h"
#include "salvage/line_breaks.h"

namespace kestLibrary {
namespace {

using salvage::detail::describeError;
using salvage::detail::FileDescriptor;

IoError failure(const std::filesystem::path& file, std::string reason) {
    return IoError{file.string(), std::move(reason)};
}

std::optional<std::string> writeAll(int fd, const TextPieces& pieces) {
    DescriptorWriter writer(fd);
    pieces([&](std::string_view piece) { writer.write(piece); });
    writer.flush();
    return writer.error();
}

// A name beside the destination that no other writer uses at the same time. It does not
// repeat the destination's name, so a long name cannot make it too long for the file system.
std::filesystem::path temporaryNameFor(const std::filesystem::path& destination) {
    static std::atomic<unsigned> counter{0};
    std::filesystem::path name = destination;
    name.replace_filename(".qlvodadov-" + std::to_string(::getpid()) + "-" +
                          std::to_string(counter++) + ".tmp");
    return name;
}

// Writes straight into something that is not a regular file (a device, a FIFO): there is no
// content to protect there, and replacing it with a regular file would be wrong.
std::optional<IoError> writeInPlace(const std::filesystem::path& file, const TextPieces& pieces) {
    const int fd = ::open(file.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        return failure(file, describeError(errno));
    }
    FileDescriptor owned(fd);
    if (auto error = writeAll(fd, pieces)) {
        return failure(file, std::move(*error));
    }
    if (auto error = owned.close()) {
        return failure(file, std::move(*error));
    }
    return std::nullopt;
}

}  // namespace

ReadResult readText(const std::filesystem::path& file) {
    ReadResult result;
    salvage::detail::OpenedFile opened;
    if (auto error = salvage::detail::openRegularFile(file, opened)) {
        result.error = failure(file, std::move(*error));
        return result;
    }
    try {
        result.text.reserve(static_cast<std::size_t>(opened.size));
        salvage::LineBreakUnifier unifier;
        auto error = salvage::detail::readBlocks(
            opened.fd.get(), [&](std::string_view block) { unifier.feed(block, result.text); });
        unifier.finish(result.text);
        if (error) {
            result.text.clear();
            result.error = failure(file, std::move(*error));
        }
    } catch (const std::bad_alloc&) {
        result.text = std::string();
        result.error = failure(file, "Not enough memory to read it");
    }
    return result;
}

TextPieces wholeText(std::string_view text) {
    return [text](const PieceWriter& write) { write(text); };
}

std::optional<IoError> writeText(const std::filesystem::path& file, std::string_view text) {
    return writeText(file, wholeText(text));
}

std::optional<IoError> writeText(const std::filesystem::path& file, const TextPieces& pieces) {
    std::filesystem::path destination = file;
    struct stat info {};
    if (::lstat(file.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
        // Replace what the link points to, not the link itself.
        std::error_code ignored;
        if (auto target = std::filesystem::canonical(file, ignored); !ignored) {
            destination = std::move(target);
        }
    }
    if (::stat(destination.c_str(), &info) == 0) {
        if (S_ISDIR(info.st_mode)) {
            return failure(file, describeError(EISDIR));
        }
        if (!S_ISREG(info.st_mode)) {
            return writeInPlace(destination, pieces);
        }
    }

    const std::filesystem::path temporary = temporaryNameFor(destination);
    // 0666 before the umask, as for any new file the user saves.
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        return failure(file, describeError(errno));
    }
    FileDescriptor owned(fd);
    auto error = writeAll(fd, pieces);
    if (!error && ::fsync(fd) != 0) {
        error = describeError(errno);
    }
    if (!error) {
        error = owned.close();
    }
    if (!error && ::rename(temporary.c_str(), destination.c_str()) != 0) {
        error = describeError(errno);
    }
    if (error) {
        owned.close();
        ::unlink(temporary.c_str());
        return failure(file, std::move(*error));
    }
    return std::nullopt;
}

}  // namespace kestLibrary
