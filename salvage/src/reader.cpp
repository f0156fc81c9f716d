#include "salvage/reader.h"

#include <algorithm>
#include <cstdint>
#include <new>
#include <optional>
#include <stdexcept>
#include <utility>
#include <vector>

#include "ascii.h"
#include "huge_pages.h"
#include "report_builder.h"
#include "salvage/base64.h"
#include "section_line.h"
#include "utf8.h"

namespace salvage {
namespace {

// Decodes what the scanners hand it straight into the section's storage.
class DecoderSink {
  public:
    using Mark = Base64Decoder::Checkpoint;

    void append(const char* begin, const char* end) {
        if (begin != end) {
            decoder_.feed(std::string_view(begin, static_cast<std::size_t>(end - begin)), out_);
        }
    }
    Mark mark() const { return decoder_.checkpoint(out_); }
    void rollback(const Mark& mark) { decoder_.rollback(mark, out_); }

    // Makes room for decoding `base64Bytes` more characters, so that decoding never has to
    // move what it wrote.
    bool fits(std::size_t base64Bytes) const {
        return out_.size() + base64Bytes / 4 * 3 + kDecoderRoom <= out_.capacity();
    }
    void prepare(std::size_t base64Bytes) {
        if (fits(base64Bytes)) {
            return;
        }
        try {
            out_.reserve(out_.size() + base64Bytes / 4 * 3 + kDecoderRoom);
        } catch (const std::bad_alloc&) {
            // The room is only a bound: the line may hold far less Base64 than its length
            // (junk, a run of zero bytes). Without it, the text grows as it is decoded.
            return;
        } catch (const std::length_error&) {
            return;
        }
        if (out_.capacity() >= kAdviseFrom) {
            detail::adviseHugePages(out_.data(), out_.capacity());
        }
        detail::adviseHeapGrowth();
    }
    std::string finish() {
        decoder_.finish(out_);
        return std::move(out_);
    }
    const Base64Decoder& decoder() const { return decoder_; }
    const char* storageEnd() const { return out_.data() + out_.capacity(); }

  private:
    // The decoder writes a little past its output (vector stores); no reallocation for that.
    static constexpr std::size_t kDecoderRoom = 64;
    static constexpr std::size_t kAdviseFrom = std::size_t{4} << 20;

    Base64Decoder decoder_;
    std::string out_;
};

// One section line, taken apart as it streams past.
class SectionLine {
  public:
    // Makes room for the text of the next `knownBytes` of the line. `restOfLine`: how long the
    // rest of the line, from them on, can be at most; `lineEndsHere`: whether the line is known
    // to end with them.
    void prepare(std::size_t knownBytes, std::uint64_t restOfLine, bool lineEndsHere) {
        std::uint64_t room = knownBytes;
        if (!lineEndsHere) {
            // A line that runs past the input at hand: guess it ends soon; when it does not,
            // make room for the longest it can be, once, instead of growing step by step.
            room = guessed_ ? restOfLine : std::min(restOfLine, room + kFirstGuess);
        }
        const auto bytes = static_cast<std::size_t>(std::min<std::uint64_t>(room, SIZE_MAX / 2));
        if (!body_.fits(bytes)) {
            guessed_ = guessed_ || !lineEndsHere;
            body_.prepare(bytes);
        }
    }

    const char* storageEnd() const { return body_.storageEnd(); }

    void feed(std::string_view piece) {
        name_.feed(piece, nameSink_);
        tags_.feed(piece, body_);
    }

    // Returns the size of the stored text.
    std::size_t finishInto(Document& document, detail::ReportBuilder& report) {
        std::string name = nameSink_.finish();
        std::string text = body_.finish();
        fitStorage(name);
        fitStorage(text);
        // Checked here, while the text is still in the cache.
        const bool valid = detail::isValidUtf8(text);
        const std::size_t stored = text.size();
        std::string nameForReport = name;
        const auto replaced = document.contents.assign(std::move(name), std::move(text));
        const std::size_t index =
            replaced ? *document.contents.indexOf(nameForReport) : document.contents.size() - 1;
        report.noteSectionLine(document.report, index, nameForReport, damageOf(nameSink_),
                               damageOf(body_), valid, replaced ? &*replaced : nullptr);
        return stored;
    }

  private:
    // Room made for a line longer than its text, or for the decoder's wide stores, would stay
    // allocated in the map for as long as the document is shown: give back what is worth it.
    static void fitStorage(std::string& text) {
        static const std::size_t inPlace = std::string().capacity();
        const std::size_t spare = text.capacity() - text.size();
        if (text.capacity() > inPlace &&
            (text.size() <= inPlace || spare > std::max<std::size_t>(64, text.size() / 8))) {
            text.shrink_to_fit();
        }
    }

    static detail::ReportBuilder::Damage damageOf(const DecoderSink& sink) {
        return {sink.decoder().skippedBytes(), sink.decoder().incompleteGroups()};
    }

    static constexpr std::uint64_t kFirstGuess = std::uint64_t{64} << 10;

    bool guessed_ = false;
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

    Document document;
    detail::ReportBuilder reportBuilder;
    bool refused = false;
    std::uint64_t expectedSize = 0;
    std::uint64_t fedSize = 0;
    bool skipLeadingLineFeed = false;  // the previous piece ended in CR

    // The current line.
    std::size_t lineIndex = 0;
    Mode mode = Mode::Prefix;
    std::string prefix;
    std::optional<SectionLine> section;
    LookalikeScanner lookalike;
    std::optional<detail::HeapPrefaulter> prefaulter;
    const char* storageEnd = nullptr;  // of the latest section's text
    std::uint64_t storedBytes = 0;     // text stored so far

    std::string_view wantedPrefix() const {
        return lineIndex == 0 ? detail::kHeaderPrefix : detail::kSectionPrefix;
    }

    // `piece` is part of the current line; `restOfInput` bounds how long the line can still be,
    // and equals the piece's size when the line is known to end with it.
    void feedLine(std::string_view piece, std::uint64_t restOfInput, bool lineEndsHere) {
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
                section.emplace();
                section->prepare(prefix.size() + piece.size(), prefix.size() + restOfInput,
                                 lineEndsHere);
                storageEnd = section->storageEnd();
                section->feed(prefix);
                section->feed(piece);
                return;
            }
            mode = Mode::Skip;
            lookalike.feed(prefix);
        }
        if (mode == Mode::Section) {
            section->prepare(piece.size(), restOfInput, lineEndsHere);
            storageEnd = section->storageEnd();
            section->feed(piece);
        } else {
            lookalike.feed(piece);
        }
    }

    void endLine() {
        if (mode == Mode::Prefix && lineIndex == 0) {
            refused = true;  // the first line is shorter than the header
            return;
        }
        ++document.report.linesRead;
        if (mode == Mode::Section) {
            ++document.report.sectionLines;
            storedBytes += section->finishInto(document, reportBuilder);
            section.reset();
        } else if (lookalike.found()) {
            ++document.report.skippedLookalikes;
        }
        ++lineIndex;
        mode = Mode::Prefix;
        prefix.clear();
        lookalike = LookalikeScanner();
    }
};

DocumentReader::DocumentReader() : state_(std::make_unique<State>()) {
    detail::adviseHeapGrowth();
}
DocumentReader::~DocumentReader() = default;

void DocumentReader::expectSize(std::uint64_t totalBytes) {
    state_->expectedSize = totalBytes;
    if (!state_->prefaulter) {
        state_->prefaulter.emplace(totalBytes);
    }
}

void DocumentReader::feed(std::string_view chunk) {
    State& s = *state_;
    if (s.prefaulter && s.storageEnd != nullptr) {
        // Memory is filled ahead no further than the rest of the document can need, nor than
        // it has needed so far: a document that yields little text gets little filled.
        const std::uint64_t left = s.expectedSize > s.fedSize ? s.expectedSize - s.fedSize : 0;
        s.prefaulter->noteUse(s.storageEnd, std::min(left / 4 * 3, s.storedBytes));
    }
    s.fedSize += chunk.size();
    const char* p = chunk.data();
    const char* const end = p + chunk.size();
    if (s.skipLeadingLineFeed && p != end) {
        s.skipLeadingLineFeed = false;
        if (*p == '\n') {
            ++p;
        }
    }
    // Bytes of the input after this chunk, as far as the expected size tells.
    const std::uint64_t afterChunk = s.expectedSize > s.fedSize ? s.expectedSize - s.fedSize : 0;
    const char* nextLineFeed = nullptr;
    const char* nextCarriageReturn = nullptr;
    while (p != end && !s.refused) {
        if (nextLineFeed == nullptr || nextLineFeed < p) {
            nextLineFeed = detail::findByte(p, end, '\n');
            if (nextLineFeed == nullptr) {
                nextLineFeed = end;
            }
        }
        if (nextCarriageReturn == nullptr || nextCarriageReturn < p) {
            nextCarriageReturn = detail::findByte(p, end, '\r');
            if (nextCarriageReturn == nullptr) {
                nextCarriageReturn = end;
            }
        }
        const char* lineEnd = std::min(nextLineFeed, nextCarriageReturn);
        const auto length = static_cast<std::size_t>(lineEnd - p);
        const std::uint64_t restOfLine = lineEnd == end ? length + afterChunk : length;
        s.feedLine(std::string_view(p, length), restOfLine, lineEnd != end);
        if (lineEnd == end || s.refused) {
            break;
        }
        s.endLine();
        p = lineEnd + 1;
        if (*lineEnd == '\r') {
            if (p == end) {
                s.skipLeadingLineFeed = true;
            } else if (*p == '\n') {
                ++p;
            }
        }
    }
}

ParseResult DocumentReader::finish(std::string_view fileName) {
    State& s = *state_;
    s.prefaulter.reset();
    // A final line break ends the last line; it does not start another one.
    const bool nothingAfterLastBreak =
        s.lineIndex > 0 && s.mode == State::Mode::Prefix && s.prefix.empty();
    if (!s.refused && !nothingAfterLastBreak) {
        s.endLine();
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
    s.reportBuilder.finish(result.document.report, result.document.contents);
    return result;
}

ParseResult parseText(std::string_view text, std::string_view fileName) {
    DocumentReader reader;
    reader.expectSize(text.size());
    reader.feed(text);
    return reader.finish(fileName);
}

}  // namespace salvage
