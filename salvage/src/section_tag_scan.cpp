#include "salvage/section_tag_scan.h"

#include <new>

#include "ascii.h"
#include "file_descriptor.h"
#include "input_normalizer.h"
#include "section_line.h"

namespace salvage {
namespace {

constexpr std::string_view kTagName = "section";  // lower case
constexpr std::string_view kEndTagName = "/section";
// A longer run of name characters after "<" is no tag name: the thorough reading gives up there.
constexpr std::size_t kLongestTagName = 32;

constexpr bool isLineBreak(char c) {
    return c == '\n' || c == '\r';
}

constexpr bool isTagNameCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_' || c == ':' || c == '.';
}

std::string_view localName(std::string_view name) {
    const std::size_t colon = name.rfind(':');
    return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

}  // namespace

SectionTagScanner::SectionTagScanner() : normalizer_(std::make_unique<detail::InputNormalizer>()) {}
SectionTagScanner::~SectionTagScanner() = default;

bool SectionTagScanner::feed(std::string_view piece) {
    if (!found_) {
        scan(normalizer_->normalize(piece, normalized_));
    }
    return found_;
}

void SectionTagScanner::scan(std::string_view text) {
    const char* p = text.data();
    const char* const end = p + text.size();
    while (p != end && !found_) {
        if (!inName_) {
            p = detail::findByte(p, end, '<');
            if (p == nullptr) {
                break;
            }
            ++p;
            inName_ = true;
            name_.clear();
            afterBreak_ = false;
            continue;
        }
        const char c = *p;
        const std::string_view local = localName(name_);
        if (isLineBreak(c)) {
            if (local == kTagName) {
                found_ = true;
            } else if (kTagName.starts_with(local) || kEndTagName.starts_with(local)) {
                afterBreak_ = true;
            } else {
                inName_ = false;
            }
        } else if (afterBreak_ && (c == ' ' || c == '\t')) {
            // the indentation of the line the name goes on in
        } else if ((name_.empty() ? isTagNameCharacter(c) || c == '/' || c == '?' || c == '!'
                                  : isTagNameCharacter(c)) &&
                   name_.size() < kLongestTagName) {
            name_.push_back(detail::toLowerAscii(c));
            afterBreak_ = false;
        } else {
            endName(c);
            continue;  // not part of the name: this character may begin a tag
        }
        ++p;
    }
}

void SectionTagScanner::endName(char terminator) {
    found_ = found_ || (localName(name_) == kTagName && terminator == ' ');
    inName_ = false;
}

bool SectionTagScanner::finish() {
    if (!found_) {
        normalized_.clear();
        normalizer_->finish(normalized_);
        scan(normalized_);
    }
    found_ = found_ || (inName_ && localName(name_) == kTagName);
    return found_;
}

bool holdsSectionTag(const std::filesystem::path& file) {
    detail::OpenedFile opened;
    if (detail::openRegularFile(file, opened)) {
        return false;
    }
    SectionTagScanner scanner;
    try {
        detail::readBlocks(opened.fd.get(),
                           [&](std::string_view block) { return !scanner.feed(block); });
    } catch (const std::bad_alloc&) {
        return scanner.found();
    }
    return scanner.finish();
}

}  // namespace salvage
