#pragma once

// How one line of a document is taken apart, and how a document's file name becomes its name.

#include <string>
#include <string_view>

namespace salvage {

// The Base64 of a section's name: from the second character after the first "name=" (found
// ignoring letter case) up to the next double quote, or to the end of the line when no double
// quote follows. Empty when the line has no "name=".
std::string extractName(std::string_view line);

// The line with every tag removed, a tag being "<", at least one character, and the nearest
// ">" after them. A "<" with no ">" at least two characters later stays, and so does all that
// follows it.
std::string stripTags(std::string_view line);

// The document's file name without its folder and with every ".qlx" and ".qll" removed,
// ignoring letter case.
std::string baseName(std::string_view fileName);

}  // namespace salvage
