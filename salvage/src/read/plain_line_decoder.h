#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "read/decoded_lines.h"
#include "read/prefix_matcher.h"
#include "read/section_line.h"
#include "salvage/base64.h"

namespace salvage::detail {

struct Implementation;

// The plain reading of lines: the first line of a document must be the header; every later
// line that begins with "<Section " is a section line, whose name and text are decoded, as the
// line streams past, into the DecodedLines it is given.
class PlainLineDecoder {
  public:
    // `startsDocument`: whether the first line fed is the document's first line.
    PlainLineDecoder(const Implementation& routines, bool startsDocument);

    // Where the section lines from the next one on go.
    void setOutput(DecodedLines& output) { output_ = &output; }
    // A map whose index to fetch into the cache for each name, as soon as it is decoded.
    void setPrefetch(const SectionMap* contents) { prefetch_ = contents; }

    // `offset`: where the piece begins in the bytes read.
    void feed(std::string_view piece, std::uint64_t restOfInput, bool lineEndsHere,
              std::uint64_t offset);
    void endLine();
    bool lineStarted() const { return mode_ != Mode::Prefix || !prefix_.taken().empty(); }
    bool refused() const { return refused_; }
    const LineCounts& counts() const { return counts_; }

  private:
    enum class Mode { Prefix, Section, Skip };

    // Decodes into the output's storage, where the section line's own part begins after those
    // of the lines before it.
    class Sink {
      public:
        using Mark = Base64Decoder::Checkpoint;

        Sink(const Implementation& routines, TextStorage& storage)
            : decoder_(routines), storage_(&storage) {}
        void append(const char* begin, const char* end) {
            if (begin != end) {
                decoder_.feed(std::string_view(begin, static_cast<std::size_t>(end - begin)),
                              storage_->text());
            }
        }
        Mark mark() const { return decoder_.checkpoint(storage_->text()); }
        void rollback(const Mark& mark) { decoder_.rollback(mark, storage_->text()); }
        void finish() { decoder_.finish(storage_->text()); }
        ReportBuilder::Damage damage() const {
            return {decoder_.skippedBytes(), decoder_.incompleteGroups()};
        }

      private:
        Base64Decoder decoder_;
        TextStorage* storage_;
    };

    // The section line being read.
    struct SectionLine {
        SectionLine(const Implementation& routines, DecodedLines& output)
            : nameBegin(output.names.text().size()),
              textBegin(output.texts.text().size()),
              nameSink(routines, output.names),
              body(routines, output.texts) {}

        std::size_t nameBegin;
        std::size_t textBegin;
        Sink nameSink;
        Sink body;
        NameScanner<Sink> name;
        TagScanner<Sink> tags;
    };

    void startSection(std::string_view start, std::string_view piece, std::uint64_t restOfInput,
                      bool lineEndsHere);
    void feedSection(std::string_view piece);
    void nameDone();
    void finishSection();
    // Lists the current line among the damaged ones; returns its row.
    std::size_t listLine(std::uint16_t what);

    const Implementation& routines_;
    DecodedLines* output_ = nullptr;
    const SectionMap* prefetch_ = nullptr;
    LineCounts counts_;
    bool refused_ = false;
    bool firstLine_;
    Mode mode_ = Mode::Prefix;
    CaseBlindPrefix prefix_;
    std::optional<SectionLine> section_;
    LookalikeScanner lookalike_;
    // Where the current line stands.
    bool lineFed_ = false;
    std::uint64_t lineOffset_ = 0;
    std::uint64_t lineLength_ = 0;
};

}  // namespace salvage::detail
