#pragma once

#include <cstddef>
#include <string_view>

namespace salvage::detail {

// Whether the word that text cut off at a seam stands in changes its script at the seam (Latin
// letters going on in Cyrillic ones, kana in Latin): a word is written in one script, so text
// that does that across a seam is another document's. `before`: the last bytes decoded before
// the seam (the last character may be cut short); `after`: the first bytes decoded after it.
// Says nothing (false) when the seam falls next to anything but a letter of a known script.
bool scriptChangesInsideWord(std::string_view before, std::string_view after);

// Whether the text changes its script at `at`, spaces, punctuation and symbols between
// the two aside: the last letter a few characters before it against the first a few after it.
// The first character after `at` is left out: a group cut there decodes to bytes of both sides.
bool scriptChangesAt(std::string_view text, std::size_t at);

}  // namespace salvage::detail
