#include "salvage/escaped_name.h"

#include <algorithm>

namespace salvage {

void appendEscapedByte(std::string& out, unsigned char byte) {
    switch (byte) {
        case '\n':
            out += "\\n";
            return;
        case '\t':
            out += "\\t";
            return;
        case '\\':
            out += "\\\\";
            return;
        default: {
            constexpr std::string_view kDigits = "0123456789ABCDEF";
            out += "\\x";
            out += kDigits[byte >> 4];
            out += kDigits[byte & 0xF];
        }
    }
}

bool needsEscaping(std::string_view name) {
    return std::any_of(name.begin(), name.end(),
                       [](char c) { return isEscapedByte(static_cast<unsigned char>(c)); });
}

std::string escapedName(std::string_view name) {
    std::string out;
    out.reserve(name.size());
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (isEscapedByte(byte)) {
            appendEscapedByte(out, byte);
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace salvage
