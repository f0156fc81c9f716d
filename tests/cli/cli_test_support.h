#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <string_view>

#include "run.h"
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

// What one run of the program gave.
struct Outcome {
    int status;
    std::string out;
    std::string err;
};

// Runs the program with `standardInput` and with its standard output in `dir` or, when given,
// at `standardOutput` (then not read back).
inline Outcome runProgram(const Options& options, const std::filesystem::path& dir,
                          const std::string& standardInput = "",
                          const std::filesystem::path& standardOutput = {}) {
    writeFile(dir / "stdin", standardInput);
    Descriptor in(dir / "stdin", O_RDONLY);
    const std::filesystem::path outPath = standardOutput.empty() ? dir / "stdout" : standardOutput;
    Descriptor out(outPath, O_WRONLY | O_CREAT | O_TRUNC);
    std::ostringstream errors;
    const int status = cli::run(options, {in.get(), out.get(), errors});
    return {status, standardOutput.empty() ? readFile(outPath) : "", errors.str()};
}

inline std::string sectionLine(std::string_view name, std::string_view text) {
    return "<Section name=\"" + encodeBase64(name) + "\" style=\"body\">" + encodeBase64(text) +
           "</Section>\n";
}

}  // namespace qlv::cli::testing
