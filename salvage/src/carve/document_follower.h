#pragma once

#include <cstdint>
#include <optional>

#include "carve/source_reader.h"
#include "salvage/carve.h"

namespace salvage::detail {

// Follows the document that starts at `start` cluster by cluster for as long as the bytes go
// on being its own, and past a gap of other data when a cluster within `lookAhead` carries on
// its text where it was cut off (a file stored in two pieces). Returns where it lies, or
// nothing when what starts there is not a document after all: its section texts are not
// Base64 of text, or there are none and no header with a root.
std::optional<DocumentPlace> followDocument(SourceReader& reader, std::uint64_t start,
                                            std::uint64_t lookAhead);

}  // namespace salvage::detail
