#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "salvage/reader.h"

namespace salvage::detail {

struct Implementation;
class ChunkedLines;

// A way of reading a document, handed its lines by the reader: each line in pieces as the
// input arrives, then its end. Each reading keeps its own state.
class LineReading {
  public:
    virtual ~LineReading() = default;

    // The text whose lines are to be read, made from the next chunk of input: a reading that
    // brings its input into form first returns its own text. `after` bounds the input after the
    // chunk, and is changed to bound what follows the text returned.
    virtual std::string_view input(std::string_view chunk, std::uint64_t& after) {
        static_cast<void>(after);
        return chunk;
    }
    // What is left of the input once it has ended, still to be read.
    virtual std::string_view endInput() { return {}; }

    // `piece` is part of the current line and begins at `offset` in the text read; `restOfInput`
    // bounds how long the line can still be, and equals the piece's size when `lineEndsHere`.
    virtual void feed(std::string_view piece, std::uint64_t restOfInput, bool lineEndsHere,
                      std::uint64_t offset) = 0;
    virtual void endLine() = 0;
    // Whether the current line has any bytes yet.
    virtual bool lineStarted() const = 0;
    // Whether the document is refused already: the rest of the input can change nothing.
    virtual bool refused() const = 0;
    // Ends the reading; returns whether the document is accepted.
    virtual bool finish() = 0;

    // How to read the lines apart, in chunks side by side, when a line's reading does not
    // depend on the lines before it; null otherwise.
    virtual ChunkedLines* chunked() { return nullptr; }
};

// A reading's lines read in chunks that each begin at a line's start: a chunk is read by a
// reading of its own, on any thread, into its own storage; what it found is then merged into
// the document, chunk after chunk in the input's order, on the thread that reads.
class ChunkedLines {
  public:
    // A reading of the next chunk, of `bytes` bytes (0: not known yet). `startsDocument`: the
    // chunk begins with the document's first line.
    virtual std::unique_ptr<LineReading> readChunk(bool startsDocument, std::size_t bytes) = 0;
    // Stores what the chunk reading found (it must be one of readChunk's, read to its end).
    virtual void merge(LineReading& chunk) = 0;

  protected:
    ~ChunkedLines() = default;
};

// The one place a reading is made from its public name. What it finds goes to `document`.
std::unique_ptr<LineReading> makeLineReading(Reading reading, Document& document,
                                             const Implementation& routines);

}  // namespace salvage::detail
