#include "simd/base64_groups.h"
#include "simd/kernels.h"

namespace salvage::detail {

std::size_t decodeCleanGroupsPlain(const unsigned char* in, std::size_t size, char* out,
                                   std::size_t& written) {
    std::size_t consumed = 0;
    char* const start = out;
    while (size - consumed >= 4) {
        const unsigned a = kBase64Table[in[consumed]];
        const unsigned b = kBase64Table[in[consumed + 1]];
        const unsigned c = kBase64Table[in[consumed + 2]];
        const unsigned d = kBase64Table[in[consumed + 3]];
        if (((a | b | c | d) & kBase64Invalid) != 0) {
            break;
        }
        const unsigned bits = (a << 18) | (b << 12) | (c << 6) | d;
        out[0] = static_cast<char>(bits >> 16);
        out[1] = static_cast<char>((bits >> 8) & 0xFF);
        out[2] = static_cast<char>(bits & 0xFF);
        out += 3;
        consumed += 4;
    }
    written = static_cast<std::size_t>(out - start);
    return consumed;
}

}  // namespace salvage::detail
