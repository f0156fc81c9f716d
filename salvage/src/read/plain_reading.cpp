#include "read/plain_reading.h"

#include <utility>

namespace salvage::detail {
namespace {

constexpr std::size_t kChunkRoomKept = std::size_t{4} << 20;

// One chunk of a document's lines, read apart from the document.
class PlainChunkReading final : public LineReading {
  public:
    PlainChunkReading(const Implementation& routines, bool startsDocument, std::size_t bytes,
                      std::unique_ptr<DecodedLines> lines)
        : decoder_(routines, startsDocument), lines_(std::move(lines)) {
        decoder_.setOutput(*lines_);
        if (bytes != 0) {
            lines_->texts.prepare(bytes, bytes, true);
        }
    }

    void feed(std::string_view piece, std::uint64_t restOfInput, bool lineEndsHere,
              std::uint64_t offset) override {
        decoder_.feed(piece, restOfInput, lineEndsHere, offset);
    }
    void endLine() override { decoder_.endLine(); }
    bool lineStarted() const override { return decoder_.lineStarted(); }
    bool refused() const override { return decoder_.refused(); }
    bool finish() override { return !decoder_.refused(); }

    DecodedLines& lines() { return *lines_; }
    std::unique_ptr<DecodedLines> takeLines() { return std::move(lines_); }
    const LineCounts& counts() const { return decoder_.counts(); }

  private:
    PlainLineDecoder decoder_;
    std::unique_ptr<DecodedLines> lines_;
};

}  // namespace

PlainReading::PlainReading(Document& document, const Implementation& routines)
    : document_(document), routines_(routines), decoder_(routines, true) {
    decoder_.setOutput(lines_[current_]);
    decoder_.setPrefetch(&document_.contents);
}

void PlainReading::endLine() {
    decoder_.endLine();
    if (!lines_[current_].sections.empty()) {
        lines_[1 - current_].storeInto(document_, report_);
        current_ = 1 - current_;
        decoder_.setOutput(lines_[current_]);
    }
}

bool PlainReading::finish() {
    lines_[1 - current_].storeInto(document_, report_);
    lines_[current_].storeInto(document_, report_);
    if (refused()) {
        return false;
    }
    count(decoder_.counts());
    report_.finish(document_.report);
    return true;
}

std::unique_ptr<LineReading> PlainReading::readChunk(bool startsDocument, std::size_t bytes) {
    std::unique_ptr<DecodedLines> lines;
    if (spareLines_.empty()) {
        lines = std::make_unique<DecodedLines>();
        // A chunk's texts take about three quarters of its bytes; growing past a reservation
        // doubles it, so twice that is kept.
        lines->names.keepRoomUpTo(kChunkRoomKept);
        lines->texts.keepRoomUpTo(kChunkRoomKept);
    } else {
        lines = std::move(spareLines_.back());
        spareLines_.pop_back();
    }
    return std::make_unique<PlainChunkReading>(routines_, startsDocument, bytes, std::move(lines));
}

void PlainReading::merge(LineReading& chunk) {
    auto& read = static_cast<PlainChunkReading&>(chunk);
    if (read.refused()) {
        refused_ = true;
        return;
    }
    read.lines().storeInto(document_, report_, document_.report.linesRead);
    count(read.counts());
    spareLines_.push_back(read.takeLines());
}

void PlainReading::count(const LineCounts& counts) {
    document_.report.linesRead += counts.lines;
    document_.report.sectionLines += counts.sectionLines;
    document_.report.skippedLookalikes += counts.lookalikes;
}

}  // namespace salvage::detail
