#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <string>

#include "salvage/section_map.h"
#include "store/huge_pages.h"
#include "store/page_pool.h"

namespace salvage::detail {

// Large buffers from the shared page pool (page_pool.h), small ones from the heap: a text of a
// few bytes is not worth a place in a chunk, nor is a large one worth its own page faults.
// Stateless, so strings using it move without copying. Under a sanitizer every buffer comes
// from the heap, where the sanitizer checks it.
template <class T>
class PageAllocator {
  public:
    using value_type = T;

    // From this size on, a buffer comes from the pool.
    static constexpr std::size_t kPooledFrom = std::size_t{64} << 10;

    PageAllocator() = default;
    template <class U>
    PageAllocator(const PageAllocator<U>& /*other*/) noexcept {}

    T* allocate(std::size_t count) {
        if (count > SIZE_MAX / sizeof(T)) {
            throw std::bad_array_new_length();
        }
        if (pooled(count)) {
            return static_cast<T*>(sharedPagePool().allocate(count * sizeof(T)));
        }
        return std::allocator<T>().allocate(count);
    }

    void deallocate(T* buffer, std::size_t count) noexcept {
        if (pooled(count)) {
            sharedPagePool().deallocate(buffer, count * sizeof(T));
        } else {
            std::allocator<T>().deallocate(buffer, count);
        }
    }

    friend bool operator==(const PageAllocator&, const PageAllocator&) { return true; }

  private:
    static bool pooled(std::size_t count) {
        return !QLV_SANITIZER_ALLOCATOR && count * sizeof(T) >= kPooledFrom;
    }
};

}  // namespace salvage::detail
