#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "read/aligning_decoder.h"
#include "read/character_references.h"
#include "read/cluster_seams.h"
#include "read/line_width_seams.h"
#include "read/name_attribute_scanner.h"
#include "read/prefix_matcher.h"
#include "read/section_line.h"
#include "salvage/reader.h"
#include "store/text_storage.h"

namespace salvage::detail {

// The thorough reading of a document, fed a line at a time (in pieces) by the line splitter.
// Tags are found wherever they stand; a section's text runs from its start tag across line
// breaks to the next tag; Base64 outside any section, and the text after a long damaged
// stretch, become pieces of their own; a repeated name keeps every text under numbered names.
class ThoroughReader final : private AligningDecoder::Listener {
  public:
    ThoroughReader(Document& document, const Implementation& routines);

    // `piece` is part of the current line and begins at `offset` in the input; `restOfInput`
    // bounds how much input is left, the piece included.
    void feed(std::string_view piece, std::uint64_t restOfInput, std::uint64_t offset);
    void endLine();
    // Whether the current line has any bytes yet.
    bool lineStarted() const { return lineBytes_ != 0; }
    // Ends the input. Returns whether the document is accepted: it has the header line or a
    // section tag somewhere.
    bool finish();

  private:
    enum class Scan { Text, TagName, CdataOpening, SectionTag, OtherTag };
    enum class Context { None, Orphan, Section };
    enum class PieceKind { None, Section, AfterDamage, Orphan };

    // Decodes a name as the name scanner hands it over, with the character references some
    // writers put in attribute values ("&#61;" for the padding) decoded first.
    class NameSink {
      public:
        explicit NameSink(AligningDecoder& decoder) : decoder_(decoder) {}
        void append(const char* begin, const char* end) {
            references_.feed(begin, end,
                             [this](const char* b, const char* e) { decoder_.feed(b, e); });
        }
        void finish() {
            references_.finish([this](const char* b, const char* e) { decoder_.feed(b, e); });
        }
        std::size_t referencesDecoded() const { return references_.decoded(); }

      private:
        AligningDecoder& decoder_;
        ReferenceDecoder references_;
    };

    void textResumes(std::size_t line, bool afterLongDamage) override;

    void feedText(const char* begin, const char* end, std::uint64_t rest, std::uint64_t offset);
    void feedSectionText(const char* begin, const char* end, std::uint64_t offset);
    void takeCut(std::optional<LineWidthSeams::Cut> cut);
    // Takes the next character after "<"; returns whether it belongs to the tag name.
    bool scanTagName(char c);
    bool scanCdataOpening(char c);
    void notCdata();
    const char* scanTag(const char* p, const char* end);
    void notATag();
    std::string lowerTagName() const;
    void decideTag(char terminator, bool offLineStart);
    void finishSectionTag();
    void startOrphan();
    void endContext();
    void storePiece();
    // Takes the parts after the cuts off the piece's text, in the order they stand; each is
    // then stored as a piece of its own.
    std::vector<PagedString> cutOffParts(PagedString& text) const;
    void storeCutOffParts(std::vector<PagedString>& parts);
    std::string afterDamageName(std::size_t line) const;
    std::string uniqueName(std::string name);
    // Lists the line ending now among the damaged ones when its decoding met damage.
    void listLineIfDamaged();

    Document& document_;
    SalvageReport::ThoroughFindings findings_;

    // Where the input stands.
    std::size_t lineIndex_ = 0;
    std::uint64_t lineBytes_ = 0;
    std::uint64_t lineOffset_ = 0;
    DecodingCounts countsBeforeLine_;
    DecodingCounts nameCountsBeforeLine_;
    // Damaged lines listed whose text goes to the piece being decoded, which has no place in
    // the map yet.
    std::vector<std::size_t> rowsOfPiece_;
    // A piece stored on the current line after damage on it, which the damage then belongs to.
    std::optional<std::size_t> damagedPieceOnLine_;
    CaseBlindPrefix header_{kHeaderPrefix};

    // Tags.
    Scan scan_ = Scan::Text;
    std::string tagName_;  // after "<", while it may still turn out not to be a tag
    bool tagOffLineStart_ = false;
    std::uint64_t tagOffset_ = 0;  // where its "<" stands in the input
    bool tagNameBroken_ = false;   // a line break came inside the tag name
    std::size_t tagBreaks_ = 0;    // line breaks inside the section tag
    std::size_t sectionTags_ = 0;
    std::size_t tagLine_ = 0;
    std::size_t cdataMatched_ = 0;  // of "CDATA[", after "<!["
    NameAttributeScanner<NameSink> nameScanner_;
    AligningDecoder nameDecoder_;
    NameSink nameSink_{nameDecoder_};
    PagedString nameText_;

    // The text being decoded, and the piece it belongs to.
    Context context_ = Context::None;
    AligningDecoder decoder_;
    TextStorage storage_;
    PieceKind piece_ = PieceKind::None;
    std::string pieceName_;
    std::size_t pieceLine_ = 0;
    std::string sectionName_;
    std::size_t sectionLine_ = 0;
    bool sectionRunsOn_ = false;  // its text went on past the tag's line
    // Where the section's text stops being its own, for another file's lines written into it.
    LineWidthSeams widths_;
    // And for the other end of another file's cluster, a cluster from a seam.
    ClusterSeams clusters_;
    std::size_t seamsTold_ = 0;  // seams of the decoder told to `clusters_`
    std::vector<LineWidthSeams::Cut> cuts_;
    std::size_t cutSeams_ = 0;

    // Names: for each name used more than once, the number to try next, and its report record.
    std::unordered_map<std::string, std::size_t> nextNumber_;
    std::unordered_map<std::string, std::size_t> repeatRecord_;
};

}  // namespace salvage::detail
