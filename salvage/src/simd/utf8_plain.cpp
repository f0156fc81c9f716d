#include <cstdint>
#include <cstring>

#include "simd/kernels.h"
#include "simd/utf8_forms.h"

namespace salvage::detail {

bool isValidUtf8Plain(const unsigned char* s, std::size_t size) {
    const auto* const end = s + size;
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
        const Lead form = leadForm(lead);
        const std::size_t length = form.length;
        if (length == 0) {
            return false;
        }
        if (static_cast<std::size_t>(end - s) < length || s[1] < form.low || s[1] > form.high) {
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

bool hasControlsPlain(const unsigned char* s, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) {
        // U+0080 to U+009F are 0xC2 followed by 0x80 to 0x9F.
        if (isControl(s[i]) ||
            (s[i] == 0xC2 && i + 1 < size && s[i + 1] >= 0x80 && s[i + 1] < 0xA0)) {
            return true;
        }
    }
    return false;
}

}  // namespace salvage::detail
