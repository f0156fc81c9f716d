#pragma once

#include <array>
#include <string_view>

// The four kinds of file the program knows, in one place: the window accepts drops of them,
// the save dialog offers the plain-text one, and desktop integration data is generated from
// this table.
namespace FileTypes {

struct Definition {
    std::string_view name;        // also the key it is registered under
    std::string_view extension;   // without the dot; empty for none
    std::string_view macType;     // four characters
    std::string_view macCreator;  // four characters or empty
};

inline constexpr Definition kSimpletext{"simpletext", "txt", "TEXT", "ttxt"};
inline constexpr Definition kBinary{"binary", "", "BINA", ""};
inline constexpr Definition kQuillora15{"Quillora 1.5 (XML)", "qlx", "qXML", "QL15"};
inline constexpr Definition kQuilloraLight{"Quillora Light", "qll", "qXML", "QLL1"};

// In the order they are defined and registered.
inline constexpr std::array<Definition, 4> kDefinitions{kSimpletext, kBinary, kQuillora15,
                                                        kQuilloraLight};

// The names of the types a document may be dropped as, each followed by ";". Written out
// rather than built, so that it reads exactly as consumers receive it.
inline constexpr std::string_view All = "simpletext;binary;Quillora 1.5 (XML);Quillora Light;";

}  // namespace FileTypes
