#pragma once

// The routines that have a version per instruction set, gathered in one table so that callers
// (and tests) pick a version once instead of asking the processor at every call.

#include <cstddef>
#include <span>
#include <string_view>

namespace salvage::detail {

struct Implementation {
    std::string_view name;
    // Decodes whole groups of four alphabet characters from `in` while they last. Returns how
    // many input characters were consumed; `written` receives the bytes produced. May write up
    // to kBase64Slack bytes past them. Null where runs are not decoded at once: the decoders
    // then go one character at a time.
    std::size_t (*decodeCleanGroups)(const unsigned char* in, std::size_t size, char* out,
                                     std::size_t& written);
    // Whether the bytes are well-formed UTF-8.
    bool (*isValidUtf8)(const unsigned char* s, std::size_t size);
    // Whether the bytes hold a control character other than tab, line feed and carriage
    // return (U+0080 to U+009F included, as 0xC2 0x80 to 0xC2 0x9F).
    bool (*hasControls)(const unsigned char* s, std::size_t size);
};

// The plain version, on any processor.
const Implementation& plainImplementation();
// The plain version without decoding runs of groups at once: the reference the others are
// compared with.
const Implementation& characterAtATime();
// Every version this build holds that this processor can run, the plain one first.
std::span<const Implementation* const> supportedImplementations();
// The fastest supported version, chosen on first use.
const Implementation& bestImplementation();
// The version of that name ("plain", "character at a time", "avx2") if this processor runs it,
// so that a test or a benchmark can pin one.
const Implementation* findImplementation(std::string_view name);

}  // namespace salvage::detail
