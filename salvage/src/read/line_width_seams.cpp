#include "read/line_width_seams.h"

namespace salvage::detail {
namespace {

// Wrapped lines of one width in a row before they are taken for another file's: lines a damaged
// line break parts fall into one width by chance now and then, three in a row hardly ever.
constexpr std::size_t kEvenLines = 3;
// Narrower lines than this are no writer's wrapping.
constexpr std::uint64_t kNarrowestWrap = 16;
// How much longer than the wrapped lines the body on the tag's line is: a wrapped body whose
// first line breaks were lost makes a longer first line, but seldom this much longer.
constexpr std::uint64_t kLongerBy = 8;

}  // namespace

void LineWidthSeams::startSection(std::size_t line) {
    weighing_ = true;
    sectionLine_ = line;
    tagLineText_ = 0;
    tagLineDecoded_ = 0;
    tagLineBoundary_.reset();
    runWidth_ = 0;
    runLines_ = 0;
    otherWidth_ = 0;
    newLine();
}

void LineWidthSeams::newLine() {
    lineText_ = 0;
    firstBoundary_.reset();
    lastBoundary_.reset();
}

std::optional<LineWidthSeams::Cut> LineWidthSeams::text(std::size_t line, std::uint64_t bytes,
                                                        std::size_t decoded, bool atBoundary) {
    if (!weighing_) {
        return std::nullopt;
    }
    lineText_ += bytes;
    if (atBoundary) {
        lastBoundary_ = Boundary{lineText_, decoded};
        if (!firstBoundary_) {
            firstBoundary_ = lastBoundary_;
        }
    }
    // A line wider than the other file's lines brings the section's own long line back; one
    // far wider than the section's own wrapped lines brings another file's.
    const std::uint64_t width = otherWidth_ != 0 ? otherWidth_ : wrapped() ? runWidth_ : 0;
    const std::uint64_t widest = otherWidth_ != 0 ? otherWidth_ : kLongerBy * runWidth_;
    if (width == 0 || lineText_ <= widest) {
        return std::nullopt;
    }
    weighing_ = false;
    if (firstBoundary_ && firstBoundary_->inLine <= width) {
        return Cut{firstBoundary_->decoded, line};
    }
    return std::nullopt;
}

bool LineWidthSeams::wrapped() const {
    return runLines_ >= kEvenLines && runFirstLine_ == sectionLine_ + 1 &&
           runWidth_ >= kNarrowestWrap;
}

std::optional<LineWidthSeams::Cut> LineWidthSeams::endLine(std::size_t line, std::size_t decoded) {
    if (!weighing_) {
        return std::nullopt;
    }
    std::optional<Cut> cut;
    if (line == sectionLine_) {
        tagLineText_ = lineText_;
        tagLineDecoded_ = decoded;
        tagLineBoundary_ = lastBoundary_;
    } else if (otherWidth_ == 0) {
        if (lineText_ == runWidth_) {
            ++runLines_;
        } else {
            runWidth_ = lineText_;
            runLines_ = 1;
            runFirstLine_ = line;
        }
        if (runFirstLine_ != sectionLine_ + 1) {
            weighing_ = false;  // the lines after the tag's line are not of one width
        } else if (runLines_ == kEvenLines && wrapped() && tagLineText_ >= kLongerBy * runWidth_) {
            otherWidth_ = runWidth_;
            // The other file's cluster began at the sector boundary before the last line of
            // its own in the tag's line; without one there, at the line break.
            if (tagLineBoundary_ && tagLineText_ - tagLineBoundary_->inLine < otherWidth_) {
                cut = Cut{tagLineBoundary_->decoded, sectionLine_};
            } else {
                cut = Cut{tagLineDecoded_, sectionLine_ + 1};
            }
        }
    }
    newLine();
    return cut;
}

}  // namespace salvage::detail
