#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "read/line_reading.h"
#include "read/plain_section_line.h"
#include "read/prefix_matcher.h"
#include "report/report_builder.h"

namespace salvage::detail {

// The plain reading: the first line must be the header; every line that begins with
// "<Section " is a section line, decoded and stored as it streams past.
class PlainReading final : public LineReading {
  public:
    PlainReading(Document& document, const Implementation& routines)
        : document_(document), routines_(routines) {}

    void feed(std::string_view piece, std::uint64_t restOfInput, bool lineEndsHere,
              std::uint64_t offset) override;
    void endLine() override;
    bool lineStarted() const override { return mode_ != Mode::Prefix || !prefix_.taken().empty(); }
    bool refused() const override { return refused_; }
    bool finish() override;

  private:
    enum class Mode { Prefix, Section, Skip };

    // Stores the section line read before the current one, if it waits.
    void storeWaitingLine() { decodedLines_[1 - currentLine_].storeInto(document_, report_); }

    Document& document_;
    const Implementation& routines_;
    ReportBuilder report_;
    bool refused_ = false;
    std::size_t lineIndex_ = 0;
    Mode mode_ = Mode::Prefix;
    CaseBlindPrefix prefix_{kHeaderPrefix};
    std::array<DecodedLine, 2> decodedLines_;
    std::size_t currentLine_ = 0;  // the one of decodedLines_ the current line decodes to
    std::optional<SectionLine> section_;
    LookalikeScanner lookalike_;
};

}  // namespace salvage::detail
