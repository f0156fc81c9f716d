// The document reader on raw bytes. Each input is read three ways that must agree:
//   - whole, with parseText;
//   - in pieces whose sizes come from the input, through DocumentReader;
//   - line by line with the public pieces of the reading rules (extractName, stripTags and the
//     plain decoder), a deliberately simple reading to hold the fast one to.
// An accepted document is then written back as a clean document (names and texts encoded
// again, one section line each, under a header) and read once more: it must give the same
// sections in the same order and the same export.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_support.h"
#include "salvage/base64.h"
#include "salvage/export.h"
#include "salvage/reader.h"
#include "salvage/section_line.h"

namespace {

using qlv_fuzz::check;

bool startsWithIgnoringCase(std::string_view text, std::string_view lower) {
    if (text.size() < lower.size()) {
        return false;
    }
    for (std::size_t i = 0; i < lower.size(); ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
        if (c != lower[i]) {
            return false;
        }
    }
    return true;
}

struct OwnedSection {
    std::string name;
    std::string text;
};

struct PlainResult {
    bool accepted = false;
    std::vector<OwnedSection> sections;  // first-appearance order, last text wins
};

PlainResult readPlainly(std::string_view data) {
    std::string text;
    text.reserve(data.size());
    for (std::size_t i = 0; i < data.size(); ++i) {
        if (data[i] == '\r') {
            text.push_back('\n');
            if (i + 1 < data.size() && data[i + 1] == '\n') {
                ++i;
            }
        } else {
            text.push_back(data[i]);
        }
    }
    std::vector<std::string_view> lines;
    for (std::size_t start = 0;;) {
        const std::size_t end = text.find('\n', start);
        lines.push_back(std::string_view(text).substr(start, end - start));
        if (end == std::string::npos) {
            break;
        }
        start = end + 1;
    }
    PlainResult result;
    result.accepted = startsWithIgnoringCase(lines.front(), "<?xml ");
    if (!result.accepted) {
        return result;
    }
    for (std::string_view line : lines) {
        if (!startsWithIgnoringCase(line, "<section ")) {
            continue;
        }
        std::string name = salvage::decodeBase64Scalar(salvage::extractName(line));
        std::string body = salvage::decodeBase64Scalar(salvage::stripTags(line));
        bool replaced = false;
        for (OwnedSection& section : result.sections) {
            if (section.name == name) {
                section.text = std::move(body);
                replaced = true;
                break;
            }
        }
        if (!replaced) {
            result.sections.push_back({std::move(name), std::move(body)});
        }
    }
    return result;
}

void checkSameSections(const salvage::SectionMap& map, const std::vector<OwnedSection>& list,
                       const char* what) {
    check(map.size() == list.size(), what);
    for (std::size_t i = 0; i < list.size(); ++i) {
        check(map[i].name == list[i].name && map[i].text == list[i].text, what);
        check(map.indexOf(list[i].name) == i, what);
    }
}

void checkSameDocuments(const salvage::ParseResult& a, const salvage::ParseResult& b,
                        const char* what) {
    check(a.status == b.status, what);
    if (!a.accepted()) {
        return;
    }
    const salvage::Document& x = a.document;
    const salvage::Document& y = b.document;
    check(x.filename == y.filename, what);
    check(x.contents.size() == y.contents.size(), what);
    for (std::size_t i = 0; i < x.contents.size(); ++i) {
        check(x.contents[i].name == y.contents[i].name, what);
        check(x.contents[i].text == y.contents[i].text, what);
    }
    check(x.report.linesRead == y.report.linesRead, what);
    check(x.report.sectionLines == y.report.sectionLines, what);
    check(x.report.skippedLookalikes == y.report.skippedLookalikes, what);
    check(x.report.damagedBase64.size() == y.report.damagedBase64.size(), what);
    check(x.report.invalidUtf8Sections == y.report.invalidUtf8Sections, what);
    check(x.report.replacements.size() == y.report.replacements.size(), what);
}

std::string exportJoined(const salvage::SectionMap& contents) {
    std::string joined;
    salvage::exportPieces(contents)([&](std::string_view piece) { joined.append(piece); });
    return joined;
}

void checkRoundTrip(const salvage::Document& document) {
    std::string rebuilt = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<Document>\r\n";
    for (const salvage::Section section : document.contents) {
        rebuilt += "<Section name=\"" + qlv_fuzz::encodeBase64(section.name) + "\">" +
                   qlv_fuzz::encodeBase64(section.text) + "</Section>\r\n";
    }
    rebuilt += "</Document>\r\n";

    const salvage::ParseResult again = salvage::parseText(rebuilt, "again.qlx");
    check(again.accepted(), "a rebuilt document is accepted");
    check(again.document.contents.size() == document.contents.size(),
          "a rebuilt document has as many sections");
    for (std::size_t i = 0; i < document.contents.size(); ++i) {
        check(again.document.contents[i].name == document.contents[i].name,
              "a rebuilt document keeps each name in its place");
        check(again.document.contents[i].text == document.contents[i].text,
              "a rebuilt document keeps each text");
    }
    check(again.document.report.damagedBase64.empty(), "a rebuilt document has no damage");
    check(again.document.report.replacements.empty(), "a rebuilt document replaces nothing");

    const std::string exported = salvage::exportText(document.contents);
    check(salvage::exportText(again.document.contents) == exported,
          "the export of a rebuilt document is the same");
    check(exportJoined(document.contents) == exported, "export pieces join to the export");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    const std::string_view data(reinterpret_cast<const char*>(bytes), size);

    const salvage::ParseResult whole = salvage::parseText(data, "folder/doc.qlx.qll");
    check(whole.status != salvage::ReadStatus::Unreadable, "text in memory is never unreadable");

    salvage::DocumentReader reader;
    qlv_fuzz::PieceSizes sizes(data);
    for (std::size_t at = 0; at < data.size();) {
        const std::size_t piece = sizes.next(at);
        reader.feed(data.substr(at, piece));
        at += piece;
    }
    const salvage::ParseResult pieces = reader.finish("folder/doc.qlx.qll");
    checkSameDocuments(whole, pieces, "reading in pieces gives what reading whole gives");

    const PlainResult plain = readPlainly(data);
    check(plain.accepted == whole.accepted(), "the header test agrees with the plain reading");
    if (!whole.accepted()) {
        return 0;
    }
    check(whole.document.filename == "doc", "the file name loses its folder and extensions");
    checkSameSections(whole.document.contents, plain.sections,
                      "the sections agree with the plain reading");
    checkRoundTrip(whole.document);
    return 0;
}
