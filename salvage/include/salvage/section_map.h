#pragma once

#include <cstddef>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace salvage {

struct Section {
    std::string name;  // decoded bytes, compared byte for byte
    std::string text;  // decoded bytes
};

// Section name -> section text, enumerated in order of first appearance. Storing a name that
// is already present replaces its text and keeps its place.
class SectionMap {
  public:
    // Stores `text` under `name`. Returns the length of the text it replaced, if any.
    std::optional<std::size_t> assign(std::string name, std::string text);

    // The text stored under `name`, or nullptr.
    const std::string* find(std::string_view name) const;
    // The position of `name` in the map's order, if it is present.
    std::optional<std::size_t> indexOf(std::string_view name) const;
    // The text stored under `name`, or the empty text.
    std::string_view lookup(std::string_view name) const;

    std::size_t size() const { return sections_.size(); }
    bool empty() const { return sections_.empty(); }
    const Section& operator[](std::size_t index) const { return sections_[index]; }
    auto begin() const { return sections_.begin(); }
    auto end() const { return sections_.end(); }

  private:
    // Open addressing over the sections: a slot holds a name's hash and its section's index
    // plus one (0: empty). Kept at most half full.
    struct Slot {
        std::size_t hash = 0;
        std::size_t indexPlusOne = 0;
    };

    // The slot that holds `name`, or the empty slot where it would go.
    std::size_t slotFor(std::string_view name, std::size_t hash) const;
    void grow();

    // A deque: growing never moves the sections, nor needs room for two copies of them.
    std::deque<Section> sections_;
    std::vector<Slot> slots_;
};

}  // namespace salvage
