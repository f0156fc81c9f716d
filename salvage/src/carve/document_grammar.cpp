#include "carve/document_grammar.h"

#include <algorithm>
#include <string_view>

#include "ascii.h"
#include "read/seam_script.h"
#include "read/tag_names.h"
#include "salvage/carve.h"

namespace salvage::detail {
namespace {

// A tag longer than this is no tag of a document's: a section name's Base64 is the longest.
constexpr std::size_t kLongestTag = 4096;
// Base64 gathered before it is decoded and checked.
constexpr std::size_t kPendingText = 256;
// Decoded bytes kept on each side of a seam: a character or two of the word cut off, and the
// few after it that tell whether it goes on.
constexpr std::size_t kSeamText = 16;

bool isControl(unsigned char c) {
    return (c < 0x20 && c != '\t' && c != '\r' && c != '\n') || c == 0x7f;
}

std::string lowerCase(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) {
        c = toLowerAscii(c);
    }
    return lower;
}

bool isEndOf(std::string_view name, bool (*test)(std::string_view)) {
    return name.starts_with('/') && test(name.substr(1));
}

// The value of the tag's name attribute, or nothing when it has none.
std::optional<std::string_view> nameAttribute(std::string_view tag, bool& closed) {
    closed = true;
    for (std::size_t at = tag.find("name"); at != std::string_view::npos;
         at = tag.find("name", at + 1)) {
        if (at == 0 || (tag[at - 1] != ' ' && tag[at - 1] != '\t' && tag[at - 1] != '\n')) {
            continue;
        }
        std::size_t next = tag.find_first_not_of(" \t", at + 4);
        if (next == std::string_view::npos || tag[next] != '=') {
            continue;
        }
        next = tag.find_first_not_of(" \t", next + 1);
        if (next == std::string_view::npos || (tag[next] != '"' && tag[next] != '\'')) {
            continue;
        }
        const std::size_t end = tag.find(tag[next], next + 1);
        if (end == std::string_view::npos) {
            closed = false;
            return tag.substr(next + 1);
        }
        return tag.substr(next + 1, end - next - 1);
    }
    return std::nullopt;
}

bool isNameText(std::string_view base64) {
    for (const char c : base64) {
        if (!isBase64Character(static_cast<unsigned char>(c))) {
            return false;
        }
    }
    TextChecker checker;
    for (const char c : decodeBase64(base64)) {
        if (checker.step(static_cast<unsigned char>(c)) == TextChecker::Step::Invalid) {
            return false;
        }
    }
    return checker.pending() == 0;
}

}  // namespace

bool isSectionTagName(std::string_view name) {
    return lowerCase(localName(name)) == kSectionTagName;
}

bool isRootTagName(std::string_view name) {
    return lowerCase(localName(name)).starts_with("quillora");
}

DocumentGrammar::Event DocumentGrammar::step(unsigned char byte, std::uint64_t offset) {
    if (!started_) {
        started_ = true;
        lineStart_ = offset;
    }
    if (isControl(byte)) {
        return Event::Bad;
    }
    return inTag_ ? insideTag(byte) : outsideTag(byte, offset);
}

std::size_t DocumentGrammar::takeText(std::string_view bytes) {
    if (!started_ || inTag_ || !inText_ || skipBase64_ > 0 ||
        (form_ != LineForm::Base64 && form_ != LineForm::OwnTags)) {
        return 0;
    }
    std::size_t run = 0;
    while (run < bytes.size() && isBase64Character(static_cast<unsigned char>(bytes[run]))) {
        ++run;
    }
    if (run > 0) {
        afterCarriageReturn_ = false;
        lineChars_ += run;
        pending_.append(bytes.data(), run);
        if (pending_.size() >= kPendingText) {
            decodePending();
        }
    }
    return run;
}

DocumentGrammar::Event DocumentGrammar::outsideTag(unsigned char byte, std::uint64_t offset) {
    const bool afterCarriageReturn = afterCarriageReturn_;
    afterCarriageReturn_ = byte == '\r';
    if (byte == '\n' && afterCarriageReturn) {
        lineStart_ = offset + 1;
        return Event::Goes;
    }
    if (byte == '\r' || byte == '\n') {
        endLine(offset + 1);
        return Event::Goes;
    }
    if (byte == '<') {
        inTag_ = true;
        inTagName_ = true;
        tag_.assign(1, '<');
        tagStart_ = offset;
        tagOpensLine_ = form_ == LineForm::Unknown || offset % kClusterSize == 0;
        return Event::Goes;
    }
    if (form_ == LineForm::OtherTags) {
        return Event::Goes;  // the text of a tag of some other kind: looked at no further
    }
    if (byte == ' ' || byte == '\t') {
        return form_ == LineForm::Unknown ? Event::Goes : Event::Bad;
    }
    if (!isBase64Character(byte)) {
        return Event::Bad;
    }
    if (form_ == LineForm::Unknown) {
        form_ = LineForm::Base64;
    }
    if (inText_ && skipBase64_ > 0) {
        --skipBase64_;
    } else if (inText_) {
        ++lineChars_;
        pending_.push_back(static_cast<char>(byte));
        if (pending_.size() >= kPendingText) {
            decodePending();
        }
    }
    return Event::Goes;
}

DocumentGrammar::Event DocumentGrammar::insideTag(unsigned char byte) {
    if (tag_.size() >= kLongestTag) {
        return Event::Bad;
    }
    Event named = Event::Goes;
    if (inTagName_) {
        const bool opening = tag_.size() == 1 && (byte == '/' || byte == '?' || byte == '!');
        if (isNameCharacter(static_cast<char>(byte)) || opening) {
            tag_.push_back(static_cast<char>(byte));
            return Event::Goes;
        }
        inTagName_ = false;
        tagNameEnd_ = tag_.size();
        named = nameComplete();
        if (named == Event::Bad) {
            return named;
        }
    }
    tag_.push_back(static_cast<char>(byte));
    if (byte != '>') {
        return named;
    }
    const Event completed = tagComplete();
    return named != Event::Goes ? named : completed;
}

DocumentGrammar::Event DocumentGrammar::nameComplete() {
    const std::string_view name = std::string_view(tag_).substr(1, tagNameEnd_ - 1);
    if (name.empty()) {
        return Event::Bad;  // "<" followed by a space or a quote: no tag
    }
    const std::string lower = lowerCase(name);
    const bool header = lower == "?xml";
    const bool own = header || isSectionTagName(name) || isEndOf(name, isSectionTagName) ||
                     isRootTagName(name) || isEndOf(name, isRootTagName);
    if (tagOpensLine_ && form_ == LineForm::Unknown) {
        form_ = own ? LineForm::OwnTags : LineForm::OtherTags;
    }
    if (header) {
        if (tags_ == 0) {
            sawHeader_ = true;
            return Event::Goes;
        }
        return tagOpensLine_ ? Event::HeaderStart : Event::Bad;
    }
    if (tagOpensLine_ && tags_ > 0 && isSectionTagName(name)) {
        return Event::SectionStart;
    }
    return Event::Goes;
}

DocumentGrammar::Event DocumentGrammar::tagComplete() {
    ++tags_;
    inTag_ = false;
    const std::string_view name = std::string_view(tag_).substr(1, tagNameEnd_ - 1);
    if (isSectionTagName(name)) {
        closeSection(false);
        openSection();
        if (tag_.ends_with("/>")) {
            closeSection(false);
        }
    } else if (isEndOf(name, isSectionTagName)) {
        closeSection(false);
    } else if (isRootTagName(name)) {
        sawRoot_ = true;
    } else if (isEndOf(name, isRootTagName)) {
        closeSection(false);
        return Event::Ended;
    }
    return Event::Goes;
}

void DocumentGrammar::openSection() {
    bool closed = true;
    const std::optional<std::string_view> name = nameAttribute(tag_, closed);
    nameGood_ = closed && (!name || isNameText(*name));
    inText_ = true;
    sectionBroken_ = false;
    textBytesAtOpen_ = textBytes_;
    wrapWidth_ = 0;
    tagLineChars_ = 0;
    shortLine_ = false;
    decoder_ = Base64Decoder();
    checker_.reset();
    recentText_.clear();
    watchingSeam_ = false;  // a new text is not the one cut off
}

void DocumentGrammar::closeSection(bool atEnd) {
    if (!inText_) {
        return;
    }
    decodePending();
    decoder_.finish(decoded_);
    checkDecoded();
    // A document cut off inside a section may end inside a character; a whole one may not.
    const bool whole = atEnd || checker_.pending() == 0;
    // A tag whose text gave next to nothing before the document ended is no sign of one:
    // another program's <Section> tag ends there too, a letter or two into its plain text.
    constexpr std::size_t kLeastText = 16;
    const bool nothingAtEnd = atEnd && textBytes_ - textBytesAtOpen_ < kLeastText;
    if (nameGood_ && !sectionBroken_ && whole && !nothingAtEnd) {
        ++goodSections_;
    } else {
        ++badSections_;
    }
    inText_ = false;
}

void DocumentGrammar::decodePending() {
    decoder_.feed(pending_, decoded_);
    pending_.clear();
    checkDecoded();
}

void DocumentGrammar::checkDecoded() {
    for (const char c : decoded_) {
        if (resuming_) {
            constexpr unsigned char kContinuationMask = 0xC0;
            constexpr unsigned char kContinuation = 0x80;
            if ((static_cast<unsigned char>(c) & kContinuationMask) == kContinuation) {
                continue;
            }
            resuming_ = false;
        }
        if (checker_.step(static_cast<unsigned char>(c)) == TextChecker::Step::Invalid) {
            sectionBroken_ = true;
            textBroken_ = true;
        }
    }
    textBytes_ += decoded_.size();
    if (watchingSeam_ && afterSeam_.size() < kSeamText) {
        afterSeam_.append(decoded_, 0, std::min(decoded_.size(), kSeamText - afterSeam_.size()));
    }
    if (decoded_.size() >= kSeamText) {
        recentText_.assign(decoded_, decoded_.size() - kSeamText);
    } else {
        recentText_ += decoded_;
        if (recentText_.size() > kSeamText) {
            recentText_.erase(0, recentText_.size() - kSeamText);
        }
    }
    decoded_.clear();
}

void DocumentGrammar::watchSeam() {
    beforeSeam_ = inText_ ? recentText_ : std::string();
    afterSeam_.clear();
    watchingSeam_ = inText_;
}

bool DocumentGrammar::scriptChangesAtSeam() const {
    return scriptChangesInsideWord(beforeSeam_, afterSeam_);
}

void DocumentGrammar::flushText() {
    if (inText_) {
        decodePending();
    }
}

void DocumentGrammar::textResumes(std::size_t skip) {
    flushText();
    if (inText_) {
        decoder_ = Base64Decoder();
        checker_.reset();
        resuming_ = true;
        skipBase64_ = skip;
        lineCounted_ = false;
    }
}

bool DocumentGrammar::cutInsideCharacter() const {
    const std::size_t group = decoder_.checkpoint(decoded_).count + pending_.size();
    return inText_ && (group % 4 != 0 || checker_.pending() != 0);
}

void DocumentGrammar::finish() {
    closeSection(true);
}

void DocumentGrammar::judgeLineWidth() {
    if (!inText_ || !lineCounted_ || lineChars_ == 0) {
        return;
    }
    if (form_ == LineForm::OwnTags) {
        tagLineChars_ = lineChars_;  // the text began on the start tag's line
        return;
    }
    if (form_ != LineForm::Base64) {
        return;
    }
    // A text that began on its tag's line in a line longer than the lines after it is a
    // text on one line that other wrapped text was joined to.
    if (shortLine_ || (wrapWidth_ != 0 && lineChars_ > wrapWidth_) ||
        (wrapWidth_ == 0 && tagLineChars_ > lineChars_)) {
        wrapBroken_ = true;
    } else if (wrapWidth_ == 0) {
        wrapWidth_ = lineChars_;
    } else if (lineChars_ < wrapWidth_) {
        shortLine_ = true;  // the last line, unless more text follows
    }
}

void DocumentGrammar::endLine(std::uint64_t next) {
    judgeLineWidth();
    lineChars_ = 0;
    lineCounted_ = true;
    ++lines_;
    lineStart_ = next;
    form_ = LineForm::Unknown;
}

}  // namespace salvage::detail
