#pragma once

#include <cstddef>
#include <cstring>
#include <string_view>

#include "ascii_case.h"

namespace salvage::detail {

using qlv::equalsIgnoringCase;
using qlv::startsWithIgnoringCase;
using qlv::toLowerAscii;

inline const char* findByte(const char* begin, const char* end, char byte) {
    return static_cast<const char*>(
        std::memchr(begin, byte, static_cast<std::size_t>(end - begin)));
}

inline constexpr std::string_view kHeaderPrefix = "<?xml ";      // lower case
inline constexpr std::string_view kSectionPrefix = "<section ";  // lower case
inline constexpr std::string_view kNameAttribute = "name=";      // lower case

}  // namespace salvage::detail
