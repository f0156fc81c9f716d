#include "salvage/descriptor_writer.h"

#include <unistd.h>

#include <cerrno>

#include "io/file_descriptor.h"
#include "salvage/posix_calls.h"

namespace kestLibrary {

DescriptorWriter::DescriptorWriter(int fd, std::size_t bufferSize)
    : fd_(fd), bufferSize_(bufferSize) {
    buffer_.reserve(bufferSize_);
}

bool DescriptorWriter::write(std::string_view bytes) {
    if (error_) {
        return false;
    }
    if (buffer_.size() + bytes.size() <= bufferSize_) {
        buffer_.append(bytes);
        return true;
    }
    if (!flush()) {
        return false;
    }
    if (bytes.size() < bufferSize_) {
        buffer_.append(bytes);
        return true;
    }
    return writeAll(bytes);
}

bool DescriptorWriter::flush() {
    if (error_) {
        return false;
    }
    const bool written = writeAll(buffer_);
    buffer_.clear();
    return written;
}

bool DescriptorWriter::writeAll(std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = posixCalls().write(fd_, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            error_ = salvage::detail::describeError(errno);
            return false;
        }
        if (written == 0) {
            error_ =
                salvage::detail::describeError(EIO);  // no progress: retrying would loop forever
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

}  // namespace kestLibrary
