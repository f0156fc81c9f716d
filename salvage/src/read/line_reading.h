#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "salvage/reader.h"

namespace salvage::detail {

struct Implementation;

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
};

// The one place a reading is made from its public name. What it finds goes to `document`.
std::unique_ptr<LineReading> makeLineReading(Reading reading, Document& document,
                                             const Implementation& routines);

}  // namespace salvage::detail
