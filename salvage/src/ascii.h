#pragma once

#include <cstddef>
#include <string_view>

namespace salvage::detail {

constexpr char toLowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// True when `text` equals `lowerPattern` ignoring ASCII letter case; `lowerPattern` must be
// written in lower case.
constexpr bool equalsIgnoringCase(std::string_view text, std::string_view lowerPattern) {
    if (text.size() != lowerPattern.size()) {
        return false;
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (toLowerAscii(text[i]) != lowerPattern[i]) {
            return false;
        }
    }
    return true;
}

constexpr bool startsWithIgnoringCase(std::string_view text, std::string_view lowerPattern) {
    return text.size() >= lowerPattern.size() &&
           equalsIgnoringCase(text.substr(0, lowerPattern.size()), lowerPattern);
}

inline constexpr std::string_view kHeaderPrefix = "<?xml ";      // lower case
inline constexpr std::string_view kSectionPrefix = "<section ";  // lower case
inline constexpr std::string_view kNameAttribute = "name=";      // lower case

}  // namespace salvage::detail
