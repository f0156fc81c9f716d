#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "salvage/base64.h"
#include "simd/base64_groups.h"
#include "simd/utf8.h"

namespace salvage::detail {

// The Base64 alphabet and "=": all a section's text and name may hold.
inline bool isBase64Character(unsigned char c) {
    return kBase64Table[c] != kBase64Invalid;
}

// Whether a tag's name (without "<", in any letter case, perhaps with a namespace prefix) is
// the section tag, or the document's root.
bool isSectionTagName(std::string_view name);
bool isRootTagName(std::string_view name);

// Takes the bytes of a document one at a time and tells when they stop being one: a Quillora
// document holds only its header, its tags and Base64, line after line, so a byte of any other
// data (a zero, a control character, text with spaces, bytes past ASCII outside a tag) ends
// it. A line led by a tag of another kind (the document's properties) is let through unread.
// Section texts are decoded as they pass, so that sections whose text is not UTF-8 text can be
// told from a document's: other programs' files use <Section> tags too. The state is a plain
// value: a copy tries bytes without touching the original.
class DocumentGrammar {
  public:
    enum class Event {
        Goes,          // the byte belongs to the document
        Bad,           // it does not
        SectionStart,  // a section tag opens a line (or a cluster): the caller decides whether
                       // another document starts there
        HeaderStart,   // "<?xml " opens a line after the first: another document starts there
        Ended,         // the byte closes the root's end tag
    };

    Event step(unsigned char byte, std::uint64_t offset);
    // Takes the Base64 at the start of `bytes` as step() would, where it goes on a section's
    // text (each byte Goes); returns how many bytes it took, 0 where step() must decide.
    std::size_t takeText(std::string_view bytes);
    // Ends the document: its last section is judged with what it holds.
    void finish();
    // Decodes the section text gathered so far, so that textBytes() and textBroken() count it.
    void flushText();
    // The text goes on after a stretch that was lost: the group and the character cut off
    // before it are dropped, the first `skip` Base64 characters after it (the rest of a group
    // cut off there) too, and so are the bytes of a character cut off after it.
    void textResumes(std::size_t skip);

    std::uint64_t lineStart() const { return lineStart_; }
    std::uint64_t tagStart() const { return tagStart_; }
    bool inText() const { return inText_; }
    bool sawRoot() const { return sawRoot_; }
    bool sawHeader() const { return sawHeader_; }
    std::size_t tags() const { return tags_; }
    std::size_t lines() const { return lines_; }
    std::size_t goodSections() const { return goodSections_; }
    std::size_t badSections() const { return badSections_; }
    // Bytes decoded from section texts so far, and whether any of them was not text.
    std::size_t textBytes() const { return textBytes_; }
    bool textBroken() const { return textBroken_; }
    // Whether a section's text wrapped in lines of one width went on in lines of another, or
    // after its short last line: two texts run together there.
    bool wrapBroken() const { return wrapBroken_; }
    // Whether the section text stops inside a group of four Base64 characters, or inside a
    // character of its decoded text.
    bool cutInsideCharacter() const;
    // The text gathered so far (flushed) is cut off here: the characters decoded next are
    // kept to tell whether the word cut off goes on in them.
    void watchSeam();
    // Whether the word cut off at the watched seam changes its script right after it.
    bool scriptChangesAtSeam() const;

  private:
    enum class LineForm { Unknown, OwnTags, OtherTags, Base64 };

    Event outsideTag(unsigned char byte, std::uint64_t offset);
    Event insideTag(unsigned char byte);
    Event nameComplete();
    Event tagComplete();
    void openSection();
    void closeSection(bool atEnd);
    void decodePending();
    void checkDecoded();
    void endLine(std::uint64_t next);
    void judgeLineWidth();

    // The line.
    std::uint64_t lineStart_ = 0;
    bool started_ = false;
    bool afterCarriageReturn_ = false;
    LineForm form_ = LineForm::Unknown;
    std::size_t lines_ = 0;

    // The tag being read.
    bool inTag_ = false;
    bool inTagName_ = false;
    bool tagOpensLine_ = false;
    std::uint64_t tagStart_ = 0;
    std::string tag_;  // from "<", capped
    std::size_t tagNameEnd_ = 0;
    std::size_t tags_ = 0;

    // The document.
    bool sawHeader_ = false;
    bool sawRoot_ = false;
    std::size_t goodSections_ = 0;
    std::size_t badSections_ = 0;

    // The open section's text.
    bool inText_ = false;
    bool nameGood_ = false;
    bool sectionBroken_ = false;
    std::size_t textBytesAtOpen_ = 0;  // textBytes_ when the open section began
    std::string pending_;              // Base64 not yet decoded
    std::string decoded_;
    Base64Decoder decoder_;
    TextChecker checker_;
    std::size_t textBytes_ = 0;
    bool textBroken_ = false;
    bool resuming_ = false;  // leading continuation bytes are dropped
    std::size_t skipBase64_ = 0;
    std::string recentText_;  // the last bytes decoded
    std::string beforeSeam_;
    std::string afterSeam_;
    bool watchingSeam_ = false;

    // The width of the open section's lines of Base64.
    std::size_t lineChars_ = 0;     // on the line so far
    bool lineCounted_ = true;       // false once part of the line was lost
    std::size_t wrapWidth_ = 0;     // of its first whole line
    std::size_t tagLineChars_ = 0;  // on the line of its start tag
    bool shortLine_ = false;
    bool wrapBroken_ = false;
};

}  // namespace salvage::detail
