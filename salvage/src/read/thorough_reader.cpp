#include "read/thorough_reader.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "ascii.h"
#include "read/tag_names.h"

namespace salvage::detail {
namespace {

// Bytes of text a piece found after damage holds before further damage may part it again.
constexpr std::size_t kShortestPiece = 16;

// Characters outside the alphabet on a line that still leave its width its own.
constexpr std::size_t kFewJunkCharacters = 16;

// After "<![": a text wrapped so that an XML parser leaves it alone.
constexpr std::string_view kCdataOpening = "CDATA[";

bool hasLetter(std::string_view text) {
    return std::any_of(text.begin(), text.end(),
                       [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); });
}

bool isBlank(const char* begin, const char* end) {
    return std::all_of(begin, end, [](char c) {
        return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
    });
}

std::string numbered(const std::string& name, std::size_t number) {
    return name + " (" + std::to_string(number) + ")";
}

}  // namespace

ThoroughReader::ThoroughReader(Document& document, const Implementation& routines)
    : document_(document), nameDecoder_(nullptr, routines), decoder_(this, routines) {
    startOrphan();
}

void ThoroughReader::feed(std::string_view piece, std::uint64_t restOfInput, std::uint64_t offset) {
    if (lineBytes_ == 0) {
        lineOffset_ = offset;
    }
    if (lineIndex_ == 0) {
        header_.feed(piece);
    }
    const char* p = piece.data();
    const char* const end = p + piece.size();
    const auto restAt = [&](const char* at) {
        return restOfInput - static_cast<std::uint64_t>(at - piece.data());
    };
    const auto offsetOf = [&](const char* at) {
        return offset + static_cast<std::uint64_t>(at - piece.data());
    };
    while (p != end) {
        switch (scan_) {
            case Scan::Text: {
                // A "<" that no tag name can follow is text; it goes with the text around it.
                const char* open = findByte(p, end, '<');
                while (open != nullptr && open + 1 != end && !beginsTagName(open[1])) {
                    open = findByte(open + 1, end, '<');
                }
                feedText(p, open == nullptr ? end : open, restAt(p), offsetOf(p));
                if (open == nullptr) {
                    p = end;
                    break;
                }
                tagOffLineStart_ =
                    lineBytes_ + static_cast<std::uint64_t>(open - piece.data()) != 0;
                tagOffset_ = offsetOf(open);
                tagName_.clear();
                tagNameBroken_ = false;
                scan_ = Scan::TagName;
                p = open + 1;
                break;
            }
            case Scan::TagName:
                p += scanTagName(*p) ? 1 : 0;
                break;
            case Scan::CdataOpening:
                p += scanCdataOpening(*p) ? 1 : 0;
                break;
            case Scan::SectionTag:
            case Scan::OtherTag:
                p = scanTag(p, end);
                break;
        }
    }
    lineBytes_ += piece.size();
}

void ThoroughReader::feedText(const char* begin, const char* end, std::uint64_t rest,
                              std::uint64_t offset) {
    if (begin == end) {
        return;
    }
    if (context_ == Context::Section && !sectionRunsOn_ && lineIndex_ != sectionLine_) {
        sectionRunsOn_ = !isBlank(begin, end);
    }
    storage_.prepare(static_cast<std::size_t>(end - begin), rest, false);
    if (context_ == Context::Section) {
        feedSectionText(begin, end, offset);
        return;
    }
    decoder_.setOffset(offset);
    decoder_.feed(begin, end);
}

// Section text is fed up to the sector boundaries where the widths of its lines ask what was
// decoded by then.
void ThoroughReader::feedSectionText(const char* begin, const char* end, std::uint64_t offset) {
    using Boundaries = LineWidthSeams::Boundaries;
    while (begin != end) {
        const auto length = static_cast<std::uint64_t>(end - begin);
        std::uint64_t taken =
            std::min(length, ClusterSeams::kCluster - offset % ClusterSeams::kCluster);
        switch (widths_.wanted(lineIndex_)) {
            case Boundaries::Every:
                taken = std::min(length, kSector - offset % kSector);
                break;
            case Boundaries::Last:
                if (const std::uint64_t last = (offset + taken) / kSector * kSector;
                    last > offset) {
                    taken = last - offset;
                }
                break;
            case Boundaries::None:
                break;
        }
        decoder_.setOffset(offset);
        decoder_.feed(begin, begin + taken);
        begin += taken;
        offset += taken;
        // After damage on the line, what was decoded by a boundary need not be what stood
        // before it.
        const bool boundary = offset % kSector == 0 && decoder_.counts() == countsBeforeLine_;
        takeCut(widths_.text(lineIndex_, taken, storage_.text().size(), boundary));
        if (offset % ClusterSeams::kCluster == 0) {
            clusters_.reached(offset, storage_.text().size(), lineIndex_);
        }
    }
}

void ThoroughReader::takeCut(std::optional<LineWidthSeams::Cut> cut) {
    if (!cut) {
        return;
    }
    // Characters outside the alphabet (a zeroed block) make a line wide without being another
    // file's lines: that damage is the decoder's to part. A few of them (the end of another
    // file's tag) make no line wide.
    const DecodingCounts& counts = decoder_.counts();
    const std::size_t junk = counts.charactersSkipped - countsBeforeLine_.charactersSkipped +
                             4 * (counts.groupsDropped - countsBeforeLine_.groupsDropped);
    if (junk >= kFewJunkCharacters) {
        widths_.endSection();
        return;
    }
    cuts_.push_back(*cut);
}

bool ThoroughReader::scanTagName(char c) {
    if (tagNameBroken_ && (c == ' ' || c == '\t')) {
        return true;  // the indentation after a line break that damage put inside the name
    }
    if (c == '[' && tagName_ == "!") {
        scan_ = Scan::CdataOpening;
        cdataMatched_ = 0;
        return true;
    }
    tagNameBroken_ = false;
    if (tagName_.empty() ? beginsTagName(c) : isNameCharacter(c)) {
        if (tagName_.size() == kLongestTagName) {
            notATag();
            return false;
        }
        tagName_.push_back(c);
        return true;
    }
    if ((c == ' ' || c == '\t' || c == '>') && hasLetter(tagName_)) {
        decideTag(c, tagOffLineStart_);
        return c != '>';  // the tag's end is found by the tag scanning
    }
    notATag();
    return false;  // a "<" here may begin a tag of its own
}

// "<![CDATA[" is no tag: the text it opens goes on in the same section.
bool ThoroughReader::scanCdataOpening(char c) {
    if (toLowerAscii(c) != toLowerAscii(kCdataOpening[cdataMatched_])) {
        notCdata();
        return false;
    }
    if (++cdataMatched_ == kCdataOpening.size()) {
        scan_ = Scan::Text;
        tagName_.clear();
        ++findings_.cdataTexts;
    }
    return true;
}

void ThoroughReader::notCdata() {
    tagName_ += "[" + std::string(kCdataOpening.substr(0, cdataMatched_));
    notATag();
}

// What looked like the start of a tag is text after all: a damaged character and the
// characters after it.
void ThoroughReader::notATag() {
    scan_ = Scan::Text;
    tagName_.insert(tagName_.begin(), '<');
    feedText(tagName_.data(), tagName_.data() + tagName_.size(), tagName_.size(), tagOffset_);
    tagName_.clear();
}

std::string ThoroughReader::lowerTagName() const {
    std::string lower = tagName_;
    std::transform(lower.begin(), lower.end(), lower.begin(), toLowerAscii);
    return lower;
}

// `terminator` is the character after the name, '\n' for a line break.
void ThoroughReader::decideTag(char terminator, bool offLineStart) {
    const std::string lower = lowerTagName();
    tagName_.clear();
    endContext();
    if ((terminator == ' ' || terminator == '\n') && localName(lower) == kSectionTagName) {
        ++sectionTags_;
        if (lower.size() != kSectionTagName.size()) {
            ++findings_.prefixedTags;
        }
        findings_.tagsOffLineStart += offLineStart ? 1 : 0;
        tagLine_ = lineIndex_;
        nameScanner_ = NameAttributeScanner<NameSink>();
        tagBreaks_ = 0;
        nameText_.clear();
        nameDecoder_.start(AligningDecoder::kAligned, &nameText_);
        scan_ = Scan::SectionTag;
    } else {
        scan_ = Scan::OtherTag;
    }
}

// Inside a tag: up to its ">", or to the next "<" when the ">" was lost.
const char* ThoroughReader::scanTag(const char* p, const char* end) {
    const char* stop = p;
    while (stop != end && *stop != '>' && *stop != '<') {
        ++stop;
    }
    if (scan_ == Scan::SectionTag) {
        const std::size_t taken =
            nameScanner_.feed(std::string_view(p, static_cast<std::size_t>(stop - p)), nameSink_);
        if (nameScanner_.cutByDamage()) {
            // The tag's end was lost in the damage; the section's text may follow it.
            finishSectionTag();
            return p + taken;
        }
    }
    if (stop == end) {
        return end;
    }
    if (scan_ == Scan::SectionTag) {
        finishSectionTag();
    } else {
        scan_ = Scan::Text;
        startOrphan();
    }
    return *stop == '>' ? stop + 1 : stop;
}

void ThoroughReader::finishSectionTag() {
    nameSink_.finish();
    nameDecoder_.finish();
    if (nameScanner_.otherSpelling()) {
        ++findings_.otherNameSpellings;
    }
    scan_ = Scan::Text;
    context_ = Context::Section;
    sectionName_.assign(nameText_.data(), nameText_.size());
    sectionLine_ = tagLine_;
    sectionRunsOn_ = false;
    piece_ = PieceKind::Section;
    pieceName_ = sectionName_;
    // Where the name goes in the map is fetched into the cache while the text is decoded.
    document_.contents.prefetch(pieceName_);
    pieceLine_ = tagLine_ + 1;
    widths_.startSection(lineIndex_);
    decoder_.setCounting(true);
    decoder_.start(AligningDecoder::kAligned, &storage_.text());
}

void ThoroughReader::startOrphan() {
    context_ = Context::Orphan;
    piece_ = PieceKind::None;
    decoder_.setCounting(false);
    decoder_.start(AligningDecoder::kSearching, &storage_.text());
}

void ThoroughReader::textResumes(std::size_t line, bool afterLongDamage) {
    if (context_ == Context::Section && decoder_.counts().seams != seamsTold_) {
        seamsTold_ = decoder_.counts().seams;
        clusters_.seam(decoder_.lastSeam());
    }
    // A piece begun after damage that has hardly any text yet goes on: the damage that begins
    // it often ends in a group or two that realign.
    if (afterLongDamage && (piece_ == PieceKind::AfterDamage || piece_ == PieceKind::Orphan) &&
        storage_.text().size() < kShortestPiece) {
        return;
    }
    if (piece_ != PieceKind::None && afterLongDamage) {
        storePiece();
    } else if (piece_ != PieceKind::None) {
        return;
    }
    if (context_ == Context::Section) {
        piece_ = PieceKind::AfterDamage;
        pieceName_ = afterDamageName(line);
    } else {
        piece_ = PieceKind::Orphan;
        pieceName_ = "[text without a section, line " + std::to_string(line + 1) + "]";
    }
    pieceLine_ = line + 1;
}

void ThoroughReader::endContext() {
    if (context_ == Context::None) {
        return;
    }
    decoder_.finish();
    storePiece();
    if (context_ == Context::Section && sectionRunsOn_) {
        ++findings_.bodiesAcrossLines;
    }
    context_ = Context::None;
}

void ThoroughReader::storePiece() {
    // Where the text was weighed stood in the text stored now.
    widths_.endSection();
    const PieceKind kind = std::exchange(piece_, PieceKind::None);
    if (kind == PieceKind::None || (kind != PieceKind::Section && storage_.text().empty())) {
        storage_.reset();
        rowsOfPiece_.clear();
        cuts_.clear();
        clusters_.forgetPiece();
        return;
    }
    std::string name = uniqueName(std::move(pieceName_));
    if (kind != PieceKind::Section) {
        findings_.pieces.push_back({name, kind == PieceKind::AfterDamage, pieceLine_});
    }
    PagedString& text = storage_.finished();
    const std::vector<LineWidthSeams::Cut> clusterCuts = clusters_.cuts(std::string_view(text));
    cuts_.insert(cuts_.end(), clusterCuts.begin(), clusterCuts.end());
    std::stable_sort(cuts_.begin(), cuts_.end(),
                     [](const auto& a, const auto& b) { return a.decoded < b.decoded; });
    std::vector<PagedString> parts = cutOffParts(text);
    const std::size_t index = document_.contents.assignOwned(name, std::move(text)).index;
    storeCutOffParts(parts);
    cuts_.clear();
    storage_.reset();
    for (const std::size_t row : rowsOfPiece_) {
        document_.report.damagedLines[row].section = index;
    }
    rowsOfPiece_.clear();
    if (decoder_.counts() != countsBeforeLine_ && !damagedPieceOnLine_) {
        damagedPieceOnLine_ = index;
    }
}

void ThoroughReader::listLineIfDamaged() {
    const DecodingCounts& text = decoder_.counts();
    const DecodingCounts& name = nameDecoder_.counts();
    const bool textChanged = text != countsBeforeLine_;
    const bool nameChanged = name != nameCountsBeforeLine_;
    const std::optional<std::size_t> damagedPiece = std::exchange(damagedPieceOnLine_, {});
    if (!textChanged && !nameChanged) {
        return;
    }
    using DamagedLine = SalvageReport::DamagedLine;
    DamagedLine row;
    row.line = lineIndex_ + 1;
    row.offset = lineOffset_;
    row.length = lineBytes_;
    const auto grew = [](std::size_t now, std::size_t before) {
        return static_cast<std::uint32_t>(std::min<std::size_t>(now - before, UINT32_MAX));
    };
    row.characters =
        grew(text.charactersSkipped + name.charactersSkipped,
             countsBeforeLine_.charactersSkipped + nameCountsBeforeLine_.charactersSkipped);
    row.groups = grew(text.groupsDropped + name.groupsDropped,
                      countsBeforeLine_.groupsDropped + nameCountsBeforeLine_.groupsDropped);
    if (nameChanged) {
        row.what |= DamagedLine::NameDamaged;
    }
    if (textChanged) {
        row.what |= DamagedLine::TextDamaged;
    }
    if (text.bytesDropped != countsBeforeLine_.bytesDropped ||
        name.bytesDropped != nameCountsBeforeLine_.bytesDropped) {
        row.what |= DamagedLine::NotText;
    }
    if (text.realignments != countsBeforeLine_.realignments) {
        row.what |= DamagedLine::Realigned;
    }
    if (text.stretchesLost != countsBeforeLine_.stretchesLost) {
        row.what |= DamagedLine::TextLost;
    }
    countsBeforeLine_ = text;
    nameCountsBeforeLine_ = name;
    SalvageReport& report = document_.report;
    if (report.damagedLines.size() >= SalvageReport::kDamagedLinesListed) {
        ++report.damagedLinesNotListed;
        return;
    }
    if (damagedPiece) {
        row.section = *damagedPiece;
    }
    report.damagedLines.push_back(row);
    if (!damagedPiece && context_ != Context::None && textChanged) {
        rowsOfPiece_.push_back(report.damagedLines.size() - 1);
    }
}

std::vector<PagedString> ThoroughReader::cutOffParts(PagedString& text) const {
    std::vector<PagedString> parts(cuts_.size());
    // From the last cut back, so that each cut still stands where it was made.
    for (std::size_t i = cuts_.size(); i-- > 0;) {
        const std::size_t at = wholeCharactersEnd(
            std::string_view(text).substr(0, std::min(cuts_[i].decoded, text.size())));
        parts[i].assign(text, at);
        text.resize(at);
    }
    return parts;
}

void ThoroughReader::storeCutOffParts(std::vector<PagedString>& parts) {
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (parts[i].empty()) {
            continue;
        }
        ++cutSeams_;
        std::string name = uniqueName(afterDamageName(cuts_[i].line));
        findings_.pieces.push_back({name, true, cuts_[i].line + 1});
        document_.contents.assignOwned(name, std::move(parts[i]));
    }
}

std::string ThoroughReader::afterDamageName(std::size_t line) const {
    return (sectionName_.empty() ? "" : sectionName_ + " ") + "[after damage, line " +
           std::to_string(line + 1) + "]";
}

std::string ThoroughReader::uniqueName(std::string name) {
    if (!document_.contents.contains(name)) {
        return name;
    }
    auto [next, added] = nextNumber_.try_emplace(name, 2);
    std::string candidate = numbered(name, next->second++);
    while (document_.contents.contains(candidate)) {
        candidate = numbered(name, next->second++);
    }
    auto [record, isNew] = repeatRecord_.try_emplace(name, findings_.repeatedNames.size());
    if (isNew) {
        findings_.repeatedNames.push_back({name, 0, candidate});
    }
    ++findings_.repeatedNames[record->second].times;
    return candidate;
}

void ThoroughReader::endLine() {
    switch (scan_) {
        case Scan::TagName: {
            // A line break inside a section tag's name may be damage: the name may go on.
            const std::string lower = lowerTagName();
            const std::string_view local = localName(lower);
            if (local == kSectionTagName) {
                decideTag('\n', tagOffLineStart_);
            } else if (mayGoOnToSectionTag(local)) {
                tagNameBroken_ = true;
            } else {
                notATag();
            }
            break;
        }
        case Scan::SectionTag:
            // A start tag whose ">" was lost ends with its line, unless its name goes on or
            // has not begun yet (a line break may stand between the tag's name and its
            // attributes, but not two).
            if (nameScanner_.collecting()) {
                break;
            }
            if (!nameScanner_.searching() || tagBreaks_ != 0) {
                finishSectionTag();
            } else {
                ++tagBreaks_;
            }
            break;
        case Scan::OtherTag:
            scan_ = Scan::Text;
            startOrphan();
            break;
        case Scan::CdataOpening:
            notCdata();
            break;
        case Scan::Text:
            break;
    }
    if (lineIndex_ == 0) {
        header_.endText();
    }
    if (context_ == Context::Section) {
        takeCut(widths_.endLine(lineIndex_, storage_.text().size()));
    }
    listLineIfDamaged();
    ++lineIndex_;
    lineBytes_ = 0;
    decoder_.setLine(lineIndex_);
    nameDecoder_.setLine(lineIndex_);
}

bool ThoroughReader::finish() {
    if (scan_ == Scan::TagName) {
        notATag();
    } else if (scan_ == Scan::CdataOpening) {
        notCdata();
    } else if (scan_ == Scan::SectionTag) {
        finishSectionTag();
    }
    endContext();
    const bool header = header_.matched();
    const DecodingCounts& counts = decoder_.counts();
    findings_.headerDamaged = !header;
    findings_.charactersSkipped =
        counts.charactersSkipped + nameDecoder_.counts().charactersSkipped;
    findings_.nameReferences = nameSink_.referencesDecoded();
    findings_.groupsDropped = counts.groupsDropped + nameDecoder_.counts().groupsDropped;
    findings_.bytesDropped = counts.bytesDropped + nameDecoder_.counts().bytesDropped;
    findings_.realignments = counts.realignments;
    findings_.stretchesLost = counts.stretchesLost;
    findings_.seams = counts.seams + cutSeams_;
    document_.report.sectionLines = sectionTags_;
    document_.report.thorough = std::move(findings_);
    return header || sectionTags_ != 0;
}

}  // namespace salvage::detail
