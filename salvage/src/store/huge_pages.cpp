#include "store/huge_pages.h"

#include <cstdint>
#include <cstdlib>

#if defined(__linux__)
#include <sys/mman.h>
#include <unistd.h>
#endif

#if !QLV_SANITIZER_ALLOCATOR && defined(__linux__) && defined(MADV_HUGEPAGE)
#define QLV_ADVISE_PAGES 1
#else
#define QLV_ADVISE_PAGES 0
#endif

namespace salvage::detail {
namespace {
constexpr std::size_t kHugePage = std::size_t{2} << 20;
}  // namespace

void adviseHugePages(void* begin, std::size_t size) {
#if QLV_ADVISE_PAGES
    const auto first = (reinterpret_cast<std::uintptr_t>(begin) + kHugePage - 1) & ~(kHugePage - 1);
    const auto last = (reinterpret_cast<std::uintptr_t>(begin) + size) & ~(kHugePage - 1);
    if (last > first) {
        ::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
    }
#else
    (void)begin;
    (void)size;
#endif
}

#if defined(__linux__)

void* allocatePages(std::size_t size) {
    // A mapping of 2 MiB or more starts on a 2 MiB boundary, so that all of it but its tail can
    // be huge pages: mapped with room to spare, and the spare cut off both ends.
    const auto pageSize = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    const std::size_t slack = size >= kHugePage ? kHugePage - pageSize : 0;
    if (size > SIZE_MAX - slack) {
        return nullptr;
    }
    void* const mapped =
        ::mmap(nullptr, size + slack, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) {
        return nullptr;
    }
    const auto begin = reinterpret_cast<std::uintptr_t>(mapped);
    const auto start = (begin + slack) & ~(slack == 0 ? 0 : kHugePage - 1);
    const auto end = (start + size + pageSize - 1) & ~(pageSize - 1);
    if (start > begin) {
        ::munmap(mapped, start - begin);
    }
    if (begin + size + slack > end) {
        ::munmap(reinterpret_cast<void*>(end), begin + size + slack - end);
    }
    void* const pages = reinterpret_cast<void*>(start);
    adviseHugePages(pages, size);
    return pages;
}

void freePages(void* begin, std::size_t size) {
    ::munmap(begin, size);
}

void discardPages(void* begin, std::size_t size) {
    const auto pageSize = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    const auto first = (reinterpret_cast<std::uintptr_t>(begin) + pageSize - 1) & ~(pageSize - 1);
    const auto last = (reinterpret_cast<std::uintptr_t>(begin) + size) & ~(pageSize - 1);
    if (last > first) {
        ::madvise(reinterpret_cast<void*>(first), last - first, MADV_DONTNEED);
    }
}

#else

void* allocatePages(std::size_t size) {
    return std::calloc(size, 1);
}

void freePages(void* begin, std::size_t) {
    std::free(begin);
}

void discardPages(void*, std::size_t) {}

#endif

}  // namespace salvage::detail
