// The tag scan on raw bytes: stripping tags never adds bytes, keeps the rest in order (the
// result is a subsequence of the line) and agrees with a plain scan of the same rule; the name
// found is a piece of the line.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "salvage/reader.h"
#include "salvage/section_line.h"

namespace {

using qlv_fuzz::check;

bool isSubsequence(std::string_view part, std::string_view of) {
    std::size_t at = 0;
    for (char c : part) {
        at = of.find(c, at);
        if (at == std::string_view::npos) {
            return false;
        }
        ++at;
    }
    return true;
}

// A tag is "<", at least one character, and the nearest ">" after them; tags are removed left
// to right without overlapping. Once a "<" has no ">" two or more places after it, no later
// "<" can have one either, so the rest of the line stays.
std::string stripPlainly(std::string_view line) {
    std::string out;
    std::size_t at = 0;
    while (at < line.size()) {
        const std::size_t open = line.find('<', at);
        if (open == std::string_view::npos || open + 2 > line.size()) {
            break;
        }
        const std::size_t close = line.find('>', open + 2);
        if (close == std::string_view::npos) {
            break;
        }
        out.append(line.substr(at, open - at));
        at = close + 1;
    }
    out.append(line.substr(std::min(at, line.size())));
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    const std::string_view line(reinterpret_cast<const char*>(bytes), size);

    const std::string stripped = salvage::stripTags(line);
    check(stripped.size() <= line.size(), "stripping tags never adds bytes");
    check(isSubsequence(stripped, line), "what stays of a line stays in order");
    check(stripped == stripPlainly(line), "the tag scan agrees with the plain scan");
    check(salvage::stripTags(stripped).size() <= stripped.size(), "stripping again adds nothing");

    const std::string name = salvage::extractName(line);
    check(name.size() <= line.size(), "a name is no longer than its line");
    check(line.find(name) != std::string_view::npos, "a name is a piece of its line");
    return 0;
}
