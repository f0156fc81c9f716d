#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

#include "salvage/carve.h"

namespace salvage::detail {

// One thread's part of a carving: the documents that start in [from, to), each followed as
// far as it goes, and the ranges of [from, to) that could not be read.
struct Share {
    std::uint64_t from = 0;
    std::uint64_t to = 0;
    std::vector<DocumentPlace> places;
    std::vector<ByteRange> unreadable;
    std::uint64_t bytesRead = 0;
};

struct ScanContext {
    int fd = -1;
    std::uint64_t size = 0;
    std::size_t window = 0;  // bytes looked through at a time
    std::uint64_t lookAhead = 0;
    const std::atomic<bool>* stop = nullptr;
    std::atomic<std::uint64_t>* done = nullptr;  // bytes looked through, all threads
    std::atomic<std::size_t>* found = nullptr;   // documents found, all threads
};

// Looks through `share`; `afterWindow` (when set) is called after each window.
void scanShare(const ScanContext& context, Share& share, const std::function<void()>& afterWindow);

}  // namespace salvage::detail
