#include "salvage/section_tag_scan.h"

#include <new>

#include "ascii.h"
#include "io/file_descriptor.h"
#include "normalize/input_normalizer.h"
#include "read/section_line.h"
#include "read/tag_names.h"

namespace salvage {
namespace {

constexpr bool isLineBreak(char c) {
    return c == '\n' || c == '\r';
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
        const std::string_view local = detail::localName(name_);
        if (isLineBreak(c)) {
            if (local == detail::kSectionTagName) {
                found_ = true;
            } else if (detail::mayGoOnToSectionTag(local)) {
                afterBreak_ = true;
            } else {
                inName_ = false;
            }
        } else if (afterBreak_ && (c == ' ' || c == '\t')) {
            // the indentation of the line the name goes on in
        } else if ((name_.empty() ? detail::beginsTagName(c) : detail::isNameCharacter(c)) &&
                   name_.size() < detail::kLongestTagName) {
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
    found_ = found_ || (detail::localName(name_) == detail::kSectionTagName && terminator == ' ');
    inName_ = false;
}

bool SectionTagScanner::finish() {
    if (!found_) {
        normalized_.clear();
        normalizer_->finish(normalized_);
        scan(normalized_);
    }
    found_ = found_ || (inName_ && detail::localName(name_) == detail::kSectionTagName);
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
