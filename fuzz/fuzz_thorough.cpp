// The thorough reading on raw bytes. Each input is read whole, in pieces whose sizes come from
// the input, and whole again without the vector fast paths; all three must agree. What it keeps
// must be text (well-formed UTF-8 without control characters other than tab and line breaks)
// under names that are all different, and it accepts exactly the inputs that begin with the
// header or hold a section tag. Then the sections the plain reading finds, written back as a
// clean document, must read the same both ways. Slow inputs are left to libFuzzer's -timeout.
#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "implementation.h"
#include "input_normalizer.h"
#include "salvage/base64.h"
#include "salvage/reader.h"
#include "salvage/report_text.h"

namespace {

using qlv_fuzz::check;
using salvage::Reading;

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool startsWithHeader(std::string_view data) {
    constexpr std::string_view header = "<?xml ";
    if (data.size() < header.size()) {
        return false;
    }
    for (std::size_t k = 0; k < header.size(); ++k) {
        if (lower(data[k]) != header[k]) {
            return false;
        }
    }
    return true;
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

// A section start tag: "<section" in any letter case, line breaks allowed between its letters,
// then a space, a line break or the end of the input.
bool holdsSectionTag(std::string_view data) {
    constexpr std::string_view name = "section";
    for (std::size_t open = 0; open < data.size(); ++open) {
        if (data[open] != '<') {
            continue;
        }
        std::size_t at = open + 1;
        std::size_t k = 0;
        for (; k < name.size(); ++k) {
            at = skipBreaks(data, at);
            if (at == data.size() || lower(data[at]) != name[k]) {
                break;
            }
            ++at;
        }
        // The end of the input ends the last line as a line break does.
        if (k == name.size() && (at == data.size() || data[at] == ' ' || isBreak(data[at]))) {
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
