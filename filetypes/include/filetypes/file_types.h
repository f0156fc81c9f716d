#pragma once

#include "filetypes/definitions.h"
#include "filetypes/file_type.h"

namespace FileTypes {

// Creates the four types and registers them, in definition order. Calling it again replaces
// them.
void Initialize(filetypes::Registry& registry = filetypes::Registry::global());

// Releases the four types, which takes them out of the registry.
void Release();

// The plain-text type that exports are saved as; null before Initialize() and after Release().
filetypes::FileType* Simpletext();

}  // namespace FileTypes
