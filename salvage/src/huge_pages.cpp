#include "huge_pages.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <mutex>
#include <system_error>

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

// The heap's range advised so far (the prefaulter stays inside it).
std::atomic<std::uintptr_t> advisedStart{0};
std::atomic<std::uintptr_t> advisedEnd{0};

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
        advisedStart = advisedEnd.load();
        return;
    }
    const auto end = reinterpret_cast<std::uintptr_t>(::sbrk(0));
    if (end > advisedEnd) {
        const std::uintptr_t pageMask = static_cast<std::uintptr_t>(::getpagesize()) - 1;
        const std::uintptr_t from = (advisedEnd + pageMask) & ~pageMask;
        if (advisedStart == 0 || from < advisedStart) {
            advisedStart = from;
        }
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

namespace {
#if QLV_ADVISE_HEAP && defined(MADV_POPULATE_WRITE)
constexpr bool kCanPrefault = true;
constexpr int kPopulateWrite = MADV_POPULATE_WRITE;
#else
constexpr bool kCanPrefault = false;
constexpr int kPopulateWrite = 0;
#endif
// Worth a thread only for documents this large; how far ahead of use to fill.
constexpr std::uint64_t kPrefaultFrom = std::uint64_t{64} << 20;
constexpr std::uintptr_t kAhead = std::uintptr_t{48} << 20;
}  // namespace

HeapPrefaulter::HeapPrefaulter(std::uint64_t expectedBytes) {
    if (!kCanPrefault || expectedBytes < kPrefaultFrom) {
        return;
    }
    stillNeeded_ = expectedBytes;
    try {
        thread_ = std::thread([this] { run(); });
    } catch (const std::system_error&) {
        // Without the helper the reader is only slower.
    }
}

HeapPrefaulter::~HeapPrefaulter() {
    if (thread_.joinable()) {
        {
            const std::lock_guard lock(mutex_);
            stop_ = true;
        }
        wake_.notify_one();
        thread_.join();
    }
}

void HeapPrefaulter::noteUse(const void* end, std::uint64_t stillNeeded) {
    if (!thread_.joinable()) {
        return;
    }
    const auto at = reinterpret_cast<std::uintptr_t>(end);
    if (at < advisedStart.load() || at > advisedEnd.load()) {
        return;  // not heap storage (a large text mapped on its own)
    }
    const std::lock_guard lock(mutex_);
    used_ = std::max(used_, at);
    stillNeeded_ = stillNeeded;
    if (used_ >= lastWake_ + kHugePage) {
        lastWake_ = used_;
        wake_.notify_one();
    }
}

void HeapPrefaulter::run() {
    std::uintptr_t filled = 0;
    std::unique_lock lock(mutex_);
    while (!stop_) {
        // Only the heap's own advised range, from the reader's use on, and no further than the
        // document can still need.
        const std::uintptr_t from =
            std::max({filled, used_ & ~(kHugePage - 1), advisedStart.load()});
        const std::uintptr_t want = used_ + std::min<std::uint64_t>(kAhead, stillNeeded_);
        const std::uintptr_t to = std::min(want, advisedEnd.load()) & ~(kHugePage - 1);
        if (used_ == 0 || to <= from) {
            wake_.wait(lock);
            continue;
        }
        lock.unlock();
        bool failed = false;
        for (std::uintptr_t at = from; at < to && !failed; at += kHugePage) {
            failed = ::madvise(reinterpret_cast<void*>(at), kHugePage, kPopulateWrite) != 0 &&
                     errno == EINVAL;  // a kernel without it: give up
        }
        lock.lock();
        filled = to;
        if (failed) {
            return;
        }
    }
}

}  // namespace salvage::detail
