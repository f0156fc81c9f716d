#pragma once

#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "test_support.h"

namespace salvage::testing {

// Sanitizers reserve terabytes of address space up front, so a limit on it cannot be tried
// in a sanitizer build.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kAddressSpaceLimitWorks = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool kAddressSpaceLimitWorks = false;
#else
inline constexpr bool kAddressSpaceLimitWorks = true;
#endif
#else
inline constexpr bool kAddressSpaceLimitWorks = true;
#endif

// A listening Unix socket at `path`, closed at the end of the test.
class UnixSocket {
  public:
    explicit UnixSocket(const std::filesystem::path& path) {
        fd_ = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.c_str(), sizeof(address.sun_path) - 1);
        bound_ = fd_ >= 0 &&
                 ::bind(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0 &&
                 ::listen(fd_, 1) == 0;
    }
    ~UnixSocket() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    UnixSocket(const UnixSocket&) = delete;
    UnixSocket& operator=(const UnixSocket&) = delete;

    bool bound() const { return bound_; }

  private:
    int fd_ = -1;
    bool bound_ = false;
};

// A document of one section whose Base64 body is `base64Bytes` long, written without holding
// it in memory: "QUJD" decodes to "ABC".
inline void writeLargeDocument(const std::filesystem::path& path, std::size_t base64Bytes) {
    std::ofstream out(path, std::ios::binary);
    out << "<?xml version=\"1.0\"?>\n<Section name=\"QmlnCg==\">";
    std::string quads;
    while (quads.size() < (std::size_t{1} << 20)) {
        quads += "QUJD";
    }
    for (std::size_t written = 0; written < base64Bytes; written += quads.size()) {
        out.write(quads.data(),
                  static_cast<std::streamsize>(std::min(quads.size(), base64Bytes - written)));
    }
    out << "</Section>\n";
}

// The address space this process uses now, in bytes.
inline std::size_t addressSpaceInUse() {
    std::ifstream statm("/proc/self/statm");
    std::size_t pages = 0;
    statm >> pages;
    return pages * static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
}

}  // namespace salvage::testing
