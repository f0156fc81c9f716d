#pragma once

// The thorough reading's Base64 decoder. It decodes in fixed groups of four characters and
// keeps only what decodes to text (see TextChecker). A character outside the alphabet, or a "="
// before the end, is first taken as inserted, as the plain decoder takes it (skipped, or ending
// the group); only when the characters after it then give no text is it taken as standing for
// a lost character, which costs the bytes of its own group and shifts nothing. When characters were
// inserted or lost, the groups fall out of step and decode to bytes that are not text; the decoder
// then tries the four ways of cutting the characters into groups and goes on with the first one
// that gives a long enough run of text.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "salvage/paged_string.h"
#include "simd/implementation.h"
#include "simd/utf8.h"

namespace salvage::detail {

// Disks read and write whole sectors: where another file's data was written into a document
// (clusters cross-linked or reused), it begins and ends at a multiple of this.
constexpr std::uint64_t kSector = 512;

struct DecodingCounts {
    std::size_t charactersSkipped = 0;  // characters outside the alphabet taken as inserted
    std::size_t groupsDropped = 0;      // groups holding a character outside the alphabet
    std::size_t bytesDropped = 0;       // decoded bytes that were not text
    std::size_t realignments = 0;       // times the groups were cut anew
    std::size_t stretchesLost = 0;      // damaged stretches that gave nothing
    std::size_t seams = 0;              // realignments across a sector boundary

    bool operator==(const DecodingCounts&) const = default;
};

class AligningDecoder {
  public:
    // Told when decoded text is about to follow a stretch that gave none.
    class Listener {
      public:
        // `line`: where the text starts. `afterLongDamage`: the stretch was long enough for the
        // text to be taken for another piece; otherwise it is the first text found at all.
        virtual void textResumes(std::size_t line, bool afterLongDamage) = 0;

      protected:
        ~Listener() = default;
    };

    // Text known to start with a whole group (a section's name or body).
    static constexpr bool kAligned = true;
    // Text whose start is unknown (Base64 found outside any section).
    static constexpr bool kSearching = false;

    // Without a listener the decoder never realigns: it drops what is not text and goes on
    // (used for names, which are short). `routines`: the version of the routines to decode and
    // check runs of clean groups with; without one to decode runs, one character at a time.
    AligningDecoder(Listener* listener, const Implementation& routines)
        : listener_(listener), routines_(routines) {}

    // Starts a new text, decoded into `out` (which it appends to).
    void start(bool aligned, PagedString* out);
    // The line the characters fed next stand on.
    void setLine(std::size_t line) { line_ = line; }
    // Where in the input the characters fed next begin.
    void setOffset(std::uint64_t offset) { nextOffset_ = offset; }
    void feed(const char* begin, const char* end);
    // Ends the text: what is left of the last group, or the best run found so far.
    void finish();

    // Whether any character of the text was in the alphabet (an empty text is then damaged).
    bool sawBase64() const { return sawBase64_; }
    const DecodingCounts& counts() const { return counts_; }
    // The sector boundary in the input where the latest seam was found.
    std::uint64_t lastSeam() const { return lastSeam_; }
    // Counting can be turned off for text that is expected to be junk (outside sections).
    void setCounting(bool counting) { counting_ = counting; }

  private:
    // A character's place in a group: its value 0..63, padding, or anything else.
    static constexpr std::uint8_t kPad = 64;
    static constexpr std::uint8_t kBad = 65;
    static constexpr std::uint8_t kSkip = 66;  // white space: takes no place at all

    // Bytes of one group: 0 to 3, or -1 when the group holds a character outside the alphabet.
    struct GroupBytes {
        int count = -1;
        std::array<unsigned char, 3> bytes{};
    };
    static GroupBytes decodeGroup(const std::array<std::uint8_t, 4>& slots, unsigned filled);

    // Where a group's bytes stand against the text before them: which are the tail of a
    // character lost before (skipped), and where whole characters end.
    struct GroupCheck {
        bool text = false;
        unsigned first = 0;     // bytes before it are the tail of a character lost before
        unsigned complete = 0;  // bytes up to it end whole characters
    };
    static GroupCheck checkGroup(const GroupBytes& group, TextChecker& checker, bool& skip);

    // One of the four ways to cut the characters into groups, tried while realigning.
    struct Candidate {
        std::array<std::uint8_t, 4> group{};
        unsigned filled = 0;
        TextChecker checker;
        bool skipContinuations = false;
        std::string run;           // text decoded since the run began
        std::size_t runSlots = 0;  // characters since the run began
        std::size_t runStart = 0;  // index of its first character since realigning began
        // Bytes of the run decoded from groups that began before the failed group ended: cut
        // this new way, they may have been damaged then.
        std::size_t suspectBytes = 0;
        std::size_t runLine = 0;
        std::uint64_t runOffset = 0;
        void restart(std::size_t at);
    };

    enum class Mode { Aligned, Realigning };

    void feedSlot(std::uint8_t slot);
    void dispatch(std::uint8_t slot);
    void feedAligned(std::uint8_t slot);
    // Characters after a surprising one (outside the alphabet, or "="), held until it is known
    // whether it was inserted.
    void hold(std::uint8_t slot);
    bool insertedGivesText(bool atEnd) const;
    void decideHeld(bool atEnd);
    void takeAsInserted(std::uint8_t slot);
    void endGroupEarly();
    void splitGroupAtStretch();
    GroupBytes tailAfterStretch(const GroupBytes& group, unsigned before);
    const char* feedClean(const char* p, const char* end);
    bool appendChecked(const GroupBytes& bytes);
    bool appendAfterCutCharacter(const GroupBytes& bytes);
    void keepBytesBeforeDamage(unsigned filled);
    void dropGroup();
    void cutCharacter();
    void dropPending();
    void beginRealigning(bool afterFailure);
    void feedRealigning(std::uint8_t slot);
    bool feedCandidate(Candidate& candidate, std::uint8_t slot);
    void adopt(Candidate& candidate);
    void textFollows(std::size_t line);
    void remember(const std::array<std::uint8_t, 4>& group, std::size_t outStart,
                  std::uint64_t offset);

    Listener* listener_;
    const Implementation& routines_;
    PagedString* out_ = nullptr;
    Mode mode_ = Mode::Aligned;
    std::size_t line_ = 0;
    bool counting_ = true;
    bool sawBase64_ = false;
    bool sawText_ = false;  // whether this text has given any bytes yet
    DecodingCounts counts_;
    std::uint64_t lastSeam_ = 0;

    // While aligned.
    std::array<std::uint8_t, 4> group_{};
    unsigned filled_ = 0;
    unsigned filledBeforeStretch_ = 0;  // characters of the group before a long run of junk
    unsigned replaySkip_ = 0;           // of those, the ones not to realign with
    TextChecker checker_;
    std::size_t checkedEnd_ = 0;      // where the whole, checked characters of `out_` end
    bool skipContinuations_ = false;  // after a dropped group: its character's tail is lost
    std::size_t quietSlots_ = 0;      // characters since the last that gave text
    std::size_t nextCleanTry_ = 0;    // characters fed before the fast path is tried again
    std::size_t fed_ = 0;
    std::uint64_t nextOffset_ = 0;   // of the next character fed
    std::uint64_t offset_ = 0;       // of the character being taken
    std::uint64_t groupOffset_ = 0;  // of the current group's first character

    // Slots held from a surprising character on, and how many of them are in the alphabet.
    struct HeldSlot {
        std::uint8_t slot = 0;
        std::uint64_t offset = 0;
    };
    // Slots held at the most before deciding: a long run of junk is decided a window at a time.
    static constexpr std::size_t kLongestHold = 64;
    using HeldSlots = std::array<HeldSlot, kLongestHold>;
    HeldSlots held_{};
    std::size_t heldCount_ = 0;
    std::size_t heldValues_ = 0;

    // The two groups before the current one, to realign from.
    std::array<std::array<std::uint8_t, 4>, 2> recent_{};
    std::array<std::size_t, 2> recentStart_{};
    std::array<std::uint64_t, 2> recentOffset_{};
    unsigned recentCount_ = 0;

    // While realigning.
    std::array<Candidate, 4> candidates_;
    std::size_t realignIndex_ = 0;  // characters since realigning began
    std::size_t replayed_ = 0;      // of which replayed from before the failure
    // Where the text decoded before the failure ends after each replayed group (0 to
    // replayGroups_): the groups as cut before were right up to where the damage was.
    std::array<std::size_t, 3> oldBoundary_{};
    unsigned replayGroups_ = 0;
    bool afterFailure_ = false;  // realigning because aligned groups stopped giving text
    // Where in the input the damage may lie: from the first group tried again to the end of
    // the group that failed.
    std::uint64_t damageFrom_ = 0;
    std::uint64_t damageTo_ = 0;
};

}  // namespace salvage::detail
