#include "store/huge_pages.h"

#include <cstdint>
#include <cstdlib>

#if defined(__linux__)
#include <sys/mman.h>
#include <unistd.h>
#endif

// Sanitizers bring their own allocator; leave its memory alone.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define QLV_ADVISE_PAGES 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || \
    __has_feature(memory_sanitizer)
#define QLV_ADVISE_PAGES 0
#endif
#endif
#if !defined(QLV_ADVISE_PAGES)
#if defined(__linux__) && defined(MADV_HUGEPAGE)
#define QLV_ADVISE_PAGES 1
#else
#define QLV_ADVISE_PAGES 0
#endif
#endif

namespace salvage::detail {

void adviseHugePages(void* begin, std::size_t size) {
#if QLV_ADVISE_PAGES
    constexpr std::uintptr_t kHugePage = std::uintptr_t{2} << 20;
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
    void* const pages =
        ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (pages == MAP_FAILED) {
        return nullptr;
    }
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
