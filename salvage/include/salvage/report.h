#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace salvage {

// What the reader saw while it read one document. It only tells; the reader's results do not
// depend on it.
struct SalvageReport {
    struct Base64Damage {
        std::string sectionName;           // decoded name of the section line
        bool inName = false;               // the damage is in the name rather than the text
        std::size_t skippedBytes = 0;      // bytes outside the Base64 alphabet
        std::size_t incompleteGroups = 0;  // groups of one character, whose bits were lost
        std::size_t lines = 1;             // section lines of this name with such damage
    };
    struct Replacement {
        std::string sectionName;
        std::size_t times = 1;           // how many earlier texts of this name were replaced
        std::size_t replacedLength = 0;  // their bytes, in all
    };

    std::size_t linesRead = 0;
    std::size_t sectionLines = 0;
    // Lines that look like section lines but are not read as such: "<Section " indented, or
    // standing later in the line.
    std::size_t skippedLookalikes = 0;
    // One record per section (and per name or text), however often its name occurs.
    std::vector<Base64Damage> damagedBase64;
    std::vector<std::string> invalidUtf8Sections;  // names whose text is not valid UTF-8
    std::vector<Replacement> replacements;
    // Set when reading stopped early because of an I/O error; what was read before it is kept.
    std::string readError;
};

}  // namespace salvage
