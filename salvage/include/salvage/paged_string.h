#pragma once

#include <string>

namespace salvage::detail {

// The core's decoded texts: strings whose large buffers come from its page pool, where they are
// faulted in 2 MiB at a time and reused from one document to the next
// (salvage/src/store/page_allocator.h).
template <class T>
class PageAllocator;
using PagedString = std::basic_string<char, std::char_traits<char>, PageAllocator<char>>;

}  // namespace salvage::detail
