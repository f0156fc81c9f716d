#include "read/aligning_decoder.h"

#include <algorithm>
#include <string_view>
#include <utility>

#include "simd/base64_groups.h"
#include "store/page_allocator.h"

namespace salvage::detail {
namespace {

// Characters of text a group alignment must give in a row before it is trusted: shifted
// Base64 of real text gives a character that is not text within a few bytes, so 24 bytes of
// text in a row do not happen by chance.
constexpr std::size_t kTrustedRun = 32;
// At the end of a text, a shorter run is still taken.
constexpr std::size_t kTrustedTail = 16;
// Characters without text after which what follows is taken for another piece.
constexpr std::size_t kLongStretch = 128;
// Characters without text that are still the damage of a character or two, not a stretch.
constexpr std::size_t kShortDamage = 8;
// Input the fast path decodes per step: the room it makes is filled one step at a time.
constexpr std::size_t kCleanStep = std::size_t{64} << 10;
// Characters of the alphabet after a surprising one that must decode to text, taken as if it
// were inserted, before it is: shifted Base64 of real text fails within a few bytes.
constexpr std::size_t kInsertedLookahead = 24;
// Whether a sector boundary lies in (from, to].
constexpr bool crossesSector(std::uint64_t from, std::uint64_t to) {
    return from < to && to / kSector != from / kSector;
}

constexpr bool isContinuation(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

}  // namespace

AligningDecoder::GroupBytes AligningDecoder::decodeGroup(const std::array<std::uint8_t, 4>& slots,
                                                         unsigned filled) {
    GroupBytes result;
    unsigned values = 0;
    while (values < filled && slots[values] < 64) {
        ++values;
    }
    for (unsigned k = values; k < filled; ++k) {
        if (slots[k] != kPad) {
            return result;  // a character outside the alphabet: the group gives nothing
        }
    }
    if (filled == 4 && values < 2) {
        return result;  // padding where no byte can end
    }
    unsigned bits = 0;
    for (unsigned k = 0; k < 4; ++k) {
        bits = (bits << 6) | (k < values ? slots[k] : 0u);
    }
    result.count = values <= 1 ? 0 : static_cast<int>(values) - 1;
    result.bytes = {static_cast<unsigned char>(bits >> 16),
                    static_cast<unsigned char>((bits >> 8) & 0xFF),
                    static_cast<unsigned char>(bits & 0xFF)};
    return result;
}

void AligningDecoder::Candidate::restart(std::size_t at) {
    filled = 0;
    checker.reset();
    skipContinuations = true;
    run.clear();
    runSlots = 0;
    runStart = at;
    suspectBytes = 0;
}

void AligningDecoder::start(bool aligned, PagedString* out) {
    out_ = out;
    checkedEnd_ = out->size();
    filled_ = 0;
    filledBeforeStretch_ = 0;
    checker_.reset();
    skipContinuations_ = false;
    quietSlots_ = 0;
    nextCleanTry_ = 0;
    fed_ = 0;
    recentCount_ = 0;
    sawBase64_ = false;
    heldCount_ = 0;
    heldValues_ = 0;
    mode_ = Mode::Aligned;
    if (!aligned) {
        beginRealigning(false);
    }
}

void AligningDecoder::feed(const char* p, const char* end) {
    static constexpr auto kSlots = [] {
        std::array<std::uint8_t, 256> slots{};
        for (std::size_t c = 0; c < slots.size(); ++c) {
            const std::uint8_t value = kBase64Table[c];
            slots[c] = value < 64 ? value : value == kBase64Padding ? kPad : kBad;
        }
        for (const char space : {' ', '\t', '\n', '\r', '\f', '\v'}) {
            slots[static_cast<unsigned char>(space)] = kSkip;
        }
        return slots;
    }();
    const bool fast = routines_.decodeCleanGroups != nullptr;
    const char* const begin = p;
    const std::uint64_t base = nextOffset_;
    nextOffset_ += static_cast<std::uint64_t>(end - begin);
    while (p != end) {
        if (fast && mode_ == Mode::Aligned && filled_ == 0 && quietSlots_ == 0 &&
            checker_.pending() == 0 && !skipContinuations_ && heldCount_ == 0 &&
            fed_ >= nextCleanTry_) {
            offset_ = base + static_cast<std::uint64_t>(p - begin);
            const char* after = feedClean(p, end);
            if (after == p) {
                nextCleanTry_ = fed_ + 32;
            }
            p = after;
            if (p == end) {
                break;
            }
        }
        offset_ = base + static_cast<std::uint64_t>(p - begin);
        const std::uint8_t slot = kSlots[static_cast<unsigned char>(*p++)];
        ++fed_;
        if (slot == kSkip) {
            continue;
        }
        sawBase64_ = sawBase64_ || slot < 64;
        feedSlot(slot);
    }
}

void AligningDecoder::feedSlot(std::uint8_t slot) {
    if (heldCount_ != 0 || (mode_ == Mode::Aligned && (slot == kBad || slot == kPad))) {
        hold(slot);
    } else {
        dispatch(slot);
    }
}

void AligningDecoder::dispatch(std::uint8_t slot) {
    if (mode_ == Mode::Aligned) {
        feedAligned(slot);
    } else {
        feedRealigning(slot);
    }
}

void AligningDecoder::hold(std::uint8_t slot) {
    held_[heldCount_++] = {slot, offset_};
    heldValues_ += slot < 64 ? 1 : 0;
    if (heldValues_ > kInsertedLookahead || heldCount_ == kLongestHold) {
        decideHeld(false);
    }
}

// Whether the held characters give text when every surprising one among them is taken as the
// plain decoder takes it: skipped, or, for "=", ending the group.
bool AligningDecoder::insertedGivesText(bool atEnd) const {
    TextChecker checker = checker_;
    bool skip = skipContinuations_;
    std::array<std::uint8_t, 4> group = group_;
    unsigned filled = filled_;
    const auto givesText = [&] {
        const GroupBytes bytes = decodeGroup(group, filled);
        filled = 0;
        return bytes.count >= 0 && checkGroup(bytes, checker, skip).text;
    };
    for (std::size_t i = 0; i < heldCount_; ++i) {
        const std::uint8_t slot = held_[i].slot;
        if (slot == kBad || (slot == kPad && filled == 0)) {
            continue;
        }
        if (slot != kPad) {
            group[filled++] = slot;
        }
        if ((slot == kPad || filled == 4) && !givesText()) {
            return false;
        }
    }
    return !atEnd || filled == 0 || givesText();
}

void AligningDecoder::decideHeld(bool atEnd) {
    const bool inserted = insertedGivesText(atEnd);
    // Replaying them may hold slots again: the held ones are taken out first.
    const std::size_t count = std::exchange(heldCount_, 0);
    HeldSlots slots;
    std::copy_n(held_.begin(), count, slots.begin());
    heldValues_ = 0;
    const std::uint64_t current = offset_;
    for (std::size_t i = 0; i < count; ++i) {
        offset_ = slots[i].offset;
        const std::uint8_t slot = slots[i].slot;
        if (inserted && (slot == kBad || slot == kPad)) {
            takeAsInserted(slot);
        } else if (inserted || i == 0) {
            // Not inserted: the first surprising character stands for a lost one, and those
            // after it get their own turn.
            dispatch(slot);
        } else {
            feedSlot(slot);
        }
    }
    offset_ = current;
}

void AligningDecoder::takeAsInserted(std::uint8_t slot) {
    if (slot == kPad) {
        endGroupEarly();
        return;
    }
    if (counting_) {
        ++counts_.charactersSkipped;
    }
    if (quietSlots_ + 1 == kLongStretch && filled_ != 0 && listener_ != nullptr) {
        splitGroupAtStretch();
    }
    // Inside a long damaged stretch, characters of the alphabet stand among the others by chance
    // (random bytes): no group is made of them across one that is not.
    if (quietSlots_ >= kLongStretch && filled_ > filledBeforeStretch_) {
        filled_ = filledBeforeStretch_;
    }
    ++quietSlots_;  // a long run of junk still parts what stands on either side of it
}

// A long run of junk in the middle of a group most often took the place of characters rather
// than being put between them (a zeroed or overwritten block): the characters on its two sides
// do not belong to one group. Those before it give the bytes they alone make up to the text
// before; the group's bytes that also need characters from before it are dropped when the
// group is complete (see tailAfterStretch).
void AligningDecoder::splitGroupAtStretch() {
    filledBeforeStretch_ = filled_;
    if (filled_ >= 2) {
        const std::size_t quiet = quietSlots_;
        appendChecked(decodeGroup(group_, filled_));
        quietSlots_ = quiet;
    }
    recentCount_ = 0;  // groups across the junk are not cut anew together
}

AligningDecoder::GroupBytes AligningDecoder::tailAfterStretch(const GroupBytes& group,
                                                              unsigned before) {
    if (before == 0 || group.count < 0) {
        return group;
    }
    // Byte i of a group is made of its characters i and i + 1.
    GroupBytes tail;
    tail.count = std::max(0, group.count - static_cast<int>(before));
    for (int i = 0; i < tail.count; ++i) {
        tail.bytes[static_cast<std::size_t>(i)] = group.bytes[static_cast<std::size_t>(i) + before];
    }
    if (counting_) {
        counts_.bytesDropped += static_cast<std::size_t>(group.count - tail.count);
    }
    return tail;
}

void AligningDecoder::endGroupEarly() {
    if (filled_ == 0) {
        return;
    }
    const GroupBytes bytes = decodeGroup(group_, filled_);
    filled_ = 0;
    filledBeforeStretch_ = 0;
    recentCount_ = 0;  // the groups start afresh: there is nothing before to realign from
    if (bytes.count > 0 && !appendChecked(bytes) && counting_) {
        counts_.bytesDropped += static_cast<std::size_t>(bytes.count);
    }
}

// Decodes a run of clean groups at once and checks the text it gives as a whole; when that
// text is not clean, nothing is kept and the groups go the careful way, one at a time.
const char* AligningDecoder::feedClean(const char* p, const char* end) {
    const std::size_t available =
        std::min<std::size_t>(static_cast<std::size_t>(end - p), kCleanStep);
    if (available < 4) {
        return p;
    }
    PagedString& out = *out_;
    const std::size_t start = out.size();
    out.resize(start + available / 4 * 3 + kBase64Slack);
    std::size_t written = 0;
    const std::size_t consumed = routines_.decodeCleanGroups(
        reinterpret_cast<const unsigned char*>(p), available, out.data() + start, written);
    out.resize(start + written);
    if (consumed == 0) {
        return p;
    }
    const std::string_view fresh(out.data() + start, written);
    const std::size_t whole = wholeCharactersEnd(fresh);
    bool clean = isCleanText(fresh.substr(0, whole), routines_);
    TextChecker checker;
    for (std::size_t i = whole; i < written && clean; ++i) {
        clean = checker.step(static_cast<unsigned char>(fresh[i])) == TextChecker::Step::Partial;
    }
    if (!clean) {
        out.resize(start);
        return p;
    }
    checker_ = checker;
    checkedEnd_ = start + whole;
    sawBase64_ = true;
    fed_ += consumed;
    const char* const after = p + consumed;
    // The groups to realign from, should the next one fail.
    for (std::size_t back = std::min<std::size_t>(consumed / 4, 2); back > 0; --back) {
        const char* group = after - back * 4;
        std::array<std::uint8_t, 4> slots{};
        for (std::size_t k = 0; k < 4; ++k) {
            slots[k] = kBase64Table[static_cast<unsigned char>(group[k])];
        }
        remember(slots, out.size() - back * 3, offset_ + consumed - back * 4);
    }
    return after;
}

void AligningDecoder::remember(const std::array<std::uint8_t, 4>& group, std::size_t outStart,
                               std::uint64_t offset) {
    if (recentCount_ == 2) {
        recent_[0] = recent_[1];
        recentStart_[0] = recentStart_[1];
        recentOffset_[0] = recentOffset_[1];
        recentCount_ = 1;
    }
    recent_[recentCount_] = group;
    recentStart_[recentCount_] = outStart;
    recentOffset_[recentCount_] = offset;
    ++recentCount_;
}

void AligningDecoder::feedAligned(std::uint8_t slot) {
    if (filled_ == 0) {
        groupOffset_ = offset_;
    }
    group_[filled_++] = slot;
    if (filled_ < 4) {
        return;
    }
    filled_ = 0;
    const unsigned beforeStretch = std::exchange(filledBeforeStretch_, 0u);
    const GroupBytes bytes = tailAfterStretch(decodeGroup(group_, 4), beforeStretch);
    if (bytes.count < 0) {
        if (beforeStretch == 0) {  // otherwise kept before the junk already
            keepBytesBeforeDamage(4);
        }
        dropGroup();
        remember(group_, out_->size(), groupOffset_);
        quietSlots_ += 4;
        return;
    }
    const std::size_t outStart = out_->size();
    if (appendChecked(bytes)) {
        if (beforeStretch == 0) {
            remember(group_, outStart, groupOffset_);
        } else {
            recentCount_ = 0;  // the group is not to be cut anew with its characters from before
        }
        return;
    }
    // A character begun before this group that it does not finish was damaged there, not here:
    // when the group is text on its own, only that character is lost.
    if (checker_.pending() != 0 && appendAfterCutCharacter(bytes)) {
        return;
    }
    if (counting_) {
        counts_.bytesDropped += static_cast<std::size_t>(bytes.count);
    }
    if (listener_ == nullptr) {
        cutCharacter();
        quietSlots_ += 4;
        remember(group_, out_->size(), groupOffset_);
        return;
    }
    replaySkip_ = beforeStretch;
    beginRealigning(true);
}

AligningDecoder::GroupCheck AligningDecoder::checkGroup(const GroupBytes& group,
                                                        TextChecker& checker, bool& skip) {
    GroupCheck result;
    for (unsigned i = 0; i < static_cast<unsigned>(group.count); ++i) {
        const unsigned char byte = group.bytes[i];
        if (skip && isContinuation(byte)) {
            result.first = i + 1;
            continue;
        }
        skip = false;
        const TextChecker::Step step = checker.step(byte);
        if (step == TextChecker::Step::Invalid) {
            return result;
        }
        if (step == TextChecker::Step::Complete) {
            result.complete = i + 1;
        }
    }
    result.text = true;
    return result;
}

bool AligningDecoder::appendAfterCutCharacter(const GroupBytes& bytes) {
    TextChecker fresh;
    bool skip = true;
    if (!checkGroup(bytes, fresh, skip).text) {
        return false;
    }
    cutCharacter();
    // A character cut short at a sector boundary: another file's data may begin here.
    if (listener_ != nullptr && groupOffset_ != 0 && crossesSector(groupOffset_ - 1, offset_)) {
        lastSeam_ = offset_ / kSector * kSector;
        if (counting_) {
            ++counts_.seams;
        }
        textFollows(line_);
    }
    const std::size_t outStart = out_->size();
    const bool appended = appendChecked(bytes);
    remember(group_, outStart, groupOffset_);
    return appended;
}

bool AligningDecoder::appendChecked(const GroupBytes& group) {
    if (quietSlots_ >= kLongStretch && listener_ != nullptr) {
        // Text after a long stretch may be another piece's: a character begun before the
        // stretch is not finished by what follows it, and the tail of one begun in what the
        // stretch replaced may come first.
        cutCharacter();
    }
    TextChecker checker = checker_;
    bool skip = skipContinuations_;
    const GroupCheck check = checkGroup(group, checker, skip);
    if (!check.text) {
        return false;
    }
    const unsigned first = check.first;
    const unsigned complete = check.complete;
    if (counting_) {
        counts_.bytesDropped += first;
    }
    const auto count = static_cast<unsigned>(group.count);
    if (count > first) {
        if (quietSlots_ >= kLongStretch && listener_ != nullptr) {
            textFollows(line_);
        }
        quietSlots_ = 0;
    }
    const std::size_t base = out_->size();
    for (unsigned i = first; i < count; ++i) {
        out_->push_back(static_cast<char>(group.bytes[i]));
    }
    if (complete > first) {
        checkedEnd_ = base + (complete - first);
    }
    checker_ = checker;
    skipContinuations_ = skip;
    return true;
}

void AligningDecoder::textFollows(std::size_t line) {
    listener_->textResumes(line, true);
    // The text may now be another piece's: nothing before this point is to be rolled back.
    checkedEnd_ = std::min(checkedEnd_, out_->size());
    recentCount_ = 0;
}

// The bytes of a group that only its characters before the damaged one make up are as sound as
// any: two characters give the first byte, three the second. Within a damaged stretch (random
// bytes, a few of them in the alphabet) they are as random as the rest, and are no sign that
// the text goes on.
void AligningDecoder::keepBytesBeforeDamage(unsigned filled) {
    if (quietSlots_ >= kShortDamage) {
        return;
    }
    unsigned values = 0;
    while (values < filled && group_[values] < 64) {
        ++values;
    }
    if (values >= 2) {
        const std::size_t quiet = quietSlots_;
        appendChecked(decodeGroup(group_, values));
        quietSlots_ = quiet;
    }
}

void AligningDecoder::dropGroup() {
    if (counting_) {
        ++counts_.groupsDropped;
    }
    cutCharacter();
}

// Drops a character begun but not finished; the continuation bytes of its tail, should they
// follow, are skipped.
void AligningDecoder::cutCharacter() {
    dropPending();
    skipContinuations_ = true;
}

void AligningDecoder::dropPending() {
    if (counting_) {
        counts_.bytesDropped += out_->size() - checkedEnd_;
    }
    out_->resize(checkedEnd_);
    checker_.reset();
}

void AligningDecoder::beginRealigning(bool afterFailure) {
    mode_ = Mode::Realigning;
    afterFailure_ = afterFailure;
    realignIndex_ = 0;
    for (std::size_t k = 0; k < candidates_.size(); ++k) {
        candidates_[k].restart(k);
    }
    if (!afterFailure) {
        replayGroups_ = 0;
        oldBoundary_[0] = out_->size();
        replayed_ = 0;
        return;
    }
    dropPending();
    damageFrom_ = recentCount_ != 0 ? recentOffset_[0] : groupOffset_;
    damageTo_ = offset_;
    replayGroups_ = recentCount_;
    for (unsigned g = 0; g < recentCount_; ++g) {
        oldBoundary_[g] = recentStart_[g];
    }
    oldBoundary_[recentCount_] = out_->size();
    // The groups just before the failure are tried again cut the other ways: the characters
    // were probably lost or inserted there, and what follows the damage in them is text.
    const auto failed = group_;
    const unsigned recent = recentCount_;
    // Characters of the failed group from before a long run of junk are not tried again with
    // those after it.
    const unsigned skip = std::exchange(replaySkip_, 0u);
    recentCount_ = 0;
    replayed_ = (recent + 1) * 4 - skip;
    const auto replay = [this](const std::array<std::uint8_t, 4>& group, std::uint64_t offset,
                               unsigned from) {
        for (std::size_t k = from; k < group.size(); ++k) {
            offset_ = offset + k;  // close enough: blanks between them are rare
            feedRealigning(group[k]);
        }
    };
    for (unsigned g = 0; g < recent; ++g) {
        replay(recent_[g], recentOffset_[g], 0);
    }
    replay(failed, groupOffset_, skip);
    offset_ = damageTo_;
}

bool AligningDecoder::feedCandidate(Candidate& candidate, std::uint8_t slot) {
    if (candidate.runSlots++ == 0) {
        candidate.runLine = line_;
        candidate.runOffset = offset_;
    }
    candidate.group[candidate.filled++] = slot;
    if (candidate.filled < 4) {
        return true;
    }
    candidate.filled = 0;
    const GroupBytes bytes = decodeGroup(candidate.group, 4);
    bool text = bytes.count >= 0;
    for (int i = 0; text && i < bytes.count; ++i) {
        const unsigned char byte = bytes.bytes[static_cast<std::size_t>(i)];
        if (candidate.skipContinuations && isContinuation(byte)) {
            continue;
        }
        candidate.skipContinuations = false;
        text = candidate.checker.step(byte) != TextChecker::Step::Invalid;
        candidate.run.push_back(static_cast<char>(byte));
    }
    return text;
}

void AligningDecoder::feedRealigning(std::uint8_t slot) {
    const std::size_t index = realignIndex_++;
    for (std::size_t k = 0; k < candidates_.size() && k <= index; ++k) {
        Candidate& candidate = candidates_[k];
        if (!feedCandidate(candidate, slot)) {
            candidate.restart(index + 1);
        } else if (candidate.filled == 0 && index < replayed_ + 3) {
            candidate.suspectBytes = candidate.run.size();
        }
    }
    for (Candidate& candidate : candidates_) {
        if (candidate.runSlots >= kTrustedRun) {
            adopt(candidate);
            return;
        }
    }
}

void AligningDecoder::adopt(Candidate& candidate) {
    // The groups as cut before the failure go on right after the failed group: what was
    // decoded before it stands.
    const bool continues = afterFailure_ && candidate.runStart == replayed_;
    std::size_t from = 0;
    if (afterFailure_ && !continues) {
        if (candidate.runStart % 4 != 0) {
            ++counts_.realignments;
        }
        // The damage lies after the new run began (before it, cutting the new way gave no
        // text) and before the failed group ended (up to it, cutting the old way did): the
        // old text is kept up to the first, the new from the second, and what lies between,
        // right one way or the other, is dropped both ways rather than guessed.
        const unsigned keptGroups =
            static_cast<unsigned>(std::min<std::size_t>(candidate.runStart / 4, replayGroups_));
        const std::size_t end = std::min(oldBoundary_[keptGroups], out_->size());
        const std::size_t whole = wholeCharactersEnd(std::string_view(*out_).substr(0, end));
        if (counting_) {
            counts_.bytesDropped += out_->size() - whole;
        }
        out_->resize(whole);
        from = candidate.suspectBytes;
    }
    // Damage at a sector boundary is where another file's data may begin or end: what follows
    // is not tied to what went before.
    // A new run may begin with a character or three that fit both ways: its first group still
    // ends past the boundary.
    const std::uint64_t seamTo = continues ? damageTo_ : candidate.runOffset + 3;
    const bool seam = afterFailure_ && crossesSector(damageFrom_, seamTo);
    if (seam) {
        lastSeam_ = seamTo / kSector * kSector;
        if (counting_) {
            ++counts_.seams;
        }
    }
    const std::size_t lost = candidate.runStart > replayed_ ? candidate.runStart - replayed_ : 0;
    if (counting_ && afterFailure_ && lost >= 4) {
        ++counts_.stretchesLost;
    }
    quietSlots_ += lost;
    const std::string& run = candidate.run;
    const std::size_t wholeEnd = run.size() - candidate.checker.pending();
    if (from > wholeEnd) {
        from = run.size();  // the cut falls inside the last, unfinished character
        candidate.checker.reset();
        candidate.skipContinuations = true;
    }
    while (from < wholeEnd && isContinuation(static_cast<unsigned char>(run[from]))) {
        ++from;
    }
    if (counting_) {
        counts_.bytesDropped += from;
    }
    if (from < run.size()) {
        if (!afterFailure_) {
            listener_->textResumes(candidate.runLine, false);
            recentCount_ = 0;
        } else if (quietSlots_ >= kLongStretch || seam) {
            textFollows(candidate.runLine);
        }
        quietSlots_ = 0;
    }
    out_->append(run, from);
    checkedEnd_ = out_->size() - candidate.checker.pending();
    checker_ = candidate.checker;
    skipContinuations_ = candidate.skipContinuations;
    group_ = candidate.group;
    filled_ = candidate.filled;
    filledBeforeStretch_ = 0;
    recentCount_ = 0;
    mode_ = Mode::Aligned;
}

void AligningDecoder::finish() {
    while (heldCount_ != 0) {
        decideHeld(true);
    }
    if (mode_ == Mode::Realigning) {
        Candidate* best = nullptr;
        for (Candidate& candidate : candidates_) {
            if (candidate.runSlots >= kTrustedTail &&
                (best == nullptr || candidate.runSlots > best->runSlots)) {
                best = &candidate;
            }
        }
        if (best == nullptr) {
            if (counting_ && afterFailure_) {
                ++counts_.stretchesLost;
            }
            mode_ = Mode::Aligned;
            filled_ = 0;
            filledBeforeStretch_ = 0;
            return;
        }
        adopt(*best);
    }
    if (filled_ > 0) {
        const unsigned filled = std::exchange(filled_, 0u);
        const unsigned beforeStretch = std::exchange(filledBeforeStretch_, 0u);
        const GroupBytes bytes = tailAfterStretch(decodeGroup(group_, filled), beforeStretch);
        if (bytes.count < 0) {
            if (beforeStretch == 0) {
                keepBytesBeforeDamage(filled);
            }
            dropGroup();
        } else if (!appendChecked(bytes) && counting_) {
            counts_.bytesDropped += static_cast<std::size_t>(bytes.count);
        }
    }
    dropPending();
}

}  // namespace salvage::detail
