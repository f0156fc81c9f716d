#include "salvage/reader.h"

#include <cstdint>
#include <memory>
#include <utility>

#include "read/line_reading.h"
#include "salvage/line_breaks.h"
#include "salvage/section_line.h"
#include "simd/implementation.h"

namespace salvage {

struct DocumentReader::State {
    State(Reading kind, const detail::Implementation& routines)
        : reading(detail::makeLineReading(kind, document, routines)) {}

    Document document;
    std::unique_ptr<detail::LineReading> reading;
    std::uint64_t expectedSize = 0;
    std::uint64_t fedSize = 0;
    LineSplitter lines;
    std::uint64_t linesFed = 0;  // bytes handed to the line splitter so far
    bool anyLineEnded = false;

    // Hands the lines of `text` to the reading; `afterText` bounds the input that follows it.
    void splitLines(std::string_view text, std::uint64_t afterText) {
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
};

DocumentReader::DocumentReader(Reading reading)
    : DocumentReader(reading, detail::bestImplementation()) {}

DocumentReader::DocumentReader(Reading reading, const detail::Implementation& routines)
    : state_(std::make_unique<State>(reading, routines)) {}
DocumentReader::~DocumentReader() = default;

void DocumentReader::expectSize(std::uint64_t totalBytes) {
    state_->expectedSize = totalBytes;
}

void DocumentReader::feed(std::string_view chunk) {
    State& s = *state_;
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
    detail::LineReading& r = *s.reading;
    if (!r.refused()) {
        s.splitLines(r.endInput(), 0);
    }
    // A final line break ends the last line; it does not start another one.
    if (!r.refused() && (!s.anyLineEnded || r.lineStarted())) {
        r.endLine();
    }
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
    DocumentReader reader(reading);
    reader.expectSize(text.size());
    reader.feed(text);
    return reader.finish(fileName);
}

}  // namespace salvage
