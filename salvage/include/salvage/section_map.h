#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "salvage/paged_string.h"

namespace salvage {

namespace detail {
// Gives back the memory of a section map's index.
struct FreeIndex {
    std::size_t bytes = 0;
    void operator()(std::uint64_t* slots) const;
};
using IndexSlots = std::unique_ptr<std::uint64_t[], FreeIndex>;

// Where each section's record starts, in the map's order. Kept in blocks of 64 KiB from the
// page pool rather than on the heap: with millions of sections the list alone is tens of MiB,
// and the pool faults it in 2 MiB at a time.
class RecordList {
  public:
    RecordList() = default;
    ~RecordList();
    RecordList(RecordList&& other) noexcept;
    RecordList& operator=(RecordList&& other) noexcept;
    RecordList(const RecordList&) = delete;
    RecordList& operator=(const RecordList&) = delete;

    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    const char*& operator[](std::size_t i) { return blocks_[i >> kShift][i & kMask]; }
    const char* operator[](std::size_t i) const { return blocks_[i >> kShift][i & kMask]; }
    void push_back(const char* record);

  private:
    static constexpr std::size_t kShift = 13;  // 8192 records, 64 KiB, to a block
    static constexpr std::size_t kMask = (std::size_t{1} << kShift) - 1;

    std::vector<const char**> blocks_;
    std::size_t size_ = 0;
};

// The key of a map's name hash, for tests that look at the index under chosen keys.
struct HashSeed {
    std::uint64_t value = 0;
};
}  // namespace detail

// One section as the map holds it: views into the map, valid while it lives and is not changed.
struct Section {
    std::string_view name;  // decoded bytes, compared byte for byte
    std::string_view text;  // decoded bytes
};

// Section name -> section text, enumerated in order of first appearance. Storing a name that
// is already present replaces its text and keeps its place.
//
// Built for documents of millions of sections: names and texts are copied into large shared
// blocks (a section costs its bytes and a few more, not two strings), and a long text keeps the
// buffer it was decoded into.
class SectionMap {
  public:
    struct Stored {
        std::size_t index = 0;                      // the section's place in the map's order
        std::optional<std::size_t> replacedLength;  // the length of the text it replaced, if any
    };

    SectionMap();
    // With its hash keyed by `seed` rather than the process's random key.
    explicit SectionMap(detail::HashSeed seed);
    ~SectionMap();
    SectionMap(SectionMap&&) noexcept;
    SectionMap& operator=(SectionMap&&) noexcept;
    SectionMap(const SectionMap&) = delete;
    SectionMap& operator=(const SectionMap&) = delete;

    // Texts from this length on are kept in their own string rather than copied.
    static constexpr std::size_t kKeptWholeFrom = std::size_t{64} << 10;

    // Stores a copy of `text` under `name`.
    Stored assign(std::string_view name, std::string_view text);
    // The same, but a text of kKeptWholeFrom bytes or more is taken over without a copy (and
    // `text` left empty); a shorter one is copied and `text` left as it was.
    Stored assignOwned(std::string_view name, detail::PagedString&& text);

    // The text stored under `name`, if it is present.
    std::optional<std::string_view> find(std::string_view name) const;
    bool contains(std::string_view name) const { return find(name).has_value(); }
    // The position of `name` in the map's order, if it is present.
    std::optional<std::size_t> indexOf(std::string_view name) const;
    // The text stored under `name`, or the empty text.
    std::string_view lookup(std::string_view name) const { return find(name).value_or(""); }

    // Starts fetching where `name` would be looked up, ahead of storing it.
    void prefetch(std::string_view name) const;

    std::size_t size() const { return records_.size(); }
    bool empty() const { return records_.empty(); }
    Section operator[](std::size_t index) const;

    class const_iterator {
      public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = Section;
        using difference_type = std::ptrdiff_t;
        using pointer = void;
        using reference = Section;

        const_iterator() = default;
        const_iterator(const SectionMap* map, std::size_t index) : map_(map), index_(index) {}
        Section operator*() const { return (*map_)[index_]; }
        const_iterator& operator++() {
            ++index_;
            return *this;
        }
        const_iterator operator++(int) {
            const_iterator before = *this;
            ++index_;
            return before;
        }
        bool operator==(const const_iterator& other) const { return index_ == other.index_; }

      private:
        const SectionMap* map_ = nullptr;
        std::size_t index_ = 0;
    };
    const_iterator begin() const { return {this, 0}; }
    const_iterator end() const { return {this, size()}; }

  private:
    class Blocks;

    // Where a name is, or would go, in the index.
    struct Probe {
        std::size_t slot = 0;
        bool found = false;
    };

    Probe probe(std::string_view name, std::uint64_t hash) const;
    // `owned`: the string `text` is in, when it may be taken over.
    Stored store(std::string_view name, std::string_view text, detail::PagedString* owned);
    void growIndex();

    std::unique_ptr<Blocks> blocks_;
    detail::RecordList records_;
    // Open addressing over the sections: a slot holds the upper half of a name's hash and the
    // section's index plus one (0: empty). Kept at most three quarters full.
    detail::IndexSlots index_;
    std::size_t indexSize_ = 0;
    std::size_t indexLimit_ = 0;  // sections the index takes before it grows
    std::uint64_t hashKey_ = 0;   // the names' hash's key, made from the map's seed
};

}  // namespace salvage
