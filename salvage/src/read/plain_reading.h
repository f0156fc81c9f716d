#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "read/decoded_lines.h"
#include "read/line_reading.h"
#include "read/plain_line_decoder.h"
#include "report/report_builder.h"

namespace salvage::detail {

// The plain reading: the first line must be the header; every line that begins with
// "<Section " is a section line, decoded as it streams past and stored in order. Its lines can
// also be read apart, in chunks, and what each chunk found stored afterwards.
class PlainReading final : public LineReading, private ChunkedLines {
  public:
    PlainReading(Document& document, const Implementation& routines);

    void feed(std::string_view piece, std::uint64_t restOfInput, bool lineEndsHere,
              std::uint64_t offset) override {
        decoder_.feed(piece, restOfInput, lineEndsHere, offset);
    }
    void endLine() override;
    bool lineStarted() const override { return decoder_.lineStarted(); }
    bool refused() const override { return refused_ || decoder_.refused(); }
    bool finish() override;
    ChunkedLines* chunked() override { return this; }

  private:
    std::unique_ptr<LineReading> readChunk(bool startsDocument, std::size_t bytes) override;
    void merge(LineReading& chunk) override;
    void count(const LineCounts& counts);

    Document& document_;
    const Implementation& routines_;
    ReportBuilder report_;
    bool refused_ = false;
    PlainLineDecoder decoder_;
    // Two take turns, kept from one line to the next, so that a document of many short
    // sections does not allocate for each. A section line is stored only once the next one
    // has been read: where its name goes in the index is fetched into the cache meanwhile.
    // With millions of short sections, waiting for that is otherwise most of the time.
    std::array<DecodedLines, 2> lines_;
    std::size_t current_ = 0;  // the one of lines_ the current line decodes to
    // The storage of chunks already merged, for the next chunks: fresh memory for every chunk
    // would cost a page fault per page, more than its decoding.
    std::vector<std::unique_ptr<DecodedLines>> spareLines_;
};

}  // namespace salvage::detail
