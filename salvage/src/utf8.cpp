#include "utf8.h"

#include <cstdint>
#include <cstring>

namespace salvage::detail {

bool isValidUtf8(std::string_view text) {
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const auto* const end = s + text.size();
    while (s != end) {
        // Most salvaged text is ASCII: skip it eight bytes at a time.
        while (end - s >= 8) {
            std::uint64_t word;
            std::memcpy(&word, s, sizeof word);
            if ((word & 0x8080808080808080ULL) != 0) {
                break;
            }
            s += 8;
        }
        if (s == end) {
            break;
        }
        const unsigned lead = *s;
        if (lead < 0x80) {
            ++s;
            continue;
        }
        std::size_t length = 0;
        unsigned low = 0x80;
        unsigned high = 0xBF;  // allowed range of the second byte
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            if (lead == 0xE0) {
                low = 0xA0;
            } else if (lead == 0xED) {
                high = 0x9F;
            }
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            if (lead == 0xF0) {
                low = 0x90;
            } else if (lead == 0xF4) {
                high = 0x8F;
            }
        } else {
            return false;
        }
        if (static_cast<std::size_t>(end - s) < length || s[1] < low || s[1] > high) {
            return false;
        }
        for (std::size_t k = 2; k < length; ++k) {
            if ((s[k] & 0xC0) != 0x80) {
                return false;
            }
        }
        s += length;
    }
    return true;
}

}  // namespace salvage::detail
