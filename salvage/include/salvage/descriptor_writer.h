#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace kestLibrary {

// Buffered writing to an open descriptor that notices every failure. Small pieces are
// gathered into one buffer; large ones go out directly, so a huge document costs few system
// calls and no copies. After the first failure nothing more is written.
class DescriptorWriter {
  public:
    explicit DescriptorWriter(int fd, std::size_t bufferSize = std::size_t{1} << 16);

    // Both return false once the writer has failed; error() then says why.
    bool write(std::string_view bytes);
    bool flush();

    const std::optional<std::string>& error() const { return error_; }

  private:
    bool writeAll(std::string_view bytes);

    int fd_;
    std::size_t bufferSize_;
    std::string buffer_;
    std::optional<std::string> error_;
};

}  // namespace kestLibrary
