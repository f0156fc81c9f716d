#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

#include "carve/source_reader.h"
#include "salvage/carve.h"

namespace salvage::detail {

// One part of a carving: the documents that start in [from, to), each followed as far as it
// goes, and the ranges of [from, to) that could not be read.
struct Share {
    std::uint64_t from = 0;
    std::uint64_t to = 0;
    std::vector<DocumentPlace> places;
    std::vector<ByteRange> unreadable;
    std::uint64_t bytesRead = 0;
    bool done = false;
};

struct ScanContext {
    int fd = -1;
    std::uint64_t size = 0;
    std::size_t window = 0;  // bytes looked through at a time
    std::uint64_t lookAhead = 0;
    const std::atomic<bool>* stop = nullptr;     // the caller's
    const std::atomic<bool>* abandon = nullptr;  // carve()'s own, when it must end early
    std::atomic<std::uint64_t>* done = nullptr;  // bytes looked through, all threads
    std::atomic<std::size_t>* found = nullptr;   // documents found, all threads
};

// What a scan hands on as it goes, in the order of offsets within its share.
struct ShareFindings {
    std::function<void(DocumentPlace&&)> place;
    std::function<void(const ByteRange&)> unreadable;
    std::function<void()> afterWindow;  // may be unset
};

// Looks through shares one after another, keeping its windows from one to the next.
class ShareScanner {
  public:
    explicit ShareScanner(const ScanContext& context);

    // Returns the bytes of the share read.
    std::uint64_t scan(std::uint64_t from, std::uint64_t to, const ShareFindings& findings);

  private:
    bool stopped() const;

    const ScanContext& context_;
    SourceReader scan_;
    SourceReader follow_;
};

}  // namespace salvage::detail
