#include "qlv/memory_tuning.h"

namespace qlv {

// This allocator (or a sanitizer's) has no such setting.
void tuneMemoryForLargeDocuments(char** /*argv*/) {}

}  // namespace qlv
