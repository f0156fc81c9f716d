#pragma once

// A section line as the plain reading takes it apart while it streams past: its name and text
// decoded straight into storage that serves line after line.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "read/section_line.h"
#include "report/report_builder.h"
#include "salvage/base64.h"
#include "salvage/reader.h"
#include "simd/utf8.h"
#include "store/text_storage.h"

namespace salvage::detail {

// Decodes what the scanners hand it straight into its storage.
class DecoderSink {
  public:
    using Mark = Base64Decoder::Checkpoint;

    DecoderSink(const Implementation& routines, TextStorage& storage)
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
    // Ends the decoding; the storage then holds the whole of it.
    void finishDecoding() { decoder_.finish(storage_.text()); }
    std::string& finish() {
        finishDecoding();
        return storage_.finished();
    }
    ReportBuilder::Damage damage() const {
        return {decoder_.skippedBytes(), decoder_.incompleteGroups()};
    }

  private:
    Base64Decoder decoder_;
    TextStorage& storage_;
};

// A section line read to its end, and where it decodes to. Two of them take turns, kept from
// one line to the next, so that a document of many short sections does not allocate for each.
//
// A line is stored in the map only once the next one has been read: where its name goes in the
// index is fetched into the cache meanwhile. With millions of short sections, waiting for that
// is otherwise most of the time.
struct DecodedLine {
    TextStorage name;
    TextStorage text;
    ReportBuilder::Damage nameDamage;
    ReportBuilder::Damage textDamage;
    bool validUtf8 = true;
    bool waiting = false;  // read to its end, not stored yet

    void storeInto(Document& document, ReportBuilder& report) {
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
    SectionLine(const Implementation& routines, DecodedLine& line)
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
        line_.validUtf8 = isValidUtf8(body_.finish(), routines_);
        line_.nameDamage = nameSink_.damage();
        line_.textDamage = body_.damage();
        line_.waiting = true;
    }

  private:
    const Implementation& routines_;
    DecodedLine& line_;
    DecoderSink nameSink_;
    DecoderSink body_;
    NameScanner<DecoderSink> name_;
    TagScanner<DecoderSink> tags_;
};

}  // namespace salvage::detail
