#include "read/plain_line_decoder.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>

#include "simd/utf8.h"

namespace salvage::detail {

PlainLineDecoder::PlainLineDecoder(const Implementation& routines, bool startsDocument)
    : routines_(routines),
      firstLine_(startsDocument),
      prefix_(startsDocument ? kHeaderPrefix : kSectionPrefix) {}

void PlainLineDecoder::feed(std::string_view piece, std::uint64_t restOfInput, bool lineEndsHere,
                            std::uint64_t offset) {
    if (!lineFed_) {
        lineFed_ = true;
        lineOffset_ = offset;
    }
    lineLength_ += piece.size();
    if (mode_ == Mode::Prefix) {
        const std::size_t taken = prefix_.feed(piece);
        piece.remove_prefix(taken);
        restOfInput -= taken;
        if (prefix_.undecided()) {
            return;  // the piece ended inside the prefix
        }
        if (firstLine_ && !prefix_.matched()) {
            refused_ = true;
            return;
        }
        if (!firstLine_ && prefix_.matched()) {
            startSection(prefix_.taken(), piece, restOfInput, lineEndsHere);
            return;
        }
        mode_ = Mode::Skip;
        lookalike_.feed(prefix_.taken());
    }
    if (mode_ == Mode::Section) {
        output_->texts.prepare(piece.size(), restOfInput, lineEndsHere);
        feedSection(piece);
    } else {
        lookalike_.feed(piece);
    }
}

void PlainLineDecoder::startSection(std::string_view start, std::string_view piece,
                                    std::uint64_t restOfInput, bool lineEndsHere) {
    mode_ = Mode::Section;
    section_.emplace(routines_, *output_);
    output_->texts.prepare(start.size() + piece.size(), start.size() + restOfInput, lineEndsHere);
    feedSection(start);
    feedSection(piece);
}

void PlainLineDecoder::feedSection(std::string_view piece) {
    SectionLine& line = *section_;
    if (!line.name.done()) {
        line.name.feed(piece, line.nameSink);
        if (line.name.done()) {
            nameDone();
        }
    }
    line.tags.feed(piece, line.body);
}

void PlainLineDecoder::nameDone() {
    section_->nameSink.finish();
    if (prefetch_ != nullptr) {
        const std::string_view names = output_->names.text();
        prefetch_->prefetch(names.substr(section_->nameBegin));
    }
}

void PlainLineDecoder::finishSection() {
    SectionLine& line = *section_;
    if (!line.name.done()) {
        nameDone();
    }
    line.body.finish();
    DecodedLines::Section decoded;
    PagedString& texts = output_->texts.text();
    const std::size_t length = texts.size() - line.textBegin;
    // Checked here, while the text is still in the cache.
    decoded.validUtf8 =
        isValidUtf8(std::string_view(texts).substr(line.textBegin, length), routines_);
    decoded.nameDamage = line.nameSink.damage();
    decoded.textDamage = line.body.damage();
    decoded.nameEnd = output_->names.text().size();
    // A long text keeps a string of its own, which the map can take over without a copy.
    if (length >= SectionMap::kKeptWholeFrom) {
        decoded.kept = true;
        if (line.textBegin == 0) {
            output_->wholes.push_back(std::move(output_->texts.finished()));
            texts.clear();
        } else {
            output_->wholes.emplace_back(texts, line.textBegin, length);
            texts.resize(line.textBegin);
        }
    }
    decoded.textEnd = texts.size();
    std::uint16_t what = 0;
    if (decoded.nameDamage.any()) {
        what |= DamagedLine::NameDamaged;
    }
    if (decoded.textDamage.any()) {
        what |= DamagedLine::TextDamaged;
    }
    if (!decoded.validUtf8) {
        what |= DamagedLine::NotText;
    }
    if (what != 0) {
        decoded.damagedRow = listLine(what);
        DamagedLine& row = output_->damaged.back();
        row.characters = static_cast<std::uint32_t>(std::min<std::size_t>(
            decoded.nameDamage.skippedBytes + decoded.textDamage.skippedBytes, UINT32_MAX));
        row.groups = static_cast<std::uint32_t>(std::min<std::size_t>(
            decoded.nameDamage.incompleteGroups + decoded.textDamage.incompleteGroups, UINT32_MAX));
    }
    output_->sections.push_back(decoded);
    section_.reset();
}

std::size_t PlainLineDecoder::listLine(std::uint16_t what) {
    DamagedLine row;
    row.line = counts_.lines;  // counted already, from 1
    row.offset = lineOffset_;
    row.length = lineLength_;
    row.what = what;
    output_->damaged.push_back(row);
    return output_->damaged.size() - 1;
}

void PlainLineDecoder::endLine() {
    if (mode_ == Mode::Prefix && firstLine_) {
        refused_ = true;  // the first line is shorter than the header
        return;
    }
    ++counts_.lines;
    if (mode_ == Mode::Section) {
        ++counts_.sectionLines;
        finishSection();
    } else if (lookalike_.found()) {
        ++counts_.lookalikes;
        listLine(DamagedLine::Lookalike);
    }
    lineFed_ = false;
    lineLength_ = 0;
    if (firstLine_) {
        firstLine_ = false;
        prefix_.restart(kSectionPrefix);
    } else {
        prefix_.restart();
    }
    mode_ = Mode::Prefix;
    lookalike_.restart();
}

}  // namespace salvage::detail
