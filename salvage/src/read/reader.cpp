#include "salvage/reader.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <utility>

#include "read/line_reading.h"
#include "read/parallel_lines.h"
#include "salvage/line_breaks.h"
#include "salvage/section_line.h"
#include "simd/implementation.h"

namespace salvage {

struct DocumentReader::State {
    State(const ReadOptions& options, const detail::Implementation& routines,
          const detail::ChunkTuning& chunkTuning)
        : reading(detail::makeLineReading(options.reading, document, routines)),
          threads(options.threads),
          tuning(chunkTuning) {}

    Document document;
    std::unique_ptr<detail::LineReading> reading;
    unsigned threads;
    detail::ChunkTuning tuning;
    std::uint64_t expectedSize = 0;
    std::uint64_t fedSize = 0;
    bool started = false;
    // Set when the lines are read in chunks side by side.
    std::optional<detail::ParallelLines> parallel;
    LineSplitter lines;
    std::uint64_t linesFed = 0;  // bytes handed to the line splitter so far
    bool anyLineEnded = false;

    void start() {
        started = true;
        // A document known to be short is read on this thread alone: chunks would only cost.
        const bool large = expectedSize == 0 || expectedSize >= tuning.parallelFrom;
        if (threads > 1 && large) {
            if (detail::ChunkedLines* chunks = reading->chunked(); chunks != nullptr) {
                parallel.emplace(*reading, *chunks, threads, tuning, expectedSize);
            }
        }
    }

    // Hands the lines of `text` to the reading; `afterText` bounds the input that follows it.
    void splitLines(std::string_view text, std::uint64_t afterText) {
        if (parallel) {
            parallel->feed(text, afterText);
            return;
        }
        const std::uint64_t textOffset = linesFed;
        linesFed += text.size();
        detail::LineReading& r = *reading;
        lines.feed(text, [&](std::string_view part, bool endsLine) {
            r.feed(part, endsLine ? part.size() : part.size() + afterText, endsLine,
                   textOffset + static_cast<std::uint64_t>(part.data() - text.data()));
            if (r.refused()) {
                return false;
            }
            if (endsLine) {
                anyLineEnded = true;
                r.endLine();
            }
            return !r.refused();
        });
    }

    void endInput() {
        if (parallel) {
            parallel->finish();
            return;
        }
        // A final line break ends the last line; it does not start another one.
        if (!reading->refused() && (!anyLineEnded || reading->lineStarted())) {
            reading->endLine();
        }
    }
};

DocumentReader::DocumentReader(Reading reading)
    : DocumentReader(ReadOptions{reading}, detail::bestImplementation(), detail::ChunkTuning()) {}

DocumentReader::DocumentReader(const ReadOptions& options)
    : DocumentReader(options, detail::bestImplementation(), detail::ChunkTuning()) {}

DocumentReader::DocumentReader(Reading reading, const detail::Implementation& routines)
    : DocumentReader(ReadOptions{reading}, routines, detail::ChunkTuning()) {}

DocumentReader::DocumentReader(const ReadOptions& options, const detail::Implementation& routines,
                               const detail::ChunkTuning& tuning)
    : state_(std::make_unique<State>(options, routines, tuning)) {}
DocumentReader::~DocumentReader() = default;

void DocumentReader::expectSize(std::uint64_t totalBytes) {
    state_->expectedSize = totalBytes;
}

void DocumentReader::feed(std::string_view chunk) {
    State& s = *state_;
    if (!s.started) {
        s.start();
    }
    s.fedSize += chunk.size();
    // Bytes of the input after this chunk, as far as the expected size tells.
    std::uint64_t after = s.expectedSize > s.fedSize ? s.expectedSize - s.fedSize : 0;
    if (s.reading->refused()) {
        return;
    }
    const std::string_view text = s.reading->input(chunk, after);
    s.splitLines(text, after);
}

bool DocumentReader::refused() const {
    return state_->reading->refused();
}

ParseResult DocumentReader::finish(std::string_view fileName) {
    State& s = *state_;
    if (!s.started) {
        s.start();
    }
    detail::LineReading& r = *s.reading;
    if (!r.refused()) {
        s.splitLines(r.endInput(), 0);
    }
    s.endInput();
    const bool accepted = r.finish();
    ParseResult result;
    if (!accepted) {
        result.status = ReadStatus::Refused;
        result.reason = s.fedSize == 0 ? "The file is empty"
                                       : "Its first line is not a Quillora document header";
        return result;
    }
    result.status = ReadStatus::Accepted;
    result.document = std::move(s.document);
    result.document.filename = baseName(fileName);
    return result;
}

ParseResult parseText(std::string_view text, std::string_view fileName, Reading reading) {
    return parseText(text, fileName, ReadOptions{reading});
}

ParseResult parseText(std::string_view text, std::string_view fileName,
                      const ReadOptions& options) {
    DocumentReader reader(options);
    reader.expectSize(text.size());
    reader.feed(text);
    return reader.finish(fileName);
}

}  // namespace salvage
