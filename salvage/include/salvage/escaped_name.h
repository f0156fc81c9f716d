#pragma once

#include <string>
#include <string_view>

namespace salvage {

// A section name made safe to print on a line of its own: a line break is written "\n", a
// tab "\t", a backslash "\\" and any other control character "\xHH", so that a name holding a
// line break cannot pass for two names. Every other byte is kept as it is.
std::string escapedName(std::string_view name);

// Whether escapedName() writes `byte` as an escape.
constexpr bool isEscapedByte(unsigned char byte) {
    return byte < 0x20 || byte == 0x7F || byte == '\\';
}

// Whether escapedName() would change `name`.
bool needsEscaping(std::string_view name);

// Appends the escape of one byte: the forms above, and "\xHH" for any other byte.
void appendEscapedByte(std::string& out, unsigned char byte);

}  // namespace salvage
