#pragma once

#include <array>
#include <cstddef>
#include <mutex>

namespace salvage::detail {

// Where the core's large buffers come from: decoded texts and the section map's shared blocks.
//
// Fresh memory costs a page fault per page on first touch, about 10 us per 4 KiB on a virtual
// machine, which for a large document is more than all the decoding. So buffers are carved one
// after another out of chunks mapped on 2 MiB boundaries and advised for huge pages (a fault per
// 2 MiB where the system has them), and a chunk whose buffers are all freed is kept for the next
// document, its pages still in place, up to a bound; beyond it, chunks go back to the system.
// A buffer too large to share a chunk gets a mapping of its own.
//
// Safe to use from several threads at once. Buffers are aligned to 64 bytes; their bytes are
// unspecified (a reused chunk holds what was written before).
class PagePool {
  public:
    struct Sizes {
        std::size_t chunkBytes = std::size_t{16} << 20;  // a multiple of 2 MiB
        std::size_t idleChunks = 4;  // kept with all their buffers freed, at most kMaxIdle
    };
    static constexpr std::size_t kMaxIdle = 8;

    PagePool() : PagePool(Sizes{}) {}
    explicit PagePool(Sizes sizes);
    // Gives back the chunks kept idle; every buffer must have been freed.
    ~PagePool();
    PagePool(const PagePool&) = delete;
    PagePool& operator=(const PagePool&) = delete;

    // Throws std::bad_alloc when the system has no memory for it.
    void* allocate(std::size_t bytes);
    // `bytes`: as given to allocate.
    void deallocate(void* buffer, std::size_t bytes) noexcept;

    // What the pool has taken from the system, for tests and benchmarks.
    struct Usage {
        std::size_t chunksMapped = 0;  // ever
        std::size_t chunksHeld = 0;    // now, in use or idle
        std::size_t idleChunks = 0;    // now, every buffer in them freed
    };
    Usage usage() const;

  private:
    struct Chunk;

    bool ownsChunk(std::size_t bytes) const { return bytes <= sizes_.chunkBytes / 4; }
    Chunk* takeChunk();
    void retire(Chunk* chunk) noexcept;

    const Sizes sizes_;
    mutable std::mutex mutex_;
    Chunk* current_ = nullptr;  // where the next buffer is carved from
    std::array<Chunk*, kMaxIdle> idle_{};
    std::size_t idleCount_ = 0;
    std::size_t chunksMapped_ = 0;
    std::size_t chunksHeld_ = 0;
};

// The pool the core's storage shares within a process. Never destroyed, so that storage freed
// while the process ends (a map held by a static object) still has it.
PagePool& sharedPagePool();

}  // namespace salvage::detail
