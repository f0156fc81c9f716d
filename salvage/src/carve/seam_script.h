#pragma once

#include <string_view>

namespace salvage::detail {

// Whether the word that text cut off at a seam stands in changes its script at the seam (Latin
// letters going on in Cyrillic ones, kana in Latin): a word is written in one script, so text
// that does that across a seam is another document's. `before`: the last bytes decoded before
// the seam (the last character may be cut short); `after`: the first bytes decoded after it.
// Says nothing (false) when the seam falls next to anything but a letter of a known script.
bool scriptChangesInsideWord(std::string_view before, std::string_view after);

}  // namespace salvage::detail
