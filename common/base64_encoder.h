#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qlv {

// A plain Base64 encoder, written apart from the decoder it helps to test: the command line
// gives exact bytes in its JSON with it, and tests, fuzz targets and benchmarks make documents
// with it. Without `pad`, a short last group has no "=".
inline std::string encodeBase64(std::string_view bytes, bool pad = true) {
    static constexpr char alphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    const auto byte = [bytes](std::size_t i) {
        return std::uint32_t{static_cast<unsigned char>(bytes[i])};
    };
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        const std::uint32_t v = byte(i) << 16 | byte(i + 1) << 8 | byte(i + 2);
        for (int shift = 18; shift >= 0; shift -= 6) {
            out.push_back(alphabet[(v >> shift) & 63]);
        }
    }
    const std::size_t rest = bytes.size() - i;
    if (rest != 0) {
        const std::uint32_t v = byte(i) << 16 | (rest == 2 ? byte(i + 1) << 8 : 0);
        out.push_back(alphabet[(v >> 18) & 63]);
        out.push_back(alphabet[(v >> 12) & 63]);
        if (rest == 2) {
            out.push_back(alphabet[(v >> 6) & 63]);
        }
        if (pad) {
            out.append(3 - rest, '=');
        }
    }
    return out;
}

}  // namespace qlv
