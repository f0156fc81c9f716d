#include "salvage/reader.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <new>
#include <optional>
#include <stdexcept>
#include <utility>
#include <vector>

#include "ascii.h"
#include "normalize/input_normalizer.h"
#include "read/section_line.h"
#include "read/thorough_reader.h"
#include "report/report_builder.h"
#include "salvage/base64.h"
#include "salvage/line_breaks.h"
#include "salvage/section_line.h"
#include "simd/implementation.h"
#include "simd/utf8.h"
#include "store/text_storage.h"

namespace salvage {
namespace {

// Decodes what the scanners hand it straight into storage that serves line after line.
class DecoderSink {
  public:
    using Mark = Base64Decoder::Checkpoint;

    DecoderSink(const detail::Implementation& routines, detail::TextStorage& storage)
        : decoder_(routines), storage_(storage) {}

    void append(const char* begin, const char* end) {
        if (begin != end) {
            decoder_.feed(std::string_view(begin, static_cast<std::size_t>(end - begin)),
                          storage_.text());
        }
    }
    Mark mark() const { return decoder_.checkpoint(storage_.text()); }
    void rollback(const Mark& mark) { decoder_.rollback(mark, storage_.text()); }

    void prepare(std::size_t knownBytes, std::uint64_t rest, bool endsHere) {
        storage_.prepare(knownBytes, rest, endsHere);
    }
    detail::PagedString& finish() {
        decoder_.finish(storage_.text());
        return storage_.finished();
    }
    detail::ReportBuilder::Damage damage() const {
        return {decoder_.skippedBytes(), decoder_.incompleteGroups()};
    }

  private:
    Base64Decoder decoder_;
    detail::TextStorage& storage_;
};

// A section line read to its end, and where it decodes to. Two of them take turns, kept from
// one line to the next, so that a document of many short sections does not allocate for each.
//
// A line is stored in the map only once the next one has been read: where its name goes in the
// index is fetched into the cache meanwhile. With millions of short sections, waiting for that
// is otherwise most of the time.
struct DecodedLine {
    detail::TextStorage name;
    detail::TextStorage text;
    detail::ReportBuilder::Damage nameDamage;
    detail::ReportBuilder::Damage textDamage;
    bool validUtf8 = true;
    bool waiting = false;  // read to its end, not stored yet

    void storeInto(Document& document, detail::ReportBuilder& report) {
        if (!waiting) {
            return;
        }
        waiting = false;
        const SectionMap::Stored stored =
            document.contents.assignOwned(name.text(), std::move(text.text()));
        report.noteSectionLine(document.report, stored.index, nameDamage, textDamage, validUtf8,
                               stored.replacedLength ? &*stored.replacedLength : nullptr);
        name.reset();
        text.reset();
    }
};

// One section line, taken apart as it streams past.
class SectionLine {
  public:
    SectionLine(const detail::Implementation& routines, DecodedLine& line)
        : routines_(routines),
          line_(line),
          nameSink_(routines, line.name),
          body_(routines, line.text) {}

    // Makes room for the text of the next `knownBytes` of the line. `restOfLine`: how long the
    // rest of the line, from them on, can be at most; `lineEndsHere`: whether the line is known
    // to end with them.
    void prepare(std::size_t knownBytes, std::uint64_t restOfLine, bool lineEndsHere) {
        body_.prepare(knownBytes, restOfLine, lineEndsHere);
    }

    void feed(std::string_view piece, const SectionMap& contents) {
        if (!name_.done()) {
            name_.feed(piece, nameSink_);
            if (name_.done()) {
                contents.prefetch(nameSink_.finish());
            }
        }
        tags_.feed(piece, body_);
    }

    // Ends the line; it then waits in its DecodedLine to be stored.
    void finish(const SectionMap& contents) {
        if (!name_.done()) {
            contents.prefetch(nameSink_.finish());
        }
        // Checked here, while the text is still in the cache.
        line_.validUtf8 = detail::isValidUtf8(body_.finish(), routines_);
        line_.nameDamage = nameSink_.damage();
        line_.textDamage = body_.damage();
        line_.waiting = true;
    }

  private:
    const detail::Implementation& routines_;
    DecodedLine& line_;
    DecoderSink nameSink_;
    DecoderSink body_;
    detail::NameScanner<DecoderSink> name_;
    detail::TagScanner<DecoderSink> tags_;
};

// Notices "<Section " (any letter case) anywhere in a line that is not read as a section line.
class LookalikeScanner {
  public:
    void feed(std::string_view piece) {
        const char* p = piece.data();
        const char* const end = p + piece.size();
        while (p != end && !found_) {
            if (matched_ == 0) {
                p = detail::findByte(p, end, '<');
                if (p == nullptr) {
                    return;
                }
                matched_ = 1;
                ++p;
                continue;
            }
            const char c = *p++;
            if (detail::toLowerAscii(c) == detail::kSectionPrefix[matched_]) {
                found_ = ++matched_ == detail::kSectionPrefix.size();
            } else {
                matched_ = c == '<' ? 1 : 0;
            }
        }
    }
    bool found() const { return found_; }

  private:
    std::size_t matched_ = 0;
    bool found_ = false;
};

}  // namespace

struct DocumentReader::State {
    enum class Mode { Prefix, Section, Skip };

    explicit State(const detail::Implementation& chosen) : routines(chosen) {}

    const detail::Implementation& routines;

    Document document;
    detail::ReportBuilder reportBuilder;
    bool refused = false;
    std::uint64_t expectedSize = 0;
    std::uint64_t fedSize = 0;
    LineSplitter lines;
    std::uint64_t linesFed = 0;    // bytes handed to the line splitter so far
    std::uint64_t partOffset = 0;  // where the part of a line being fed begins among them

    // The current line.
    std::size_t lineIndex = 0;
    Mode mode = Mode::Prefix;
    std::string prefix;
    std::array<DecodedLine, 2> decodedLines;
    std::size_t currentLine = 0;  // the one of decodedLines the current line decodes to
    std::optional<SectionLine> section;

    // Stores the section line read before the current one, if it waits.
    void storeWaitingLine() { decodedLines[1 - currentLine].storeInto(document, reportBuilder); }
    LookalikeScanner lookalike;
    std::optional<detail::ThoroughReader> thorough;
    // The thorough reading reads the input as the normalizer turns it out, a chunk at a time.
    std::optional<detail::InputNormalizer> normalizer;
    std::string normalized;

    std::string_view wantedPrefix() const {
        return lineIndex == 0 ? detail::kHeaderPrefix : detail::kSectionPrefix;
    }

    // `piece` is part of the current line; `restOfInput` bounds how long the line can still be,
    // and equals the piece's size when the line is known to end with it.
    void feedLine(std::string_view piece, std::uint64_t restOfInput, bool lineEndsHere) {
        if (thorough) {
            thorough->feed(piece, restOfInput, partOffset);
            return;
        }
        if (mode == Mode::Prefix) {
            const std::string_view wanted = wantedPrefix();
            std::size_t taken = 0;
            bool mismatch = false;
            while (!mismatch && taken < piece.size() && prefix.size() < wanted.size()) {
                const char c = piece[taken++];
                prefix.push_back(c);
                mismatch = detail::toLowerAscii(c) != wanted[prefix.size() - 1];
            }
            piece.remove_prefix(taken);
            restOfInput -= taken;
            if (!mismatch && prefix.size() < wanted.size()) {
                return;  // still undecided: the piece ended inside the prefix
            }
            const bool complete = !mismatch;
            if (lineIndex == 0 && !complete) {
                refused = true;
                return;
            }
            if (lineIndex != 0 && complete) {
                mode = Mode::Section;
                section.emplace(routines, decodedLines[currentLine]);
                section->prepare(prefix.size() + piece.size(), prefix.size() + restOfInput,
                                 lineEndsHere);
                section->feed(prefix, document.contents);
                section->feed(piece, document.contents);
                return;
            }
            mode = Mode::Skip;
            lookalike.feed(prefix);
        }
        if (mode == Mode::Section) {
            section->prepare(piece.size(), restOfInput, lineEndsHere);
            section->feed(piece, document.contents);
        } else {
            lookalike.feed(piece);
        }
    }

    // Hands the lines of `text` to feedLine; `afterText` bounds the input that follows it.
    void splitLines(std::string_view text, std::uint64_t afterText) {
        const std::uint64_t textOffset = linesFed;
        linesFed += text.size();
        lines.feed(text, [&](std::string_view part, bool endsLine) {
            partOffset = textOffset + static_cast<std::uint64_t>(part.data() - text.data());
            feedLine(part, endsLine ? part.size() : part.size() + afterText, endsLine);
            if (refused) {
                return false;
            }
            if (endsLine) {
                endLine();
            }
            return !refused;
        });
    }

    void endLine() {
        if (thorough) {
            ++document.report.linesRead;
            ++lineIndex;
            thorough->endLine();
            return;
        }
        if (mode == Mode::Prefix && lineIndex == 0) {
            refused = true;  // the first line is shorter than the header
            return;
        }
        ++document.report.linesRead;
        if (mode == Mode::Section) {
            ++document.report.sectionLines;
            section->finish(document.contents);
            section.reset();
            storeWaitingLine();
            currentLine = 1 - currentLine;
        } else if (lookalike.found()) {
            ++document.report.skippedLookalikes;
        }
        ++lineIndex;
        mode = Mode::Prefix;
        prefix.clear();
        lookalike = LookalikeScanner();
    }
};

DocumentReader::DocumentReader(Reading reading)
    : DocumentReader(reading, detail::bestImplementation()) {}

DocumentReader::DocumentReader(Reading reading, const detail::Implementation& routines)
    : state_(std::make_unique<State>(routines)) {
    if (reading == Reading::Thorough) {
        state_->thorough.emplace(state_->document, routines);
        state_->normalizer.emplace();
    }
}
DocumentReader::~DocumentReader() = default;

void DocumentReader::expectSize(std::uint64_t totalBytes) {
    state_->expectedSize = totalBytes;
}

void DocumentReader::feed(std::string_view chunk) {
    State& s = *state_;
    s.fedSize += chunk.size();
    // Bytes of the input after this chunk, as far as the expected size tells.
    const std::uint64_t afterChunk = s.expectedSize > s.fedSize ? s.expectedSize - s.fedSize : 0;
    if (s.refused) {
        return;
    }
    if (s.normalizer) {
        s.splitLines(s.normalizer->normalize(chunk, s.normalized),
                     s.normalizer->normalizedBound(afterChunk));
        return;
    }
    s.splitLines(chunk, afterChunk);
}

bool DocumentReader::refused() const {
    return state_->refused;
}

ParseResult DocumentReader::finish(std::string_view fileName) {
    State& s = *state_;
    if (s.normalizer) {
        s.normalized.clear();
        s.normalizer->finish(s.normalized);
        s.splitLines(s.normalized, 0);
    }
    // A final line break ends the last line; it does not start another one.
    const bool lineStarted =
        s.thorough ? s.thorough->lineStarted() : s.mode != State::Mode::Prefix || !s.prefix.empty();
    if (!s.refused && (s.lineIndex == 0 || lineStarted)) {
        s.endLine();
    }
    s.storeWaitingLine();
    if (s.thorough && !s.thorough->finish()) {
        s.refused = true;
    }
    if (s.normalizer && !s.refused) {
        s.document.report.thorough->input = s.normalizer->findings();
    }
    ParseResult result;
    if (s.refused) {
        result.status = ReadStatus::Refused;
        result.reason = s.fedSize == 0 ? "The file is empty"
                                       : "Its first line is not a Quillora document header";
        return result;
    }
    result.status = ReadStatus::Accepted;
    result.document = std::move(s.document);
    result.document.filename = baseName(fileName);
    s.reportBuilder.finish(result.document.report);
    return result;
}

ParseResult parseText(std::string_view text, std::string_view fileName, Reading reading) {
    DocumentReader reader(reading);
    reader.expectSize(text.size());
    reader.feed(text);
    return reader.finish(fileName);
}

}  // namespace salvage
