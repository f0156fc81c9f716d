#include "read/plain_reading.h"

namespace salvage::detail {

void PlainReading::feed(std::string_view piece, std::uint64_t restOfInput, bool lineEndsHere,
                        std::uint64_t offset) {
    static_cast<void>(offset);
    if (mode_ == Mode::Prefix) {
        const std::size_t taken = prefix_.feed(piece);
        piece.remove_prefix(taken);
        restOfInput -= taken;
        if (prefix_.undecided()) {
            return;  // the piece ended inside the prefix
        }
        const std::string_view start = prefix_.taken();
        if (lineIndex_ == 0 && !prefix_.matched()) {
            refused_ = true;
            return;
        }
        if (lineIndex_ != 0 && prefix_.matched()) {
            mode_ = Mode::Section;
            section_.emplace(routines_, decodedLines_[currentLine_]);
            section_->prepare(start.size() + piece.size(), start.size() + restOfInput,
                              lineEndsHere);
            section_->feed(start, document_.contents);
            section_->feed(piece, document_.contents);
            return;
        }
        mode_ = Mode::Skip;
        lookalike_.feed(start);
    }
    if (mode_ == Mode::Section) {
        section_->prepare(piece.size(), restOfInput, lineEndsHere);
        section_->feed(piece, document_.contents);
    } else {
        lookalike_.feed(piece);
    }
}

void PlainReading::endLine() {
    if (mode_ == Mode::Prefix && lineIndex_ == 0) {
        refused_ = true;  // the first line is shorter than the header
        return;
    }
    ++document_.report.linesRead;
    if (mode_ == Mode::Section) {
        ++document_.report.sectionLines;
        section_->finish(document_.contents);
        section_.reset();
        storeWaitingLine();
        currentLine_ = 1 - currentLine_;
    } else if (lookalike_.found()) {
        ++document_.report.skippedLookalikes;
    }
    ++lineIndex_;
    mode_ = Mode::Prefix;
    prefix_.restart(kSectionPrefix);
    lookalike_.restart();
}

bool PlainReading::finish() {
    storeWaitingLine();
    if (!refused_) {
        report_.finish(document_.report);
    }
    return !refused_;
}

}  // namespace salvage::detail
