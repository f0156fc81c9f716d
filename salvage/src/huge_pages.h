#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <thread>

namespace salvage::detail {

// Decoded text is written once into fresh memory, so a large document costs one page fault per
// page it fills; with 4 KiB pages, and on virtual machines above all, those faults can cost more
// than all the decoding. These helpers ask the kernel for 2 MiB pages where it allows them
// (transparent huge pages in "madvise" mode). They change no result, only speed.

// Advises the whole 2 MiB pages inside [begin, begin + size), typically a large string's
// reserved storage before it is written.
void adviseHugePages(void* begin, std::size_t size);

// Lets the heap grow ahead in large steps and advises what it grew by, so that many small texts
// also land on huge pages. Call it while reading, after allocating (cheap when nothing changed).
void adviseHeapGrowth();

// Fills fresh heap memory ahead of the reader on another core, so that the kernel's zeroing of
// new pages runs alongside the decoding instead of inside it. It only asks the kernel to map
// pages (never reads or writes them), so it cannot change what the reader stores. Keeps at most
// a few MiB ahead of use, and never more than the document can still need.
class HeapPrefaulter {
  public:
    // Starts the helper thread when the document is large enough for it to pay; otherwise, or
    // when no thread can be started, does nothing.
    explicit HeapPrefaulter(std::uint64_t expectedBytes);
    ~HeapPrefaulter();
    HeapPrefaulter(const HeapPrefaulter&) = delete;
    HeapPrefaulter& operator=(const HeapPrefaulter&) = delete;

    // The reader's storage now reaches `end`; at most `stillNeeded` more bytes may follow.
    void noteUse(const void* end, std::uint64_t stillNeeded);

  private:
    void run();

    std::mutex mutex_;
    std::condition_variable wake_;
    bool stop_ = false;
    std::uintptr_t used_ = 0;
    std::uintptr_t lastWake_ = 0;
    std::uint64_t stillNeeded_ = 0;
    std::thread thread_;
};

}  // namespace salvage::detail
