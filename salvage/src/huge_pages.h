#pragma once

#include <cstddef>

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

}  // namespace salvage::detail
