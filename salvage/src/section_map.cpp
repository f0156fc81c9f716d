#include "salvage/section_map.h"

#include <functional>

#include "huge_pages.h"

namespace salvage {
namespace {

std::size_t hashName(std::string_view name) {
    return std::hash<std::string_view>{}(name);
}

}  // namespace

std::size_t SectionMap::slotFor(std::string_view name, std::size_t hash) const {
    const std::size_t mask = slots_.size() - 1;
    std::size_t at = hash & mask;
    while (slots_[at].indexPlusOne != 0) {
        const Slot& slot = slots_[at];
        if (slot.hash == hash && sections_[slot.indexPlusOne - 1].name == name) {
            break;
        }
        at = (at + 1) & mask;
    }
    return at;
}

void SectionMap::grow() {
    std::vector<Slot> old = std::move(slots_);
    const std::size_t size = old.empty() ? 16 : old.size() * 2;
    slots_.reserve(size);
    detail::adviseHugePages(slots_.data(), size * sizeof(Slot));
    slots_.assign(size, Slot{});
    const std::size_t mask = slots_.size() - 1;
    for (const Slot& slot : old) {
        if (slot.indexPlusOne != 0) {
            std::size_t at = slot.hash & mask;
            while (slots_[at].indexPlusOne != 0) {
                at = (at + 1) & mask;
            }
            slots_[at] = slot;
        }
    }
}

std::optional<std::size_t> SectionMap::assign(std::string name, std::string text) {
    if ((sections_.size() + 1) * 2 > slots_.size()) {
        grow();
    }
    const std::size_t hash = hashName(name);
    Slot& slot = slots_[slotFor(name, hash)];
    if (slot.indexPlusOne != 0) {
        std::string& stored = sections_[slot.indexPlusOne - 1].text;
        const std::size_t replaced = stored.size();
        stored = std::move(text);
        return replaced;
    }
    sections_.push_back(Section{std::move(name), std::move(text)});
    slot = Slot{hash, sections_.size()};
    return std::nullopt;
}

const std::string* SectionMap::find(std::string_view name) const {
    if (slots_.empty()) {
        return nullptr;
    }
    const Slot& slot = slots_[slotFor(name, hashName(name))];
    return slot.indexPlusOne == 0 ? nullptr : &sections_[slot.indexPlusOne - 1].text;
}

std::optional<std::size_t> SectionMap::indexOf(std::string_view name) const {
    if (slots_.empty()) {
        return std::nullopt;
    }
    const Slot& slot = slots_[slotFor(name, hashName(name))];
    if (slot.indexPlusOne == 0) {
        return std::nullopt;
    }
    return slot.indexPlusOne - 1;
}

std::string_view SectionMap::lookup(std::string_view name) const {
    const std::string* text = find(name);
    return text == nullptr ? std::string_view() : std::string_view(*text);
}

}  // namespace salvage
