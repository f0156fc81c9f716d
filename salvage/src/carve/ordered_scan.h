#pragma once

#include <functional>
#include <vector>

#include "carve/share_scan.h"

namespace salvage::detail {

struct OrderedFindings {
    std::function<void(DocumentPlace&&)> place;
    // The unreadable ranges before a place, neighbouring ones joined, just before it.
    std::function<void(const ByteRange&)> unreadable;
    std::function<void()> progress;  // now and then; may be unset
};

// Looks through `shares` (in offset order) with `threads` threads, the caller's own alone when
// it is one, and hands each document's place to `findings.place` on the caller's thread, in the
// order of offsets, as soon as every place before it is known: documents are read while the
// rest of the source is looked through. Each share's unreadable ranges and bytes read are
// left in it. An exception from `findings` or a scan ends every thread before it goes on.
// Returns the unreadable ranges after the last place, not handed on.
std::vector<ByteRange> scanInOrder(const ScanContext& context, std::vector<Share>& shares,
                                   unsigned threads, const OrderedFindings& findings);

}  // namespace salvage::detail
