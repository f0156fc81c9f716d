#pragma once

// What the Base64 decoders share: the table of character values and the room the vector
// routines may write past their output.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace salvage::detail {

inline constexpr std::uint8_t kBase64Invalid = 0x80;
inline constexpr std::uint8_t kBase64Padding = 0x81;

constexpr std::array<std::uint8_t, 256> makeBase64Table() {
    std::array<std::uint8_t, 256> table{};
    for (auto& entry : table) {
        entry = kBase64Invalid;
    }
    constexpr std::string_view alphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (std::size_t i = 0; i < alphabet.size(); ++i) {
        table[static_cast<unsigned char>(alphabet[i])] = static_cast<std::uint8_t>(i);
    }
    table[static_cast<unsigned char>('=')] = kBase64Padding;
    return table;
}

// A character's value (0..63), kBase64Padding for "=", kBase64Invalid for anything else.
inline constexpr auto kBase64Table = makeBase64Table();

// Output room the vector path may write past the bytes it produces.
inline constexpr std::size_t kBase64Slack = 32;

}  // namespace salvage::detail
