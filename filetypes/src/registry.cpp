#include "filetypes/registry.h"

#include <algorithm>

#include "ascii_case.h"

namespace filetypes {

bool RegisteredType::matches(std::string_view fileName) const {
    if (extension.empty()) {
        return true;
    }
    const auto dot = fileName.rfind('.');
    return dot != std::string_view::npos &&
           qlv::equalsIgnoringCase(fileName.substr(dot + 1), extension);
}

void Registry::registerType(std::string name, std::string macCreator, std::string macType,
                            std::string extension) {
    RegisteredType type{std::move(name), std::move(macCreator), std::move(macType),
                        std::move(extension)};
    auto existing = std::ranges::find(types_, type.name, &RegisteredType::name);
    if (existing != types_.end()) {
        *existing = std::move(type);
    } else {
        types_.push_back(std::move(type));
    }
}

void Registry::deregisterType(std::string_view name) {
    std::erase_if(types_, [name](const RegisteredType& type) { return type.name == name; });
}

const RegisteredType* Registry::find(std::string_view name) const {
    auto found = std::ranges::find(types_, name, &RegisteredType::name);
    return found != types_.end() ? &*found : nullptr;
}

std::vector<RegisteredType> Registry::resolve(std::string_view typeList) const {
    std::vector<RegisteredType> resolved;
    while (!typeList.empty()) {
        const auto end = std::min(typeList.find(';'), typeList.size());
        if (const auto* type = find(typeList.substr(0, end))) {
            resolved.push_back(*type);
        }
        typeList.remove_prefix(std::min(end + 1, typeList.size()));
    }
    return resolved;
}

std::string Registry::nameFilter(std::string_view typeName) const {
    const auto* type = find(typeName);
    if (type == nullptr) {
        return {};
    }
    const std::string pattern = type->extension.empty() ? "*" : "*." + type->extension;
    return type->name + " (" + pattern + ")";
}

Registry& Registry::global() {
    // Never destroyed: file types held in static storage deregister from it at exit.
    static auto* registry = new Registry;
    return *registry;
}

}  // namespace filetypes
