#include "store/page_pool.h"

#include <cstdint>
#include <new>
#include <stdexcept>
#include <utility>

#include "store/huge_pages.h"

namespace salvage::detail {
namespace {

constexpr std::size_t kAlignment = 64;
// Before each buffer carved from a chunk: the chunk it belongs to.
constexpr std::size_t kBufferHeader = kAlignment;
// A freed buffer below others still in use leaves a hole until the whole chunk is free; from
// this size on its pages are given back meanwhile rather than held.
constexpr std::size_t kGiveBackHolesFrom = std::size_t{1} << 20;

std::size_t carvedBytes(std::size_t bytes) {
    return kBufferHeader + (bytes + kAlignment - 1) / kAlignment * kAlignment;
}

}  // namespace

// Kept at the start of the chunk's own memory.
struct PagePool::Chunk {
    std::size_t used = kChunkHeader;  // bytes carved, this header included
    std::size_t live = 0;             // buffers not freed yet

    static constexpr std::size_t kChunkHeader = kAlignment;
    char* at(std::size_t offset) { return reinterpret_cast<char*>(this) + offset; }
};

PagePool::PagePool(Sizes sizes) : sizes_(sizes) {
    if (sizes_.idleChunks < 1 || sizes_.idleChunks > kMaxIdle ||
        sizes_.chunkBytes < carvedBytes(sizes_.chunkBytes / 4) + Chunk::kChunkHeader) {
        throw std::invalid_argument("PagePool: sizes out of range");
    }
}

PagePool::~PagePool() {
    for (std::size_t i = 0; i < idleCount_; ++i) {
        freePages(idle_[i], sizes_.chunkBytes);
    }
    if (current_ != nullptr && current_->live == 0) {
        freePages(current_, sizes_.chunkBytes);
    }
}

PagePool::Chunk* PagePool::takeChunk() {
    void* memory = nullptr;
    if (idleCount_ > 0) {
        memory = idle_[--idleCount_];  // the one freed last: its pages are the likeliest cached
    } else {
        memory = allocatePages(sizes_.chunkBytes);
        if (memory == nullptr) {
            throw std::bad_alloc();
        }
        ++chunksMapped_;
        ++chunksHeld_;
    }
    return new (memory) Chunk;
}

void PagePool::retire(Chunk* chunk) noexcept {
    // One place of the bound is left for the chunk buffers are carved from.
    if (idleCount_ + 1 < sizes_.idleChunks) {
        idle_[idleCount_++] = chunk;
        return;
    }
    freePages(chunk, sizes_.chunkBytes);
    --chunksHeld_;
}

void* PagePool::allocate(std::size_t bytes) {
    if (!ownsChunk(bytes)) {
        void* const own = allocatePages(bytes);
        if (own == nullptr) {
            throw std::bad_alloc();
        }
        return own;
    }
    const std::size_t carved = carvedBytes(bytes);
    const std::lock_guard lock(mutex_);
    if (current_ == nullptr || current_->used + carved > sizes_.chunkBytes) {
        Chunk* const previous = std::exchange(current_, takeChunk());
        if (previous != nullptr && previous->live == 0) {
            retire(previous);
        }
    }
    char* const at = current_->at(current_->used);
    current_->used += carved;
    ++current_->live;
    *reinterpret_cast<Chunk**>(at) = current_;
    return at + kBufferHeader;
}

void PagePool::deallocate(void* buffer, std::size_t bytes) noexcept {
    if (!ownsChunk(bytes)) {
        freePages(buffer, bytes);
        return;
    }
    char* const at = static_cast<char*>(buffer) - kBufferHeader;
    Chunk* const chunk = *reinterpret_cast<Chunk**>(at);
    const std::size_t carved = carvedBytes(bytes);
    const std::lock_guard lock(mutex_);
    if (--chunk->live == 0) {
        if (chunk == current_) {
            chunk->used = Chunk::kChunkHeader;
        } else {
            retire(chunk);
        }
    } else if (chunk->at(chunk->used) == at + carved) {
        chunk->used -= carved;  // the last buffer carved: its room serves the next one
    } else if (carved >= kGiveBackHolesFrom) {
        discardPages(buffer, bytes);
    }
}

PagePool::Usage PagePool::usage() const {
    const std::lock_guard lock(mutex_);
    const bool currentIdle = current_ != nullptr && current_->live == 0;
    return {chunksMapped_, chunksHeld_, idleCount_ + (currentIdle ? 1 : 0)};
}

PagePool& sharedPagePool() {
    alignas(PagePool) static unsigned char storage[sizeof(PagePool)];
    static PagePool* const pool = new (storage) PagePool();
    return *pool;
}

}  // namespace salvage::detail
