#include "carve_records.h"

#include <cinttypes>
#include <cstdio>
#include <nlohmann/json.hpp>

#include "salvage/export.h"

namespace qlv::cli {
namespace {

// The fields stay in the order the format lists them.
using Json = nlohmann::ordered_json;

std::string line(const Json& value) {
    constexpr int kOneLine = -1;
    constexpr bool kAsciiOnly = false;
    return value.dump(kOneLine, ' ', kAsciiOnly, Json::error_handler_t::replace) + "\n";
}

Json nullOr(const std::optional<std::string>& text) {
    return text ? Json(*text) : Json(nullptr);
}

std::string_view firstSectionName(const salvage::CarvedDocument& document) {
    const salvage::SectionMap& contents = document.reading.document.contents;
    return contents.size() == 0 ? std::string_view() : contents[0].name;
}

}  // namespace

std::vector<std::string> damageNames(const salvage::SalvageReport& report) {
    std::vector<std::string> names;
    const auto add = [&](bool found, const char* name) {
        if (found) {
            names.emplace_back(name);
        }
    };
    add(!report.damagedBase64.empty(), "damaged_base64");
    add(!report.invalidUtf8Sections.empty(), "invalid_utf8");
    add(!report.replacements.empty(), "replacements");
    add(!report.readError.empty(), "read_error");
    if (report.thorough) {
        const auto& found = *report.thorough;
        add(found.headerDamaged, "header_damaged");
        add(found.groupsDropped != 0, "groups_dropped");
        add(found.bytesDropped != 0, "bytes_dropped");
        add(found.realignments != 0, "realignments");
        add(found.stretchesLost != 0, "stretches_lost");
        add(found.charactersSkipped != 0, "characters_skipped");
        add(found.seams != 0, "seams");
        add(!found.pieces.empty(), "pieces");
        add(!found.repeatedNames.empty(), "repeated_names");
    }
    return names;
}

std::string carvedFileName(const salvage::CarvedDocument& document) {
    char offset[32];
    std::snprintf(offset, sizeof offset, "0x%010" PRIx64, document.place.offset());
    const std::string_view name = firstSectionName(document);
    return salvage::savedFileName(name.empty() ? std::string(offset)
                                               : std::string(offset) + " " + std::string(name));
}

std::string documentRecord(const salvage::CarvedDocument& document,
                           const std::optional<std::string>& file,
                           const std::optional<std::string>& duplicateOf) {
    const salvage::DocumentPlace& place = document.place;
    Json fragments = Json::array();
    for (const salvage::ByteRange& fragment : place.fragments) {
        fragments.push_back(Json{{"offset", fragment.offset}, {"length", fragment.length}});
    }
    Json seams = Json::array();
    for (const salvage::Seam& seam : place.seams) {
        seams.push_back(Json{{"offset", seam.offset}, {"guessed", seam.guessed}});
    }
    Json record;
    record["kind"] = "document";
    record["offset"] = place.offset();
    record["length"] = place.length();
    record["fragments"] = std::move(fragments);
    record["sections"] = document.reading.document.contents.size();
    record["first_section"] = firstSectionName(document);
    record["seams"] = std::move(seams);
    record["damage"] = damageNames(document.reading.document.report);
    record["file"] = nullOr(file);
    record["duplicate_of"] = nullOr(duplicateOf);
    return line(record);
}

std::string unreadableRecord(const salvage::ByteRange& range) {
    Json record;
    record["kind"] = "unreadable";
    record["offset"] = range.offset;
    record["length"] = range.length;
    return line(record);
}

std::string summaryRecord(std::string_view source, const salvage::CarveSummary& summary,
                          std::size_t duplicates) {
    Json record;
    record["kind"] = "summary";
    record["source"] = source;
    record["range"] = Json::array({summary.start, summary.end});
    record["bytes_read"] = summary.bytesRead;
    record["documents"] = summary.documents;
    record["duplicates"] = duplicates;
    record["unreadable_bytes"] = summary.unreadableBytes;
    return line(record);
}

}  // namespace qlv::cli
