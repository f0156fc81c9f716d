// The thorough reading on raw bytes. Each input is read whole, in pieces whose sizes come from
// the input, and whole again without the vector fast paths; all three must agree. What it keeps
// must be text (well-formed UTF-8 without control characters other than tab and line breaks)
// under names that are all different, and it accepts exactly the inputs that begin with the
// header or hold a section tag, and every section line the plain reading decodes to text is
// read thoroughly to the same text (perhaps parted where another file's data shows in it). Then
// the sections the plain reading finds, written back as a clean document, must read the same
// both ways. Slow inputs are left to libFuzzer's -timeout.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "normalize/input_normalizer.h"
#include "salvage/base64.h"
#include "salvage/reader.h"
#include "salvage/report_text.h"
#include "salvage/section_line.h"
#include "simd/implementation.h"

namespace {

using qlv_fuzz::check;
using salvage::Reading;

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool startsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) {
        return false;
    }
    for (std::size_t k = 0; k < prefix.size(); ++k) {
        if (lower(text[k]) != prefix[k]) {
            return false;
        }
    }
    return true;
}

bool startsWithHeader(std::string_view data) {
    return startsWithIgnoringCase(data, "<?xml ");
}

bool isBreak(char c) {
    return c == '\r' || c == '\n';
}

// Line breaks, each perhaps followed by blanks: damage may put them inside a tag's name.
std::size_t skipBreaks(std::string_view data, std::size_t at) {
    while (at < data.size() && isBreak(data[at])) {
        while (at < data.size() && isBreak(data[at])) {
            ++at;
        }
        while (at < data.size() && (data[at] == ' ' || data[at] == '\t')) {
            ++at;
        }
    }
    return at;
}

bool isTagNameCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_' || c == ':' || c == '.';
}

std::string_view localName(std::string_view name) {
    const std::size_t colon = name.rfind(':');
    return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

// A section start tag: "<section" in any letter case, perhaps with a namespace prefix
// ("<q:section"), then a space, a line break or the end of the input. Line breaks may stand
// inside the name while what came before them may still be the start of "section".
bool holdsSectionTag(std::string_view data) {
    constexpr std::string_view section = "section";
    constexpr std::string_view endTag = "/section";
    constexpr std::size_t longestName = 32;
    for (std::size_t open = 0; open < data.size(); ++open) {
        if (data[open] != '<') {
            continue;
        }
        std::string name;
        std::size_t at = open + 1;
        while (true) {
            const std::string_view local = localName(name);
            if (local != section && (section.starts_with(local) || endTag.starts_with(local))) {
                at = skipBreaks(data, at);
            }
            if (at == data.size()) {
                break;
            }
            const char c = data[at];
            const bool begins = name.empty()
                                    ? isTagNameCharacter(c) || c == '/' || c == '?' || c == '!'
                                    : isTagNameCharacter(c);
            if (!begins || name.size() == longestName) {
                break;
            }
            name.push_back(lower(c));
            ++at;
        }
        // The end of the input ends the last line as a line break does.
        if (localName(name) == section &&
            (at == data.size() || data[at] == ' ' || isBreak(data[at]))) {
            return true;
        }
    }
    return false;
}

// Well-formed UTF-8 without control characters other than tab, LF and CR: written the long way,
// to hold the reader's own checks to.
bool isText(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length = 1;
        std::uint32_t value = lead;
        if (lead >= 0xF0 && lead <= 0xF7) {
            length = 4;
            value = lead & 0x07u;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            value = lead & 0x0Fu;
        } else if (lead >= 0xC0 && lead <= 0xDF) {
            length = 2;
            value = lead & 0x1Fu;
        } else if (lead >= 0x80) {
            return false;
        }
        if (i + length > text.size()) {
            return false;
        }
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) {
                return false;
            }
            value = (value << 6) | (next & 0x3Fu);
        }
        const std::uint32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (value < smallest[length] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
            return false;
        }
        const bool control = (value < 0x20 && value != '\t' && value != '\n' && value != '\r') ||
                             (value >= 0x7F && value <= 0x9F);
        if (control) {
            return false;
        }
        i += length;
    }
    return true;
}

bool isBase64OrBlank(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' ||
           c == '/' || c == '=' || c == ' ' || c == '\t';
}

// Whether `body` holds a long run of characters that are neither Base64 nor blanks: text after
// such a run may be another document's and go into a piece of its own.
bool holdsLongJunk(std::string_view body) {
    std::size_t run = 0;
    for (const char c : body) {
        run = isBase64OrBlank(c) ? 0 : run + 1;
        if (run >= 64) {
            return true;
        }
    }
    return false;
}

// A section line that both readings take apart the same way: `<section name="..."`, then only
// attributes of the plain form, ">", a body without tags, and the end tag closing the line. Its
// name, or the empty view when it is none.
std::string_view simpleSectionName(std::string_view line) {
    constexpr std::string_view start = "<section name=\"";
    constexpr std::string_view end = "</section>";
    if (!startsWithIgnoringCase(line, start) || line.size() < start.size() + end.size() ||
        !startsWithIgnoringCase(line.substr(line.size() - end.size()), end)) {
        return {};
    }
    const std::size_t close = line.find('"', start.size());
    const std::size_t tagEnd = line.find('>');
    if (close == std::string_view::npos || tagEnd == std::string_view::npos || close > tagEnd) {
        return {};
    }
    const std::string_view name = line.substr(start.size(), close - start.size());
    // Other attributes: ` word="value"`, with nothing in them that could read otherwise.
    const std::string_view rest = line.substr(close + 1, tagEnd - close - 1);
    std::size_t quotes = 0;
    for (const char c : rest) {
        quotes += c == '"' ? 1 : 0;
        if (c == '\'' || c == '<' || c == '&' || (c == '=' && quotes % 2 != 0)) {
            return {};
        }
    }
    const std::string_view body = line.substr(tagEnd + 1, line.size() - end.size() - tagEnd - 1);
    if (quotes % 2 != 0 || rest.find("name") != std::string_view::npos ||
        name.find_first_of("&<>'") != std::string_view::npos ||
        body.find('<') != std::string_view::npos || holdsLongJunk(name) || holdsLongJunk(body)) {
        return {};
    }
    return line.substr(0, close);
}

// Whether the thorough reading read another text than the bytes given: converted from another
// encoding, quoted-printable undone or markup unescaped. Invisible characters removed from
// Base64 change nothing the plain reading decodes: it skips their bytes.
bool convertedBeforeReading(const salvage::SalvageReport::ThoroughFindings& found) {
    return !found.input.textEncoding.empty() || found.input.quotedPrintable ||
           found.input.escapedMarkup;
}

// Every section line whose text the plain reading decodes to text is read thoroughly to the
// same text, under its name or a numbered form of it.
void checkNeverLessThanPlain(std::string_view data, const salvage::ParseResult& thorough) {
    std::size_t index = 0;
    for (std::size_t at = 0; at <= data.size(); ++index) {
        const std::size_t lineEnd = std::min(data.find_first_of("\r\n", at), data.size());
        const std::string_view line = data.substr(at, lineEnd - at);
        at = lineEnd + (data.substr(lineEnd, 2) == "\r\n" ? 2 : 1);
        if (index == 0 || simpleSectionName(line).empty()) {
            continue;
        }
        const std::string name = salvage::decodeBase64(salvage::extractName(line));
        const std::string text = salvage::decodeBase64(salvage::stripTags(line));
        if (!isText(name) || !isText(text)) {
            continue;
        }
        bool found = false;
        const salvage::SectionMap& contents = thorough.document.contents;
        for (std::size_t i = 0; i < contents.size() && !found; ++i) {
            const salvage::Section section = contents[i];
            const bool sameName = section.name == name || (section.name.starts_with(name + " (") &&
                                                           section.name.ends_with(")"));
            if (!sameName) {
                continue;
            }
            // Where another file's data shows in the line, the text goes on in the pieces
            // parted off after it.
            std::string kept(section.text);
            const std::string parted = std::string(section.name) + " [after damage, line ";
            for (std::size_t k = i + 1; kept.size() < text.size() && k < contents.size() &&
                                        contents[k].name.starts_with(parted);
                 ++k) {
                kept += contents[k].text;
            }
            found = kept == text;
        }
        check(found, "the thorough reading gets what the plain reading gets from a section line");
    }
}

void checkSame(const salvage::ParseResult& a, const salvage::ParseResult& b, const char* what) {
    check(a.status == b.status, what);
    if (!a.accepted()) {
        return;
    }
    const salvage::SectionMap& x = a.document.contents;
    const salvage::SectionMap& y = b.document.contents;
    check(x.size() == y.size(), what);
    for (std::size_t i = 0; i < x.size(); ++i) {
        check(x[i].name == y[i].name && x[i].text == y[i].text, what);
    }
    check(salvage::describeReport(a.document.report, x) ==
              salvage::describeReport(b.document.report, y),
          what);
}

salvage::ParseResult readInPieces(std::string_view data) {
    salvage::DocumentReader reader(Reading::Thorough);
    qlv_fuzz::PieceSizes sizes(data);
    for (std::size_t at = 0; at < data.size();) {
        const std::size_t piece = sizes.next(at);
        reader.feed(data.substr(at, piece));
        at += piece;
    }
    return reader.finish("doc.qlx");
}

// Undamaged documents whose names differ and whose texts are text read the same both ways.
void checkReadingsAgree(const salvage::SectionMap& found) {
    std::string clean = "<?xml version=\"1.0\"?>\n<QuilloraDocument>\n";
    std::size_t kept = 0;
    for (const salvage::Section section : found) {
        if (isText(section.name) && isText(section.text)) {
            clean += "<Section name=\"" + qlv_fuzz::encodeBase64(section.name) + "\">" +
                     qlv_fuzz::encodeBase64(section.text) + "</Section>\n";
            ++kept;
        }
    }
    clean += "</QuilloraDocument>\n";
    const salvage::ParseResult plain = salvage::parseText(clean, "clean.qlx");
    const salvage::ParseResult thorough = salvage::parseText(clean, "clean.qlx", Reading::Thorough);
    check(plain.accepted() && thorough.accepted(), "a clean document is accepted both ways");
    check(plain.document.contents.size() == kept, "a clean document keeps every section");
    check(thorough.document.contents.size() == kept,
          "a clean document read thoroughly keeps every section and no more");
    for (std::size_t i = 0; i < kept; ++i) {
        check(plain.document.contents[i].name == thorough.document.contents[i].name &&
                  plain.document.contents[i].text == thorough.document.contents[i].text,
              "both readings of a clean document agree");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    const std::string_view data(reinterpret_cast<const char*>(bytes), size);

    const salvage::ParseResult whole = salvage::parseText(data, "doc.qlx", Reading::Thorough);
    check(whole.status != salvage::ReadStatus::Unreadable, "text in memory is never unreadable");
    checkSame(whole, readInPieces(data), "reading in pieces gives what reading whole gives");

    for (const salvage::detail::Implementation* routines :
         salvage::detail::supportedImplementations()) {
        salvage::DocumentReader reader(Reading::Thorough, *routines);
        reader.feed(data);
        checkSame(whole, reader.finish("doc.qlx"), "every version gives what the fastest gives");
    }
    salvage::DocumentReader careful(Reading::Thorough, salvage::detail::characterAtATime());
    careful.feed(data);
    checkSame(whole, careful.finish("doc.qlx"), "the fast path gives what the careful way gives");

    // The reading takes the input as the normalizer turns it out (UTF-16 converted, and so on).
    std::string normalized;
    salvage::detail::InputNormalizer normalizer;
    normalizer.feed(data, normalized);
    normalizer.finish(normalized);
    const bool expected = startsWithHeader(normalized) || holdsSectionTag(normalized);
    check(whole.accepted() == expected, "accepted exactly with a header or a section tag");
    if (whole.accepted() && !convertedBeforeReading(*whole.document.report.thorough)) {
        checkNeverLessThanPlain(data, whole);
    }
    if (whole.accepted()) {
        std::set<std::string_view> names;
        for (const salvage::Section section : whole.document.contents) {
            check(names.insert(section.name).second, "names are all different");
            check(isText(section.name), "names are text");
            check(isText(section.text), "texts are text");
        }
    }

    const salvage::ParseResult plain = salvage::parseText(data, "doc.qlx");
    if (plain.accepted()) {
        checkReadingsAgree(plain.document.contents);
    }
    return 0;
}
