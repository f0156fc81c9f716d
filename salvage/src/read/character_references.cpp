#include "read/character_references.h"

#include "simd/utf8.h"

#include <array>
#include <cstdint>
#include <utility>

namespace salvage::detail {
namespace {

// "#61" or "#x3D": the character's number, or nothing for what is not one.
std::string numeric(std::string_view digits) {
    const bool hex = !digits.empty() && (digits[0] == 'x' || digits[0] == 'X');
    digits.remove_prefix(hex ? 1 : 0);
    if (digits.empty()) {
        return {};
    }
    std::uint32_t value = 0;
    for (const char c : digits) {
        std::uint32_t digit = 0;
        if (c >= '0' && c <= '9') {
            digit = static_cast<std::uint32_t>(c - '0');
        } else if (hex && c >= 'a' && c <= 'f') {
            digit = static_cast<std::uint32_t>(c - 'a' + 10);
        } else if (hex && c >= 'A' && c <= 'F') {
            digit = static_cast<std::uint32_t>(c - 'A' + 10);
        } else {
            return {};
        }
        value = value * (hex ? 16u : 10u) + digit;
        if (value > 0x10FFFF) {
            return {};
        }
    }
    // The zero character and surrogates are no characters a reference may name.
    if (value == 0 || (value >= 0xD800 && value <= 0xDFFF)) {
        return {};
    }
    std::string out;
    appendUtf8(value, out);
    return out;
}

}  // namespace

std::string resolveReference(std::string_view body) {
    static constexpr std::array<std::pair<std::string_view, char>, 5> kEntities = {{
        {"quot", '"'},
        {"amp", '&'},
        {"apos", '\''},
        {"lt", '<'},
        {"gt", '>'},
    }};
    if (!body.empty() && body[0] == '#') {
        return numeric(body.substr(1));
    }
    for (const auto& [name, character] : kEntities) {
        if (body == name) {
            return std::string(1, character);
        }
    }
    return {};
}

}  // namespace salvage::detail
