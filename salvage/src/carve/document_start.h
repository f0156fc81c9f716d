#pragma once

#include <cstdint>

#include "carve/source_reader.h"

namespace salvage::detail {

// Whether a document starts at the "<" at `offset`: a header followed by a Quillora root or a
// section tag, wherever it stands, or a section tag that opens its line (or a cluster) and does
// not go on from the same document's content. Looks at most one cluster back and a little ahead,
// always the same bytes for the same offset, so that any share of a source finds the same
// starts as the whole.
bool startsDocument(SourceReader& reader, std::uint64_t offset);

// Whether the cluster before `cluster` ends in the middle of a line that could be a document's
// (Base64, or tags): then `cluster` most likely goes on from it, and is no piece of a document
// cut off elsewhere.
bool flowsFromPreviousCluster(SourceReader& reader, std::uint64_t cluster);

}  // namespace salvage::detail
