#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace filetypes {

// What the registry knows of one registered type.
struct RegisteredType {
    std::string name;
    std::string macCreator;
    std::string macType;
    std::string extension;  // without the dot; empty matches any file

    // Whether a file of this name is of this type: by extension, ignoring letter case. A type
    // without an extension (the generic binary kind) takes every file.
    bool matches(std::string_view fileName) const;
};

// The program's registry of file types, keyed by name. Registering a name again replaces it.
class Registry {
  public:
    void registerType(std::string name, std::string macCreator, std::string macType,
                      std::string extension);
    void deregisterType(std::string_view name);

    const RegisteredType* find(std::string_view name) const;
    // Registered types in registration order.
    const std::vector<RegisteredType>& types() const { return types_; }

    // The registered types named in a ";"-separated list (empty names and unknown names are
    // skipped), in the list's order.
    std::vector<RegisteredType> resolve(std::string_view typeList) const;

    // A file dialog name filter for the named type, e.g. "simpletext (*.txt)"; "name (*)" for
    // a type without extension; empty when the type is not registered.
    std::string nameFilter(std::string_view typeName) const;

    // The registry the program's file types register with.
    static Registry& global();

  private:
    std::vector<RegisteredType> types_;
};

}  // namespace filetypes
