#include "huge_pages.h"

#include <cstdint>
#include <mutex>

#if defined(__linux__)
#include <sys/mman.h>
#include <unistd.h>
#endif
#if defined(__GLIBC__)
#include <malloc.h>
#endif

// Sanitizers bring their own allocator; leave its memory alone.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define QLV_ADVISE_HEAP 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || \
    __has_feature(memory_sanitizer)
#define QLV_ADVISE_HEAP 0
#endif
#endif
#if !defined(QLV_ADVISE_HEAP)
#if defined(__linux__) && defined(__GLIBC__) && defined(MADV_HUGEPAGE)
#define QLV_ADVISE_HEAP 1
#else
#define QLV_ADVISE_HEAP 0
#endif
#endif

namespace salvage::detail {
namespace {

constexpr std::uintptr_t kHugePage = std::uintptr_t{2} << 20;

#if QLV_ADVISE_HEAP
// How far ahead the heap grows, and the size up to which blocks come from the heap rather than
// from a mapping of their own (which would round small texts up to whole pages).
constexpr int kTopPad = 64 << 20;
constexpr int kMmapThreshold = 32 << 20;
#if defined(MADV_COLLAPSE)
constexpr int kCollapse = MADV_COLLAPSE;
#else
constexpr int kCollapse = 25;  // Linux 6.1; older kernels refuse it harmlessly
#endif

std::mutex heapMutex;
std::uintptr_t advisedEnd = 0;
bool heapConfigured = false;
#endif

}  // namespace

void adviseHugePages(void* begin, std::size_t size) {
#if QLV_ADVISE_HEAP
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

void adviseHeapGrowth() {
#if QLV_ADVISE_HEAP
    const std::lock_guard lock(heapMutex);
    if (!heapConfigured) {
        heapConfigured = true;
        ::mallopt(M_TOP_PAD, kTopPad);
        ::mallopt(M_MMAP_THRESHOLD, kMmapThreshold);
        advisedEnd = reinterpret_cast<std::uintptr_t>(::sbrk(0));
        return;
    }
    const auto end = reinterpret_cast<std::uintptr_t>(::sbrk(0));
    if (end > advisedEnd) {
        const std::uintptr_t pageMask = static_cast<std::uintptr_t>(::getpagesize()) - 1;
        const std::uintptr_t from = (advisedEnd + pageMask) & ~pageMask;
        if (end > from) {
            ::madvise(reinterpret_cast<void*>(from), end - from, MADV_HUGEPAGE);
            // The 2 MiB around the old end were already in use with small pages (malloc
            // wrote there while growing); turn them into one huge page now that they fit.
            const std::uintptr_t straddling = from & ~(kHugePage - 1);
            if (straddling + kHugePage <= end && straddling < from) {
                ::madvise(reinterpret_cast<void*>(straddling), kHugePage, kCollapse);
            }
        }
    }
    // A heap that shrank (trimmed) is advised again when it grows back.
    advisedEnd = end;
#endif
}

}  // namespace salvage::detail
