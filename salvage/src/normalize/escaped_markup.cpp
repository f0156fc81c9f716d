#include "normalize/escaped_markup.h"

#include <array>

#include "ascii.h"

namespace salvage::detail {
namespace {

struct Escape {
    std::string_view written;  // lower case
    char meaning;
};

constexpr std::array<Escape, 5> kEscapes = {{
    {"&lt;", '<'},
    {"&gt;", '>'},
    {"&quot;", '"'},
    {"&apos;", '\''},
    {"&amp;", '&'},
}};

constexpr std::string_view kEscapedOpen = "&lt;";
constexpr std::string_view kDeclaration = "?xml";
constexpr std::string_view kSection = "section";

constexpr bool isPrefixCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_' || c == '.';
}

// Where the name of a section tag ends when `tag`, what follows a "<" or "&lt;", begins with
// one, perhaps after a namespace prefix ("Section", "q:section"); 0 when it does not.
std::size_t sectionNameEnd(std::string_view tag) {
    constexpr std::size_t kLongestPrefix = 32;
    std::size_t prefix = 0;
    while (prefix < tag.size() && prefix < kLongestPrefix && isPrefixCharacter(tag[prefix])) {
        ++prefix;
    }
    const std::size_t start = prefix < tag.size() && tag[prefix] == ':' ? prefix + 1 : 0;
    return startsWithIgnoringCase(tag.substr(start), kSection) ? start + kSection.size() : 0;
}

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// A section tag as the document writes it: its name, a blank, and a "name=" attribute before
// the tag ends. A web page's own <section> element has no "name=".
bool literalSectionTag(std::string_view window) {
    constexpr std::size_t kLongestTag = 4096;
    for (std::size_t at = window.find('<'); at != std::string_view::npos;
         at = window.find('<', at + 1)) {
        const std::string_view rest = window.substr(at + 1);
        const std::size_t nameEnd = sectionNameEnd(rest);
        if (nameEnd == 0 || nameEnd == rest.size() || !isBlank(rest[nameEnd])) {
            continue;
        }
        std::string_view tag = rest.substr(nameEnd, kLongestTag);
        tag = tag.substr(0, tag.find('>'));
        for (std::size_t equals = tag.find('='); equals != std::string_view::npos;
             equals = tag.find('=', equals + 1)) {
            if (equals >= kNameAttribute.size() - 1 &&
                equalsIgnoringCase(
                    tag.substr(equals + 1 - kNameAttribute.size(), kNameAttribute.size()),
                    kNameAttribute)) {
                return true;
            }
        }
    }
    return false;
}

bool escapedDocumentTag(std::string_view window) {
    for (std::size_t at = window.find('&'); at != std::string_view::npos;
         at = window.find('&', at + 1)) {
        const std::string_view rest = window.substr(at);
        if (!startsWithIgnoringCase(rest, kEscapedOpen)) {
            continue;
        }
        const std::string_view tag = rest.substr(kEscapedOpen.size());
        if (startsWithIgnoringCase(tag, kDeclaration) || sectionNameEnd(tag) != 0) {
            return true;
        }
    }
    return false;
}

}  // namespace

bool looksEscapedMarkup(std::string_view window) {
    return escapedDocumentTag(window) && !literalSectionTag(window);
}

bool MarkupUnescaper::take(char c, std::string& out) {
    held_.push_back(c);
    for (const Escape& escape : kEscapes) {
        if (equalsIgnoringCase(escape.written, held_)) {
            out.push_back(escape.meaning);
            held_.clear();
            return true;
        }
    }
    for (const Escape& escape : kEscapes) {
        if (startsWithIgnoringCase(escape.written, held_)) {
            return true;
        }
    }
    // No escape: what was held stays as it is, and the byte is read afresh (it may be a "&").
    held_.pop_back();
    finish(out);
    return false;
}

void MarkupUnescaper::finish(std::string& out) {
    out += held_;
    held_.clear();
}

}  // namespace salvage::detail
