#include "salvage/section_map.h"

namespace salvage {

std::optional<std::size_t> SectionMap::assign(std::string name, std::string text) {
    if (const auto found = index_.find(std::string_view(name)); found != index_.end()) {
        std::string& stored = sections_[found->second].text;
        const std::size_t replaced = stored.size();
        stored = std::move(text);
        return replaced;
    }
    index_.emplace(name, sections_.size());
    sections_.push_back(Section{std::move(name), std::move(text)});
    return std::nullopt;
}

const std::string* SectionMap::find(std::string_view name) const {
    const auto found = index_.find(name);
    return found == index_.end() ? nullptr : &sections_[found->second].text;
}

std::string_view SectionMap::lookup(std::string_view name) const {
    const std::string* text = find(name);
    return text == nullptr ? std::string_view() : std::string_view(*text);
}

}  // namespace salvage
