#include "carve/document_follower.h"

#include <algorithm>
#include <functional>
#include <optional>
#include <string>

#include "carve/document_grammar.h"
#include "carve/document_start.h"

namespace salvage::detail {
namespace {

// Longer documents are cut here: their bytes are read into memory to be read thoroughly.
constexpr std::uint64_t kLongestDocument = std::uint64_t{64} << 20;
// How far before a cut-off piece the piece that carries it on is looked for: fragments out of
// order lie near each other more often than not, and each step back costs a cluster's test.
constexpr std::uint64_t kLookBack = 64 * kClusterSize;
// Other data that starts on a cluster boundary may begin with a few bytes that look like
// Base64 before its first byte that cannot: the cut is still taken to be at the boundary.
constexpr std::uint64_t kCutSlack = 8;

std::uint64_t clusterFloor(std::uint64_t offset) {
    return offset / kClusterSize * kClusterSize;
}

bool isTextLike(unsigned char byte) {
    return (byte >= 0x20 && byte < 0x7f) || byte == '\t';
}

constexpr std::size_t kLeastCarriedText = 16;
// How many overwritten clusters a document's text is taken up again after, and how far the
// pieces that may carry it on whole are looked for first.
constexpr std::uint64_t kMostLostClusters = 2;
constexpr std::uint64_t kResumeAfter = 16 * kClusterSize;

struct Candidate {
    bool fits = false;
    bool textCarriesOn = false;  // a section's text decodes to text across the seam
};

// Whether the cluster at `offset` carries the document on from `state`, where it was cut: its
// first line goes on where the cut one stopped, and the section text decodes to text across
// the seam, or, when the cut fell between sections, its tags follow.
// `skip`: when set, the text is taken up again there, after that many Base64 characters.
Candidate tryCluster(SourceReader& reader, DocumentGrammar state, std::uint64_t offset,
                     std::optional<std::size_t> skip = std::nullopt) {
    // A copy: the start test below may read another window.
    const std::string bytes(reader.at(offset, kClusterSize).substr(0, kClusterSize));
    // The text gathered before the seam is counted first: only what the cluster adds may speak
    // for it.
    state.flushText();
    if (skip) {
        state.textResumes(*skip);
    } else {
        state.watchSeam();
    }
    const std::size_t lines = state.lines();
    const std::size_t tags = state.tags();
    const std::size_t textBytes = state.textBytes();
    const bool wasBroken = state.textBroken();
    const bool wasWrapBroken = state.wrapBroken();
    const bool inText = state.inText();
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        using Event = DocumentGrammar::Event;
        const Event event = state.step(static_cast<unsigned char>(bytes[i]), offset + i);
        if (event == Event::Ended) {
            break;
        }
        if (event == Event::HeaderStart || (event == Event::Bad && state.lines() == lines)) {
            return {};
        }
        if (event == Event::Bad) {
            break;  // the document ends inside this cluster, after its first line
        }
        if (event == Event::SectionStart && startsDocument(reader, state.tagStart())) {
            return {};
        }
    }
    state.flushText();
    if ((state.textBroken() && !wasBroken) || (state.wrapBroken() && !wasWrapBroken) ||
        state.scriptChangesAtSeam()) {
        return {};
    }
    // A group or two made whole by the first bytes of other data is chance, not a continuation.
    const bool textCarriesOn = inText && state.textBytes() >= textBytes + kLeastCarriedText;
    if (!textCarriesOn && state.tags() == tags) {
        return {};
    }
    return {true, textCarriesOn};
}

bool claimedNearer(SourceReader& reader, std::uint64_t at, std::uint64_t distance,
                   std::uint64_t lookAhead, const std::function<bool(std::uint64_t)>& own);

class Follower {
  public:
    // `weighing`: whether a piece that another document may claim is weighed against that
    // document (which is followed without weighing, so that it ends).
    Follower(SourceReader& reader, std::uint64_t start, std::uint64_t lookAhead,
             bool weighing = true)
        : reader_(reader),
          lookAhead_(lookAhead),
          weighing_(weighing),
          fragmentStart_(start),
          position_(start) {
        place_.fragments.push_back({start, 0});
    }

    std::optional<DocumentPlace> run() {
        while (!end_) {
            const std::uint64_t length = earlier_ + (position_ - fragmentStart_);
            const std::string_view bytes = reader_.at(position_);
            if (bytes.empty() || length >= kLongestDocument) {
                end_ = position_;
                break;
            }
            walk(bytes);
        }
        if (ended_) {
            skipLineBreak();
        }
        place_.fragments.back().length = *end_ - fragmentStart_;
        if (place_.fragments.size() > 1 && place_.fragments.back().length == 0) {
            place_.fragments.pop_back();  // nothing of it was the document's after all
            place_.seams.pop_back();
        }
        grammar_.finish();
        place_.header = grammar_.sawHeader() && grammar_.sawRoot();
        const bool sections =
            grammar_.goodSections() > 0 && grammar_.goodSections() >= grammar_.badSections();
        if (place_.length() == 0 || !(place_.header || sections)) {
            return std::nullopt;
        }
        return std::move(place_);
    }

  private:
    // Takes bytes until the document ends or the window must be read anew.
    void walk(std::string_view bytes) {
        using Event = DocumentGrammar::Event;
        for (std::size_t i = 0; i < bytes.size();) {
            if (position_ % kClusterSize == 0 || position_ == fragmentStart_) {
                atBoundary_ = grammar_;
                boundary_ = position_;
            }
            // Most of a document is section text: taken a run at a time, up to the next
            // cluster boundary, where the grammar is kept.
            const auto toBoundary =
                static_cast<std::size_t>(kClusterSize - position_ % kClusterSize);
            const std::size_t taken = grammar_.takeText(bytes.substr(i, toBoundary));
            if (taken > 0) {
                i += taken;
                position_ += taken;
                continue;
            }
            const auto byte = static_cast<unsigned char>(bytes[i++]);
            const Event event = grammar_.step(byte, position_);
            switch (event) {
                case Event::Goes:
                    ++position_;
                    break;
                case Event::Ended:
                    end_ = ++position_;
                    ended_ = true;
                    return;
                case Event::HeaderStart:
                    anotherStarts();
                    return;
                case Event::SectionStart:
                    ++position_;
                    if (startsDocument(reader_, grammar_.tagStart())) {
                        anotherStarts();
                    }
                    return;  // the start test may have read another window
                case Event::Bad:
                    stopAt(byte);
                    return;
            }
        }
    }

    void stopAt(unsigned char byte) {
        const std::uint64_t cluster = clusterFloor(position_);
        if (position_ - cluster < kCutSlack && mayBeCutAt(cluster)) {
            cutAt(cluster);
            return;
        }
        end_ = isTextLike(byte) ? std::max(grammar_.lineStart(), fragmentStart_) : position_;
    }

    // Another document starts at the tag just read. When the tag opens a cluster in the middle
    // of this document's line, this one was cut off there and may go on after a gap.
    void anotherStarts() {
        const std::uint64_t tag = grammar_.tagStart();
        if (tag > grammar_.lineStart() && mayBeCutAt(tag)) {
            cutAt(tag);
            return;
        }
        end_ = std::max(grammar_.lineStart(), fragmentStart_);
    }

    bool mayBeCutAt(std::uint64_t offset) const {
        return offset % kClusterSize == 0 && offset > fragmentStart_ && boundary_ == offset;
    }

    void cutAt(std::uint64_t cluster) {
        grammar_ = atBoundary_;
        if (!joinAfter(cluster)) {
            end_ = cluster;
        }
    }

    // Looks for the cluster that carries on the document cut at `cut`; takes the nearest, after
    // the cut or, a little way, before the piece it cut (the pieces of a fragmented file need
    // not lie in order), but never one of the document's own.
    bool joinAfter(std::uint64_t cut) {
        const std::uint64_t last = std::min(cut + lookAhead_, reader_.size());
        const std::uint64_t reachBack = std::min(kLookBack, lookAhead_);
        const std::uint64_t first = fragmentStart_ > reachBack ? fragmentStart_ - reachBack : 0;
        // The clusters before the piece, read at once: stepping back through the reader would
        // read a window for every cluster.
        std::optional<SourceReader> before;
        for (std::uint64_t step = kClusterSize;; step += kClusterSize) {
            const bool ahead = cut + step < last;
            const bool behind = fragmentStart_ >= first + step && fragmentStart_ >= step;
            if (!ahead && !behind) {
                return step <= kResumeAfter && resumeAfterLostClusters(cut);
            }
            if (ahead && tryJoin(reader_, cut, cut + step)) {
                return true;
            }
            if (behind) {
                if (!before) {
                    before.emplace(reader_,
                                   static_cast<std::size_t>(fragmentStart_ + kClusterSize - first));
                }
                if (tryJoin(*before, cut, fragmentStart_ - step)) {
                    return true;
                }
            }
            // Only a piece as near as a small gap carries a document on before its own text
            // after a lost cluster or two; a piece further away comes after that.
            if (step == kResumeAfter && resumeAfterLostClusters(cut)) {
                return true;
            }
        }
    }

    bool ownCluster(std::uint64_t at) const {
        return std::any_of(place_.fragments.begin(), place_.fragments.end(),
                           [&](const ByteRange& fragment) {
                               const std::uint64_t end =
                                   &fragment == &place_.fragments.back()
                                       ? std::max(position_, fragment.offset + fragment.length)
                                       : fragment.offset + fragment.length;
                               return at + kClusterSize > fragment.offset && at < end;
                           });
    }

    // Whether the cut fell inside a Base64 group or a character of the text, all of the text
    // before it decoded.
    bool cutInsideCharacter() const {
        DocumentGrammar atCut = atBoundary_;
        atCut.flushText();
        return atCut.cutInsideCharacter();
    }

    // Where the last of the document's own pieces before `at` ends (0: none does): a cut the
    // document made itself is no other document's.
    std::uint64_t ownCutBefore(std::uint64_t cut, std::uint64_t at) const {
        std::uint64_t last = cut <= at ? cut : 0;
        for (const ByteRange& fragment : place_.fragments) {
            const std::uint64_t end = fragment.offset + fragment.length;
            if (&fragment != &place_.fragments.back() && end <= at) {
                last = std::max(last, end);
            }
        }
        return last;
    }

    // A document whose next cluster or two were overwritten goes on right after them, but
    // inside a Base64 group and a character (or in a section whose start was lost): when no
    // piece as near carries it on whole, its text is taken up again there, at whichever of the
    // four places in a group gives text.
    bool resumeAfterLostClusters(std::uint64_t cut) {
        for (std::uint64_t lost = 1; lost <= kMostLostClusters; ++lost) {
            const std::uint64_t at = cut + lost * kClusterSize;
            for (std::size_t skip = 0; skip < 4 && at < reader_.size(); ++skip) {
                if (tryJoin(reader_, cut, at, skip)) {
                    return true;
                }
            }
        }
        return false;
    }

    bool tryJoin(SourceReader& reader, std::uint64_t cut, std::uint64_t at,
                 std::optional<std::size_t> skip = std::nullopt) {
        // A cluster in the middle of another document's run would carry on any text cut in
        // step with it: a piece that follows a gap starts after other data.
        if (at % kClusterSize != 0 || ownCluster(at) || flowsFromPreviousCluster(reader, at)) {
            return false;
        }
        const Candidate candidate = tryCluster(reader, atBoundary_, at, skip);
        // Only a Base64 group or a character cut in two and made whole again by the cluster
        // ties the two pieces to each other.
        const bool tied = !skip && candidate.textCarriesOn && cutInsideCharacter();
        const std::uint64_t distance = at > cut ? at - cut : cut - at;
        // Where only the structure speaks for a join, the piece must lie near: far away, some
        // other data fits a document's tags by chance.
        if (!candidate.fits || (!tied && distance > kLookBack) ||
            documentCutOffBetween(
                reader, std::max(ownCutBefore(cut, at), at > distance ? at - distance : 0), at) ||
            (weighing_ && claimedNearer(reader, at, distance, lookAhead_,
                                        [this](std::uint64_t c) { return ownCluster(c); }))) {
            return false;
        }
        place_.fragments.back().length = cut - fragmentStart_;
        earlier_ += cut - fragmentStart_;
        place_.seams.push_back({at, !tied});
        if (skip) {
            grammar_.textResumes(*skip);
        }
        place_.fragments.push_back({at, 0});
        fragmentStart_ = position_ = at;
        return true;
    }

    void skipLineBreak() {
        if (reader_.byteAt(*end_) == '\r') {
            ++*end_;
        }
        if (reader_.byteAt(*end_) == '\n') {
            ++*end_;
        }
    }

    SourceReader& reader_;
    std::uint64_t lookAhead_;
    bool weighing_;
    DocumentPlace place_;
    DocumentGrammar grammar_;
    DocumentGrammar atBoundary_;  // the grammar as it was on the last cluster boundary
    std::uint64_t boundary_ = 0;
    std::uint64_t fragmentStart_;
    std::uint64_t position_;
    std::uint64_t earlier_ = 0;  // bytes of the fragments before the last
    std::optional<std::uint64_t> end_;
    bool ended_ = false;
};

// Whether a document that starts a little after the cluster at `at` (not in a cluster `own`
// says is the asking document's) is cut off nearer to it than `distance`, where `at` would carry
// it on: the pieces of a fragmented file lie near each other more often than not, so the piece
// is that document's rather than one cut further away.
bool claimedNearer(SourceReader& reader, std::uint64_t at, std::uint64_t distance,
                   std::uint64_t lookAhead, const std::function<bool(std::uint64_t)>& own) {
    const std::uint64_t from = at + kClusterSize;
    const std::uint64_t to = std::min({at + kLookBack, at + distance, reader.size()});
    if (from >= to) {
        return false;
    }
    // The start test and the followers read windows of their own: the bytes are copied first.
    const auto span = static_cast<std::size_t>(to - from);
    const std::string bytes(reader.at(from, span).substr(0, span));
    for (std::size_t i = bytes.find('<'); i != std::string::npos; i = bytes.find('<', i + 1)) {
        if (own(clusterFloor(from + i)) || !startsDocument(reader, from + i)) {
            continue;
        }
        const auto place = Follower(reader, from + i, lookAhead, false).run();
        if (!place) {
            continue;
        }
        const std::vector<ByteRange>& pieces = place->fragments;
        for (std::size_t k = 1; k < pieces.size(); ++k) {
            const std::uint64_t cut = pieces[k - 1].offset + pieces[k - 1].length;
            if (pieces[k].offset == at && (cut > at ? cut - at : at - cut) < distance) {
                return true;
            }
        }
    }
    return false;
}

}  // namespace

std::optional<DocumentPlace> followDocument(SourceReader& reader, std::uint64_t start,
                                            std::uint64_t lookAhead) {
    return Follower(reader, start, lookAhead).run();
}

}  // namespace salvage::detail
