#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "salvage/section_map.h"

namespace salvage {

// `utf8` with the letters of the scripts most documents are written in made small: ASCII,
// Latin-1, Greek and Cyrillic. Each folded character keeps its length in bytes, so a match in
// the folded text is a match at the same place in the original; other bytes are kept as they
// are, invalid ones included.
std::string foldCase(std::string_view utf8);

// Finds the sections of a map whose name or text contains a phrase, whatever the case of its
// letters (as foldCase folds them). Meant for a filter field: a phrase that extends the last
// one is looked for among the last matches only.
class SectionFilter {
  public:
    // `map` must outlive the filter and stay unchanged while it is used.
    explicit SectionFilter(const SectionMap& map) : map_(map) {}

    // The matching sections' indices, in the map's order. An empty phrase matches all.
    const std::vector<std::size_t>& match(std::string_view phrase);

  private:
    bool contains(std::string_view haystack, std::string_view foldedPhrase);

    const SectionMap& map_;
    std::string lastPhrase_;  // folded
    bool phraseIsAscii_ = false;
    bool searched_ = false;
    std::vector<std::size_t> matches_;
    std::string scratch_;
};

}  // namespace salvage
