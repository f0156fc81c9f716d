#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <string_view>

#include "test_support.h"

namespace qlv::cli::testing {

using salvage::testing::encodeBase64;
using salvage::testing::readFile;
using salvage::testing::TempDir;
using salvage::testing::writeFile;

// An open descriptor, closed at the end of the test.
class Descriptor {
  public:
    Descriptor(const std::filesystem::path& path, int flags)
        : fd_(::open(path.c_str(), flags, 0600)) {}
    ~Descriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;

    int get() const { return fd_; }

  private:
    int fd_;
};

inline std::string sectionLine(std::string_view name, std::string_view text) {
    return "<Section name=\"" + encodeBase64(name) + "\" style=\"body\">" + encodeBase64(text) +
           "</Section>\n";
}

}  // namespace qlv::cli::testing
