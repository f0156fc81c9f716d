#pragma once

// How the thorough reading tells a tag by its name, shared by the reading itself and by the
// scan that decides whether a file holds a section tag at all: both must agree.

#include <cstddef>
#include <string_view>

namespace salvage::detail {

// Longer than any tag name a document uses: a "<" followed by more name characters than this
// is a damaged character inside Base64, not a tag.
inline constexpr std::size_t kLongestTagName = 32;

inline constexpr std::string_view kSectionTagName = "section";  // lower case
inline constexpr std::string_view kEndTagName = "/section";

// Characters of tag and attribute names.
constexpr bool isNameCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_' || c == ':' || c == '.';
}

// What may follow "<" in a tag: a name, an end tag's "/", or "<?" and "<!".
constexpr bool beginsTagName(char c) {
    return isNameCharacter(c) || c == '/' || c == '?' || c == '!';
}

// A name without its namespace prefix ("q:Section" is a section tag too).
constexpr std::string_view localName(std::string_view name) {
    const std::size_t colon = name.rfind(':');
    return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

// Whether a tag name (lower case, without prefix) that a line break cut may still go on to a
// section's start or end tag: damage may put a line break inside the name.
constexpr bool mayGoOnToSectionTag(std::string_view local) {
    return kSectionTagName.starts_with(local) || kEndTagName.starts_with(local);
}

}  // namespace salvage::detail
