#pragma once

#include <string_view>

#include "ascii_case.h"

namespace salvage::detail {

using qlv::equalsIgnoringCase;
using qlv::startsWithIgnoringCase;
using qlv::toLowerAscii;

inline constexpr std::string_view kHeaderPrefix = "<?xml ";      // lower case
inline constexpr std::string_view kSectionPrefix = "<section ";  // lower case
inline constexpr std::string_view kNameAttribute = "name=";      // lower case

}  // namespace salvage::detail
