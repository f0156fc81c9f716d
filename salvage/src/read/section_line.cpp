#include "salvage/section_line.h"

#include <string>

#include "read/section_line.h"

namespace salvage {

std::string extractName(std::string_view line) {
    std::string name;
    detail::StringSink sink(name);
    detail::NameScanner<detail::StringSink> scanner;
    scanner.feed(line, sink);
    return name;
}

std::string stripTags(std::string_view line) {
    std::string body;
    body.reserve(line.size());
    detail::StringSink sink(body);
    detail::TagScanner<detail::StringSink> scanner;
    scanner.feed(line, sink);
    return body;
}

namespace {

// Removes every occurrence of `lowerPattern` (any letter case), in one left-to-right pass.
std::string removeAllIgnoringCase(std::string_view text, std::string_view lowerPattern) {
    std::string result;
    result.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        if (detail::startsWithIgnoringCase(text.substr(i), lowerPattern)) {
            i += lowerPattern.size();
        } else {
            result.push_back(text[i++]);
        }
    }
    return result;
}

}  // namespace

std::string baseName(std::string_view fileName) {
    if (const auto slash = fileName.find_last_of('/'); slash != std::string_view::npos) {
        fileName.remove_prefix(slash + 1);
    }
    return removeAllIgnoringCase(removeAllIgnoringCase(fileName, ".qlx"), ".qll");
}

}  // namespace salvage
