#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace salvage {

// What the reader saw while it read one document. It only tells; the reader's results do not
// depend on it.
//
// Sections are named by their place in the document's section map, not by a copy of their
// name: a damaged document can hold hundreds of thousands of damaged sections, each name up to
// a line long.
struct SalvageReport {
    struct Base64Damage {
        std::size_t section = 0;           // the section the line's text went to
        bool inName = false;               // the damage is in the name rather than the text
        std::size_t skippedBytes = 0;      // bytes outside the Base64 alphabet
        std::size_t incompleteGroups = 0;  // groups of one character, whose bits were lost
        std::size_t lines = 1;             // section lines of this name with such damage
    };
    struct Replacement {
        std::size_t section = 0;
        std::size_t times = 1;           // how many earlier texts of this name were replaced
        std::size_t replacedLength = 0;  // their bytes, in all
    };

    // A line that was skipped, or whose text came out damaged: where it stands in the file, not
    // a copy of it (a damaged document can hold millions of such lines, each megabytes long).
    struct DamagedLine {
        enum What : std::uint16_t {
            Lookalike = 1u << 0,    // looks like a section line, is not read as one
            NameDamaged = 1u << 1,  // its name held characters outside Base64, or lost bits
            TextDamaged = 1u << 2,  // likewise its text
            NotText = 1u << 3,      // its decoded text is not valid UTF-8
            Realigned = 1u << 4,    // Base64 cut anew after characters were lost or added
            TextLost = 1u << 5,     // a damaged stretch that gave no text at all
        };
        static constexpr std::size_t kNoSection = static_cast<std::size_t>(-1);

        std::uint64_t line = 0;            // counted from 1
        std::uint64_t offset = 0;          // of its first byte in the bytes read
        std::uint64_t length = 0;          // its bytes, without the line break
        std::size_t section = kNoSection;  // the section its text went to, if any
        std::uint16_t what = 0;
        std::uint32_t characters = 0;  // characters outside Base64 (skipped or in dropped groups)
        std::uint32_t groups = 0;      // groups cut short or dropped
    };
    // How many damaged lines are listed at most; the rest are only counted.
    static constexpr std::size_t kDamagedLinesListed = 100000;

    // The file as it was when it was read, to tell later whether it is still the same.
    struct FileStamp {
        std::uint64_t device = 0;
        std::uint64_t inode = 0;
        std::uint64_t size = 0;
        std::int64_t modifiedNs = 0;
        bool operator==(const FileStamp&) const = default;
    };

    std::size_t linesRead = 0;
    std::size_t sectionLines = 0;
    // Lines that look like section lines but are not read as such: "<Section " indented, or
    // standing later in the line.
    std::size_t skippedLookalikes = 0;
    // One record per section (and per name or text), however often its name occurs.
    std::vector<Base64Damage> damagedBase64;
    std::vector<std::size_t> invalidUtf8Sections;  // sections whose text is not valid UTF-8
    std::vector<Replacement> replacements;
    // Set when reading stopped early because of an I/O error; what was read before it is kept.
    std::string readError;

    // In the order of the lines. A deque: a long list grows without being copied, and takes no
    // room in advance.
    std::deque<DamagedLine> damagedLines;
    std::size_t damagedLinesNotListed = 0;
    // Whether a line's offset and length are those of the file's own bytes: not when they were
    // converted first (from UTF-16, from mail's encoding, ...).
    bool damagedLinesInFileBytes = true;
    // Present when the document was read from a file by its path.
    std::optional<FileStamp> file;

    // What only the thorough reading looks for and does.
    struct ThoroughFindings {
        // A text kept under a name of the reader's making, as it appears among the sections.
        struct Piece {
            std::string name;
            bool afterDamage = false;  // the text after a long damaged stretch of a section;
                                       // otherwise Base64 that stood outside any section
            std::size_t line = 0;      // where its text starts, counted from 1
        };
        // A name that occurred more than once: its later texts are kept under numbered names.
        struct RepeatedName {
            std::string sectionName;
            std::size_t times = 0;     // later occurrences
            std::string firstRenamed;  // the name the first of them was kept under
        };

        bool headerDamaged = false;          // the first line does not begin with "<?xml "
        std::size_t bodiesAcrossLines = 0;   // sections whose text runs on past their tag's line
        std::size_t tagsOffLineStart = 0;    // section tags with something before them on the line
        std::size_t groupsDropped = 0;       // groups of four holding a character outside Base64
        std::size_t bytesDropped = 0;        // decoded bytes that were not text, left out
        std::size_t realignments = 0;        // groups cut anew after characters were lost or added
        std::size_t stretchesLost = 0;       // damaged stretches where no way of cutting gave text
        std::size_t charactersSkipped = 0;   // characters outside Base64 taken as inserted
        std::size_t nameReferences = 0;      // character references decoded in names (&#61;)
        std::size_t otherNameSpellings = 0;  // names written name = '...', or after other
                                             // attributes
        std::size_t prefixedTags = 0;        // section tags with a namespace prefix (q:Section)
        std::size_t cdataTexts = 0;          // texts wrapped in <![CDATA[ ... ]]>
        std::size_t seams = 0;               // places where a section's text stopped being its own
        std::vector<Piece> pieces;
        std::vector<RepeatedName> repeatedNames;

        // How the stored bytes were brought into the form the reading expects, before it read.
        struct InputForm {
            std::string textEncoding;  // empty for UTF-8, else "UTF-16LE", "UTF-32BE", ...
            bool byteOrderMark = false;
            bool quotedPrintable = false;         // mail's transfer encoding undone
            bool escapedMarkup = false;           // "&lt;Section ..." unescaped once
            std::size_t invisibleCharacters = 0;  // zero-width and no-break characters removed
        };
        InputForm input;
    };
    // Present after a thorough reading only.
    std::optional<ThoroughFindings> thorough;
};

}  // namespace salvage
