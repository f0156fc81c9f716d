#pragma once

#include <string>

#include "normalize/input_normalizer.h"
#include "read/line_reading.h"
#include "read/thorough_reader.h"

namespace salvage::detail {

// The thorough reading as the reader sees it: the input is brought into form by the
// normalizer, a chunk at a time, and its lines go to the ThoroughReader.
class ThoroughReading final : public LineReading {
  public:
    ThoroughReading(Document& document, const Implementation& routines)
        : document_(document), reader_(document, routines) {}

    std::string_view input(std::string_view chunk, std::uint64_t& after) override {
        after = normalizer_.normalizedBound(after);
        return normalizer_.normalize(chunk, normalized_);
    }
    std::string_view endInput() override {
        normalized_.clear();
        normalizer_.finish(normalized_);
        return normalized_;
    }
    void feed(std::string_view piece, std::uint64_t restOfInput, bool lineEndsHere,
              std::uint64_t offset) override {
        static_cast<void>(lineEndsHere);
        reader_.feed(piece, restOfInput, offset);
    }
    void endLine() override {
        ++document_.report.linesRead;
        reader_.endLine();
    }
    bool lineStarted() const override { return reader_.lineStarted(); }
    bool refused() const override { return false; }  // decided only at the end
    bool finish() override;

  private:
    Document& document_;
    ThoroughReader reader_;
    InputNormalizer normalizer_;
    std::string normalized_;
};

}  // namespace salvage::detail
