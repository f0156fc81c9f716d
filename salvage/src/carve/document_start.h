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

// Whether another document starts after `after` and one of its lines breaks off into other
// data at a cluster boundary before `before` (within reach of it): a cluster at `before` that
// would carry on a document cut at `after` more likely carries on that nearer one.
bool documentCutOffBetween(SourceReader& reader, std::uint64_t after, std::uint64_t before);

}  // namespace salvage::detail
