#include "salvage/section_tag_scan.h"

#include <new>

#include "ascii.h"
#include "file_descriptor.h"
#include "section_line.h"

namespace salvage {
namespace {

constexpr std::string_view kTagName = "section";  // lower case

constexpr bool isLineBreak(char c) {
    return c == '\n' || c == '\r';
}

}  // namespace

bool SectionTagScanner::feed(std::string_view piece) {
    const char* p = piece.data();
    const char* const end = p + piece.size();
    while (p != end && !found_) {
        if (!inName_) {
            p = detail::findByte(p, end, '<');
            if (p == nullptr) {
                break;
            }
            ++p;
            inName_ = true;
            matched_ = 0;
            afterBreak_ = false;
            continue;
        }
        const char c = *p;
        const bool complete = matched_ == kTagName.size();
        if (isLineBreak(c)) {
            found_ = complete;
            afterBreak_ = true;
        } else if (afterBreak_ && (c == ' ' || c == '\t')) {
            // the indentation of the line the name goes on in
        } else if (complete || detail::toLowerAscii(c) != kTagName[matched_]) {
            found_ = complete && c == ' ';
            inName_ = false;
            continue;  // not a tag: this character may begin one
        } else {
            ++matched_;
            afterBreak_ = false;
        }
        ++p;
    }
    return found_;
}

bool SectionTagScanner::finish() {
    found_ = found_ || (inName_ && matched_ == kTagName.size());
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
