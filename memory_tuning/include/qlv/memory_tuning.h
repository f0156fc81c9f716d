#pragma once

namespace qlv {

// Asks the allocator to put the heap on 2 MiB pages (transparent huge pages) and to keep
// blocks of up to 32 MiB on it, so that storing the text of a large document costs a page fault
// per 2 MiB instead of per 4 KiB; on a virtual machine that is most of the time of a large read.
// It changes no result, only speed.
//
// glibc takes this setting only as the process starts, so the first call starts the program
// again (the same executable, `argv`, with the setting added to its environment) and does not
// return; in the program so started, and wherever the setting cannot be made, it returns at
// once. Process-wide, so only a program's main calls it, before anything else; the build picks
// a version that does nothing where the allocator has no such setting.
void tuneMemoryForLargeDocuments(char** argv);

}  // namespace qlv
