#include "salvage/section_map.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

#include "store/huge_pages.h"
#include "store/name_hash.h"
#include "store/page_allocator.h"

namespace salvage {
namespace {

// A record: the name's length, then the text's length shifted left by one (or the number of a
// text kept whole, shifted left by one, plus one), each as a little-endian base-128 number;
// then the name's bytes, then the text's bytes when they are in the record.
std::size_t numberBytes(std::size_t value) {
    std::size_t bytes = 1;
    while (value >= 0x80) {
        value >>= 7;
        ++bytes;
    }
    return bytes;
}

char* putNumber(char* at, std::size_t value) {
    while (value >= 0x80) {
        *at++ = static_cast<char>((value & 0x7F) | 0x80);
        value >>= 7;
    }
    *at++ = static_cast<char>(value);
    return at;
}

const char* getNumber(const char* at, std::size_t& value) {
    value = 0;
    for (unsigned shift = 0;; shift += 7) {
        const auto byte = static_cast<unsigned char>(*at++);
        value |= static_cast<std::size_t>(byte & 0x7F) << shift;
        if ((byte & 0x80) == 0) {
            return at;
        }
    }
}

constexpr std::uint64_t kIndexBits = 32;
constexpr std::uint64_t kIndexMask = (std::uint64_t{1} << kIndexBits) - 1;

// A slot keeps the upper half of its name's hash beside the section's number: enough to place
// it anew when the index grows without reading the name again.
std::uint64_t tagOf(std::uint64_t hash) {
    return hash & ~kIndexMask;
}

// Maps a slot's tag onto [0, size) by its upper bits, so sizes need not be powers of two, and
// slots come out of a grown index in the order they go into the next.
std::size_t slotOf(std::uint64_t tag, std::size_t size) {
    return static_cast<std::size_t>(((tag >> kIndexBits) * size) >> kIndexBits);
}

}  // namespace

// Where records and texts live. Records go one after another into shared blocks that never
// move; a long text stays in the string it was decoded into, and so does a replacing text, so
// that a name repeated a million times does not leave a million dead copies behind. Blocks and
// long texts come from the page pool, where a document's memory is faulted in 2 MiB at a time
// and left in place for the next document.
class SectionMap::Blocks {
  public:
    Blocks() = default;
    Blocks(const Blocks&) = delete;
    Blocks& operator=(const Blocks&) = delete;
    ~Blocks() {
        for (const Block& block : blocks_) {
            detail::PageAllocator<char>().deallocate(block.bytes, block.size);
        }
    }

    char* allocate(std::size_t bytes) {
        if (bytes > kOwnBlockFrom) {
            return own(bytes);
        }
        if (bytes > room_) {
            free_ = own(kBlockBytes);
            room_ = kBlockBytes;
        }
        char* at = free_;
        free_ += bytes;
        room_ -= bytes;
        return at;
    }

    // The number the next text kept whole gets.
    std::size_t nextWhole() const { return whole_.size(); }
    void keep(detail::PagedString&& text) { whole_.push_back(std::move(text)); }
    std::string_view whole(std::size_t number) const { return whole_[number]; }
    detail::PagedString& replace(std::size_t number) { return whole_[number]; }

  private:
    static constexpr std::size_t kBlockBytes = std::size_t{1} << 20;
    static constexpr std::size_t kOwnBlockFrom = kBlockBytes / 16;

    struct Block {
        char* bytes = nullptr;
        std::size_t size = 0;
    };

    char* own(std::size_t bytes) {
        blocks_.reserve(blocks_.size() + 1);  // so that the block cannot be lost below
        char* const block = detail::PageAllocator<char>().allocate(bytes);
        blocks_.push_back({block, bytes});
        return block;
    }

    std::vector<Block> blocks_;
    char* free_ = nullptr;
    std::size_t room_ = 0;
    std::deque<detail::PagedString> whole_;
};

namespace {

// A record taken apart.
struct Record {
    std::string_view name;
    const char* textAt = nullptr;  // the text's bytes, when they are in the record
    std::size_t textField = 0;

    explicit Record(const char* at) {
        std::size_t nameSize = 0;
        at = getNumber(at, nameSize);
        at = getNumber(at, textField);
        name = std::string_view(at, nameSize);
        textAt = at + nameSize;
    }
    bool keptWhole() const { return (textField & 1) != 0; }
    std::size_t wholeNumber() const { return textField >> 1; }
};

}  // namespace

detail::RecordList::~RecordList() {
    for (const char** block : blocks_) {
        PageAllocator<const char*>().deallocate(block, kMask + 1);
    }
}

detail::RecordList::RecordList(RecordList&& other) noexcept
    : blocks_(std::move(other.blocks_)), size_(std::exchange(other.size_, 0)) {
    other.blocks_.clear();
}

detail::RecordList& detail::RecordList::operator=(RecordList&& other) noexcept {
    RecordList taken(std::move(other));
    std::swap(blocks_, taken.blocks_);
    std::swap(size_, taken.size_);
    return *this;
}

void detail::RecordList::push_back(const char* record) {
    if ((size_ & kMask) == 0 && (size_ >> kShift) == blocks_.size()) {
        blocks_.reserve(blocks_.size() + 1);  // so that the block cannot be lost below
        blocks_.push_back(PageAllocator<const char*>().allocate(kMask + 1));
    }
    blocks_[size_ >> kShift][size_ & kMask] = record;
    ++size_;
}

SectionMap::SectionMap() : SectionMap(detail::HashSeed{detail::processHashSeed()}) {}
SectionMap::SectionMap(detail::HashSeed seed) : hashKey_(detail::hashKey(seed.value)) {}
SectionMap::~SectionMap() = default;
// A map moved from is left empty and usable; its (empty) index keeps its own key.
SectionMap::SectionMap(SectionMap&& other) noexcept
    : blocks_(std::move(other.blocks_)),
      records_(std::exchange(other.records_, {})),
      index_(std::move(other.index_)),
      indexSize_(std::exchange(other.indexSize_, 0)),
      indexLimit_(std::exchange(other.indexLimit_, 0)),
      hashKey_(other.hashKey_) {}

SectionMap& SectionMap::operator=(SectionMap&& other) noexcept {
    SectionMap taken(std::move(other));
    std::swap(blocks_, taken.blocks_);
    std::swap(records_, taken.records_);
    std::swap(index_, taken.index_);
    std::swap(indexSize_, taken.indexSize_);
    std::swap(indexLimit_, taken.indexLimit_);
    std::swap(hashKey_, taken.hashKey_);
    return *this;
}

Section SectionMap::operator[](std::size_t index) const {
    const Record record(records_[index]);
    if (record.keptWhole()) {
        return {record.name, blocks_->whole(record.wholeNumber())};
    }
    return {record.name, std::string_view(record.textAt, record.textField >> 1)};
}

SectionMap::Probe SectionMap::probe(std::string_view name, std::uint64_t hash) const {
    const std::size_t size = indexSize_;
    const std::uint64_t tag = tagOf(hash);
    std::size_t at = slotOf(tag, size);
    while (index_[at] != 0) {
        const std::uint64_t slot = index_[at];
        if ((slot & ~kIndexMask) == tag && Record(records_[(slot & kIndexMask) - 1]).name == name) {
            return {at, true};
        }
        at = at + 1 == size ? 0 : at + 1;
    }
    return {at, false};
}

void detail::FreeIndex::operator()(std::uint64_t* slots) const {
    detail::freePages(slots, bytes);
}

void SectionMap::growIndex() {
    // Sizes alternate between powers of two and one and a half times them, so that the index
    // costs 11 to 21 bytes a section rather than up to 32.
    const std::size_t size = indexSize_;
    std::size_t grown = 16;
    if (size != 0) {
        grown = (size & (size - 1)) == 0 ? size / 2 * 3 : size / 3 * 4;
    }
    if (grown > kIndexMask + 1) {
        throw std::bad_alloc();  // more sections than the index can number
    }
    // Read in order, the old slots go into the new index almost in order too, so the new pages
    // fill one after another while the old ones are given back as soon as they are read: the
    // two indexes never take their full room at once.
    const std::size_t bytes = grown * sizeof(std::uint64_t);
    auto* const slots = static_cast<std::uint64_t*>(detail::allocatePages(bytes));
    if (slots == nullptr) {
        throw std::bad_alloc();
    }
    detail::IndexSlots grownIndex(slots, detail::FreeIndex{bytes});
    constexpr std::size_t kStripe = std::size_t{256} << 10;  // slots given back at a time
    for (std::size_t i = 0; i < size; ++i) {
        if (const std::uint64_t slot = index_[i]; slot != 0) {
            std::size_t at = slotOf(slot, grown);
            while (slots[at] != 0) {
                at = at + 1 == grown ? 0 : at + 1;
            }
            slots[at] = slot;
        }
        if ((i + 1) % kStripe == 0) {
            detail::discardPages(&index_[i + 1 - kStripe], kStripe * sizeof(std::uint64_t));
        }
    }
    index_ = std::move(grownIndex);
    indexSize_ = grown;
    indexLimit_ = grown / 4 * 3;
}

SectionMap::Stored SectionMap::store(std::string_view name, std::string_view text,
                                     detail::PagedString* owned) {
    if (!blocks_) {
        blocks_ = std::make_unique<Blocks>();
    }
    if (records_.size() + 1 > indexLimit_) {
        growIndex();
    }
    const std::uint64_t hash = detail::hashName(name, hashKey_);
    const Probe found = probe(name, hash);
    const bool takeOver = owned != nullptr && owned->size() >= kKeptWholeFrom;

    Stored stored;
    if (found.found) {
        stored.index = (index_[found.slot] & kIndexMask) - 1;
        const Record current(records_[stored.index]);
        stored.replacedLength = (*this)[stored.index].text.size();
        if (current.keptWhole()) {
            detail::PagedString& kept = blocks_->replace(current.wholeNumber());
            if (takeOver) {
                kept = std::move(*owned);
            } else if (kept.capacity() / 2 > text.size()) {
                kept = detail::PagedString(text);  // gives back the room of a longer text
            } else {
                kept.assign(text);
            }
            return stored;
        }
    } else {
        stored.index = records_.size();
    }

    // A new record, written in full before anything refers to it: a failed allocation leaves
    // the map as it was. A replacing text is kept whole, so that later ones take its place.
    const bool keepWhole = found.found || takeOver;
    const std::size_t textField = keepWhole ? (blocks_->nextWhole() << 1) | 1 : text.size() << 1;
    const std::size_t inRecord = keepWhole ? 0 : text.size();
    char* const record = blocks_->allocate(numberBytes(name.size()) + numberBytes(textField) +
                                           name.size() + inRecord);
    if (keepWhole) {
        blocks_->keep(takeOver ? std::move(*owned) : detail::PagedString(text));
    }
    char* at = putNumber(record, name.size());
    at = putNumber(at, textField);
    std::memcpy(at, name.data(), name.size());
    if (inRecord != 0) {
        std::memcpy(at + name.size(), text.data(), inRecord);
    }

    if (found.found) {
        records_[stored.index] = record;
    } else {
        records_.push_back(record);
        index_[found.slot] = tagOf(hash) | records_.size();
    }
    return stored;
}

SectionMap::Stored SectionMap::assign(std::string_view name, std::string_view text) {
    return store(name, text, nullptr);
}

SectionMap::Stored SectionMap::assignOwned(std::string_view name, detail::PagedString&& text) {
    const std::string_view view = text;
    return store(name, view, &text);
}

void SectionMap::prefetch(std::string_view name) const {
    if (indexSize_ != 0) {
        __builtin_prefetch(&index_[slotOf(tagOf(detail::hashName(name, hashKey_)), indexSize_)]);
    }
}

std::optional<std::string_view> SectionMap::find(std::string_view name) const {
    const std::optional<std::size_t> index = indexOf(name);
    if (!index) {
        return std::nullopt;
    }
    return (*this)[*index].text;
}

std::optional<std::size_t> SectionMap::indexOf(std::string_view name) const {
    if (indexSize_ == 0) {
        return std::nullopt;
    }
    const Probe found = probe(name, detail::hashName(name, hashKey_));
    if (!found.found) {
        return std::nullopt;
    }
    return (index_[found.slot] & kIndexMask) - 1;
}

}  // namespace salvage
