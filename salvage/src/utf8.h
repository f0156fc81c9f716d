#pragma once

#include <string_view>

namespace salvage::detail {

// Whether `text` is well-formed UTF-8 (no overlong forms, surrogates or values past U+10FFFF).
bool isValidUtf8(std::string_view text);

// Tests turn the vector path off to compare it with the plain one.
extern bool utf8FastPathEnabled;

}  // namespace salvage::detail
