#pragma once

#include <cstddef>

// Sanitizers bring their own allocator; the core then leaves memory to it, so that it checks
// every buffer.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define QLV_SANITIZER_ALLOCATOR 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || \
    __has_feature(memory_sanitizer)
#define QLV_SANITIZER_ALLOCATOR 1
#endif
#endif
#if !defined(QLV_SANITIZER_ALLOCATOR)
#define QLV_SANITIZER_ALLOCATOR 0
#endif

namespace salvage::detail {

// Decoded text is written once into fresh memory, so a large document costs one page fault per
// page it fills; with 4 KiB pages, and on virtual machines above all, those faults can cost more
// than all the decoding. This asks the kernel for 2 MiB pages where it allows them (transparent
// huge pages in "madvise" mode) on storage the core allocated itself; it touches nothing else in
// the process and changes no result, only speed.

// Advises the whole 2 MiB pages inside [begin, begin + size), typically a large string's
// reserved storage before it is written.
void adviseHugePages(void* begin, std::size_t size);

// Zeroed memory straight from the kernel, advised as above: pages cost nothing until written,
// and parts of it can be given back before the whole is freed. From 2 MiB on it starts on a
// 2 MiB boundary, so that only its tail is left out of huge pages. nullptr when there is none.
void* allocatePages(std::size_t size);
void freePages(void* begin, std::size_t size);
// Gives back the whole pages inside [begin, begin + size) of memory from allocatePages; they
// read as zero afterwards.
void discardPages(void* begin, std::size_t size);

}  // namespace salvage::detail
