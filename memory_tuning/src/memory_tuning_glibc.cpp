#include <unistd.h>

#include <cstdlib>
#include <string>
#include <string_view>

#include "qlv/memory_tuning.h"

namespace qlv {

void tuneMemoryForLargeDocuments(char** argv) {
    constexpr std::string_view kVariable = "GLIBC_TUNABLES";
    constexpr std::string_view kSetting = "glibc.malloc.hugetlb";
    const char* const found = std::getenv(kVariable.data());
    const std::string current = found != nullptr ? found : "";
    if (current.find(kSetting) != std::string::npos) {
        return;  // started with it already (by a first call, or by the user's own choice)
    }
    // With it, blocks up to 32 MiB (the texts of large sections) stay on the heap: a block mapped
    // on its own, less than 2 MiB, gets no huge page. (Growing the heap in large steps as well
    // made a program started under a tight address-space limit fail before it could say why.)
    const std::string value = (current.empty() ? "" : current + ":") + std::string(kSetting) +
                              "=1:glibc.malloc.mmap_threshold=33554432";
    if (::setenv(kVariable.data(), value.c_str(), 1) != 0) {
        return;
    }
    ::execv("/proc/self/exe", argv);
    // Not started again (no /proc, say): go on as before, without the setting.
    if (found != nullptr) {
        ::setenv(kVariable.data(), current.c_str(), 1);
    } else {
        ::unsetenv(kVariable.data());
    }
}

}  // namespace qlv
