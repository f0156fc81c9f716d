#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace salvage::detail {

// Finds where another file's cluster was written into a section's body, by the widths of its
// lines: a writer keeps a body on one line or wraps all of it at one width.
// - Lines of one narrower width right after a long body line on the tag's line are another
//   file's, from the sector boundary in that line's last stretch where they began; where a line
//   wider than them comes back, the section's own text comes back with it, from the sector
//   boundary near that line's start.
// - A far longer line after a body wrapped at one width is another file's from the sector
//   boundary near its start.
//
// The reader tells it the section text of each line as it is fed, split at sector boundaries
// while it asks for them, and how much text was decoded by then; it answers with the places
// where the section's text is to be parted. Its counts are of the bytes as they stand in the
// line, white space included: lines of one writer carry the same indentation.
class LineWidthSeams {
  public:
    struct Cut {
        std::size_t decoded = 0;  // of the section's text, where the part after the cut begins
        std::size_t line = 0;     // where that part begins, counted from 0
    };

    // A section's text begins on `line`, with nothing decoded yet.
    void startSection(std::size_t line);
    // The section ended, or its text met damage, which leaves the places of its text unsure.
    void endSection() { weighing_ = false; }
    // Where the text fed on `line` is to be split at sector boundaries: at none, at the last
    // one in each stretch fed (which tells the last in the line without a split every sector
    // of a long body), or at every one.
    enum class Boundaries { None, Last, Every };
    Boundaries wanted(std::size_t line) const {
        if (!weighing_) {
            return Boundaries::None;
        }
        if (otherWidth_ != 0 || wrapped()) {
            return Boundaries::Every;
        }
        return line == sectionLine_ ? Boundaries::Last : Boundaries::None;
    }
    // `bytes` more of the section's text stand on `line`; `decoded` bytes of the section's text
    // are decoded after them; `atBoundary`: they end on a sector boundary.
    std::optional<Cut> text(std::size_t line, std::uint64_t bytes, std::size_t decoded,
                            bool atBoundary);
    // `line` ended, `decoded` bytes of the section's text decoded by then.
    std::optional<Cut> endLine(std::size_t line, std::size_t decoded);

  private:
    struct Boundary {
        std::uint64_t inLine = 0;  // bytes of the line's text before it
        std::size_t decoded = 0;
    };

    void newLine();
    // Whether the lines after the tag's line have been of one width so far.
    bool wrapped() const;

    bool weighing_ = false;
    std::size_t sectionLine_ = 0;

    // The line being fed.
    std::uint64_t lineText_ = 0;
    std::optional<Boundary> firstBoundary_;
    std::optional<Boundary> lastBoundary_;

    // The body as it stood on the tag's line.
    std::uint64_t tagLineText_ = 0;
    std::size_t tagLineDecoded_ = 0;
    std::optional<Boundary> tagLineBoundary_;

    // Lines of one width in a row after the tag's line.
    std::uint64_t runWidth_ = 0;
    std::size_t runLines_ = 0;
    std::size_t runFirstLine_ = 0;
    std::uint64_t otherWidth_ = 0;  // the width of the other file's lines, once found
};

}  // namespace salvage::detail
