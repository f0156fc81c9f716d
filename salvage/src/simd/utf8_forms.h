#pragma once

// What the plain UTF-8 check and the byte-at-a-time checker share.

#include <cstddef>

namespace salvage::detail {

// What a lead byte says of its sequence: its length (0 when the byte cannot begin one) and the
// range its second byte must fall in.
struct Lead {
    std::size_t length = 0;
    unsigned low = 0x80;
    unsigned high = 0xBF;
};

inline Lead leadForm(unsigned lead) {
    if (lead >= 0xC2 && lead <= 0xDF) {
        return {2, 0x80, 0xBF};
    }
    if (lead >= 0xE0 && lead <= 0xEF) {
        return {3, lead == 0xE0 ? 0xA0u : 0x80u, lead == 0xED ? 0x9Fu : 0xBFu};
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        return {4, lead == 0xF0 ? 0x90u : 0x80u, lead == 0xF4 ? 0x8Fu : 0xBFu};
    }
    return {};
}

// A control character of one byte other than tab, line feed and carriage return.
inline bool isControl(unsigned char byte) {
    return (byte < 0x20 && byte != '\t' && byte != '\n' && byte != '\r') || byte == 0x7F;
}

}  // namespace salvage::detail
