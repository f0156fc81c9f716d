#include "read/seam_script.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace salvage::detail {
namespace {

enum class Script { None, Latin, Greek, Cyrillic, Hebrew, Arabic, EastAsian };

// The script of a letter; None for anything else (spaces, digits, punctuation, symbols, emoji,
// marks), which ends a word, and for letters of scripts not told apart here.
Script scriptOf(char32_t c) {
    const auto in = [c](char32_t first, char32_t last) { return c >= first && c <= last; };
    if (in('A', 'Z') || in('a', 'z') || (in(0xC0, 0x24F) && c != 0xD7 && c != 0xF7) ||
        in(0x1E00, 0x1EFF)) {
        return Script::Latin;
    }
    if (in(0x370, 0x3FF)) {
        return Script::Greek;
    }
    if (in(0x400, 0x52F)) {
        return Script::Cyrillic;
    }
    if (in(0x5D0, 0x5EA)) {
        return Script::Hebrew;
    }
    if (in(0x620, 0x64A)) {
        return Script::Arabic;
    }
    // Han, kana and Hangul stand side by side in one word of Japanese or Korean text.
    if (in(0x1100, 0x11FF) || in(0x3041, 0x30FF) || in(0x3130, 0x318F) || in(0x3400, 0x4DBF) ||
        in(0x4E00, 0x9FFF) || in(0xAC00, 0xD7AF) || in(0xF900, 0xFAFF) || in(0xFF66, 0xFF9F)) {
        return Script::EastAsian;
    }
    return Script::None;
}

struct Character {
    char32_t code = 0;
    std::size_t end = 0;  // where its bytes end
};

// The whole characters of `bytes`, from its first leading byte on; a character cut short ends
// the list.
std::vector<Character> charactersOf(std::string_view bytes) {
    std::vector<Character> characters;
    std::size_t i = 0;
    while (i < bytes.size() && (static_cast<unsigned char>(bytes[i]) & 0xC0) == 0x80) {
        ++i;
    }
    while (i < bytes.size()) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        const std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
        if (i + length > bytes.size()) {
            break;
        }
        char32_t code = length == 1 ? lead : lead & (0x7F >> length);
        for (std::size_t k = 1; k < length; ++k) {
            code = (code << 6) | (static_cast<unsigned char>(bytes[i + k]) & 0x3F);
        }
        i += length;
        characters.push_back({code, i});
    }
    return characters;
}

// Characters after the seam that are still looked at: the bytes of a group cut at the seam may
// make one or two characters that belong to neither side.
constexpr std::size_t kLookedAtAfter = 4;

// How far from a place a letter is looked for on each side of it, in characters and in bytes.
constexpr std::size_t kNearLetter = 12;
constexpr std::size_t kNearBytes = kNearLetter * 4;

Script lastLetterScript(std::string_view before) {
    const std::vector<Character> characters =
        charactersOf(before.substr(before.size() - std::min(before.size(), kNearBytes)));
    for (std::size_t i = characters.size(), looked = 0; i-- > 0 && looked++ < kNearLetter;) {
        if (const Script script = scriptOf(characters[i].code); script != Script::None) {
            return script;
        }
    }
    return Script::None;
}

Script firstLetterScript(std::string_view after) {
    const std::vector<Character> characters = charactersOf(after.substr(0, kNearBytes));
    for (std::size_t i = 1; i < characters.size() && i <= kNearLetter; ++i) {
        if (const Script script = scriptOf(characters[i].code); script != Script::None) {
            return script;
        }
    }
    return Script::None;
}

}  // namespace

bool scriptChangesInsideWord(std::string_view before, std::string_view after) {
    const std::string text = std::string(before) + std::string(after);
    const std::vector<Character> characters = charactersOf(text);
    // The last character that ends before the seam, then those after it up to the end of the
    // word.
    std::size_t first = characters.size();
    for (std::size_t i = 0; i < characters.size(); ++i) {
        if (characters[i].end <= before.size()) {
            first = i;
        }
    }
    if (first == characters.size()) {
        return false;
    }
    Script script = scriptOf(characters[first].code);
    for (std::size_t i = first + 1; i < characters.size() && i <= first + kLookedAtAfter; ++i) {
        const Script next = scriptOf(characters[i].code);
        if (script == Script::None || next == Script::None) {
            return false;
        }
        if (next != script) {
            return true;
        }
    }
    return false;
}

bool scriptChangesAt(std::string_view text, std::size_t at) {
    at = std::min(at, text.size());
    const Script before = lastLetterScript(text.substr(0, at));
    const Script after = firstLetterScript(text.substr(at));
    return before != Script::None && after != Script::None && before != after;
}

}  // namespace salvage::detail
