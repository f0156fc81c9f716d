#include "salvage/text_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <new>
#include <string>
#include <system_error>

#include "io/file_descriptor.h"
#include "io/write_destination.h"
#include "salvage/descriptor_writer.h"
#include "salvage/line_breaks.h"
#include "salvage/posix_calls.h"

namespace kestLibrary {
namespace {

using detail::WriteDestination;
using salvage::detail::describeError;
using salvage::detail::FileDescriptor;

IoError failure(const std::filesystem::path& file, std::string reason) {
    return IoError{file.string(), std::move(reason)};
}

// Makes `call` again for as long as a signal interrupts it.
template <class Call>
int retryInterrupted(const Call& call) {
    int result = call();
    while (result < 0 && errno == EINTR) {
        result = call();
    }
    return result;
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

// Writes straight into something that is not a regular file of its own (a device, a FIFO,
// another process's descriptor): there is no content to protect there, and replacing it with
// a regular file would be wrong. Appending, so that a file behind a descriptor loses nothing.
std::optional<std::string> writeInPlace(const std::filesystem::path& file,
                                        const TextPieces& pieces) {
    const PosixCalls& calls = posixCalls();
    const int fd = retryInterrupted(
        [&] { return calls.open(file.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC | O_NOCTTY, 0); });
    if (fd < 0) {
        return describeError(errno);
    }
    FileDescriptor owned(fd);
    if (auto error = writeAll(fd, pieces)) {
        return error;
    }
    return owned.close();
}

// The replacing file gets the replaced one's owner and group where this process may give them
// (ownership is kept as far as it can be, never a reason to fail), then its mode: saving over a
// private file must not leave the text readable by everyone.
std::optional<std::string> takeOverAccess(int fd, const struct stat& replaced) {
    const PosixCalls& calls = posixCalls();
    if (retryInterrupted([&] { return calls.fchown(fd, replaced.st_uid, replaced.st_gid); }) != 0) {
        retryInterrupted([&] { return calls.fchown(fd, static_cast<uid_t>(-1), replaced.st_gid); });
    }
    // After the owner: changing the owner clears the set-user-ID and set-group-ID bits.
    if (retryInterrupted([&] { return calls.fchmod(fd, replaced.st_mode & 07777); }) != 0) {
        return describeError(errno);
    }
    return std::nullopt;
}

// Writes a temporary file beside `file`, flushes it and renames it over `file`. On failure
// the temporary file is removed and `file` is as it was.
std::optional<std::string> replaceAtomically(const std::filesystem::path& file,
                                             const struct stat* replaced, const TextPieces& pieces,
                                             Flush flush) {
    const PosixCalls& calls = posixCalls();
    const std::filesystem::path temporary = temporaryNameFor(file);
    // 0666 before the umask, as for any new file the user saves.
    const int fd = retryInterrupted([&] {
        return calls.open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    });
    if (fd < 0) {
        return describeError(errno);
    }
    FileDescriptor owned(fd);
    std::optional<std::string> error;
    if (replaced != nullptr) {
        error = takeOverAccess(fd, *replaced);
    }
    if (!error) {
        error = writeAll(fd, pieces);
    }
    if (!error && flush == Flush::Now && retryInterrupted([&] { return calls.fsync(fd); }) != 0) {
        error = describeError(errno);
    }
    if (!error) {
        error = owned.close();
    }
    if (!error &&
        retryInterrupted([&] { return calls.rename(temporary.c_str(), file.c_str()); }) != 0) {
        error = describeError(errno);
    }
    if (error) {
        owned.close();
        retryInterrupted([&] { return calls.unlink(temporary.c_str()); });
    }
    return error;
}

std::optional<std::string> writeTo(const WriteDestination& destination, const TextPieces& pieces,
                                   Flush flush) {
    switch (destination.kind) {
        case WriteDestination::Kind::NewFile:
            return replaceAtomically(destination.path, nullptr, pieces, flush);
        case WriteDestination::Kind::RegularFile:
            return replaceAtomically(destination.path, &destination.existing, pieces, flush);
        case WriteDestination::Kind::OwnDescriptor:
            // Through the descriptor itself: its position and append mode are the ones the
            // shell set up, as for the program's own standard output.
            return writeAll(destination.descriptor, pieces);
        case WriteDestination::Kind::InPlace:
            return writeInPlace(destination.path, pieces);
        case WriteDestination::Kind::Folder:
            return describeError(EISDIR);
        case WriteDestination::Kind::Unusable:
            return destination.reason;
    }
    return describeError(EINVAL);
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
        auto error = salvage::detail::readBlocks(opened.fd.get(), [&](std::string_view block) {
            unifier.feed(block, result.text);
            return true;
        });
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
    return writeText(file, pieces, Flush::Now);
}

std::optional<IoError> writeText(const std::filesystem::path& file, std::string_view text,
                                 Flush flush) {
    return writeText(file, wholeText(text), flush);
}

std::optional<IoError> writeText(const std::filesystem::path& file, const TextPieces& pieces,
                                 Flush flush) {
    const WriteDestination destination = detail::resolveWriteDestination(file);
    auto error = writeTo(destination, pieces, flush);
    if (!error) {
        return std::nullopt;
    }
    const bool madeInTargetFolder = destination.kind == WriteDestination::Kind::NewFile ||
                                    destination.kind == WriteDestination::Kind::RegularFile;
    if (destination.throughLink && madeInTargetFolder) {
        // The folder that failed is the target's, which the user may not know of.
        error =
            "the file it links to, " + destination.path.string() + ", cannot be written: " + *error;
    }
    return failure(file, std::move(*error));
}

std::optional<IoError> flushFileSystem(const std::filesystem::path& folder) {
    const PosixCalls& calls = posixCalls();
    const int fd = retryInterrupted(
        [&] { return calls.open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0); });
    if (fd < 0) {
        return failure(folder, describeError(errno));
    }
    FileDescriptor owned(fd);
    if (retryInterrupted([&] { return calls.syncfs(fd); }) != 0) {
        return failure(folder, "not all of it reached the disk: " + describeError(errno));
    }
    return std::nullopt;
}

}  // namespace kestLibrary
