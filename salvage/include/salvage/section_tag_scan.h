#pragma once

#include <cstddef>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

namespace salvage {

namespace detail {
class InputNormalizer;
}

// Looks for a section start tag anywhere in a text, as the thorough reading finds one: "<"
// and "section" in any letter case, perhaps with a namespace prefix ("<q:section"), followed
// by a space or a line break (or the end of the input), in the text as the thorough reading
// takes it (UTF-16 converted, quoted-printable undone, escaped markup unescaped). Line breaks
// that damage put inside the name, each with the indentation after it, are passed over, as
// the thorough reading passes over them.
class SectionTagScanner {
  public:
    SectionTagScanner();
    ~SectionTagScanner();
    SectionTagScanner(const SectionTagScanner&) = delete;
    SectionTagScanner& operator=(const SectionTagScanner&) = delete;

    // Takes the next piece of the text; returns whether a tag has been found so far. Once one
    // is, the rest of the text need not be fed.
    bool feed(std::string_view piece);
    // Ends the text: a tag name that reaches the end of it counts. Returns whether a tag was
    // found.
    bool finish();
    bool found() const { return found_; }

  private:
    void scan(std::string_view text);
    void endName(char terminator);

    std::unique_ptr<detail::InputNormalizer> normalizer_;
    std::string normalized_;
    std::string name_;  // the tag's name after "<" so far, in lower case
    bool inName_ = false;
    bool afterBreak_ = false;  // a line break came inside the name
    bool found_ = false;
};

// Whether the thorough reading would find a section tag in `file`: reads the file only up to
// the first one. A file that cannot be read holds none.
bool holdsSectionTag(const std::filesystem::path& file);

}  // namespace salvage
