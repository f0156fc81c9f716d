#include "json_output.h"

#include <nlohmann/json.hpp>

#include "base64_encoder.h"
#include "damaged_lines_output.h"
#include "salvage/utf8.h"

namespace qlv::cli {
namespace {

// Fields keep the order they are written in, so the record reads like the text report.
using Json = nlohmann::ordered_json;

// JSON strings are UTF-8, but names and texts are bytes. The string field holds them with
// each invalid byte replaced (when serialised), and "<key>_base64" then gives the exact bytes,
// so that nothing is lost.
void putBytes(Json& object, const std::string& key, std::string_view bytes) {
    object[key] = bytes;
    if (!salvage::isValidUtf8(bytes)) {
        object[key + "_base64"] = qlv::encodeBase64(bytes);
    }
}

std::string serialise(const Json& value) {
    constexpr int kOneLine = -1;
    constexpr bool kAsciiOnly = false;
    return value.dump(kOneLine, ' ', kAsciiOnly, Json::error_handler_t::replace);
}

Json nullOr(const std::string& text) {
    return text.empty() ? Json(nullptr) : Json(text);
}

// An array with one object for each record, its fields set by `describe`.
template <typename Record, typename Describe>
Json entriesFor(const std::vector<Record>& records, Describe describe) {
    Json entries = Json::array();
    for (const Record& record : records) {
        Json entry;
        describe(entry, record);
        entries.push_back(std::move(entry));
    }
    return entries;
}

// What only a thorough reading finds; null after a plain reading.
Json thoroughFields(const salvage::SalvageReport::ThoroughFindings& found) {
    using Piece = salvage::SalvageReport::ThoroughFindings::Piece;
    using Repeated = salvage::SalvageReport::ThoroughFindings::RepeatedName;
    Json fields;
    fields["text_encoding"] = nullOr(found.input.textEncoding);
    fields["byte_order_mark"] = found.input.byteOrderMark;
    fields["quoted_printable"] = found.input.quotedPrintable;
    fields["escaped_markup"] = found.input.escapedMarkup;
    fields["invisible_characters"] = found.input.invisibleCharacters;
    fields["header_damaged"] = found.headerDamaged;
    fields["bodies_across_lines"] = found.bodiesAcrossLines;
    fields["tags_off_line_start"] = found.tagsOffLineStart;
    fields["groups_dropped"] = found.groupsDropped;
    fields["bytes_dropped"] = found.bytesDropped;
    fields["realignments"] = found.realignments;
    fields["stretches_lost"] = found.stretchesLost;
    fields["characters_skipped"] = found.charactersSkipped;
    fields["name_references"] = found.nameReferences;
    fields["other_name_spellings"] = found.otherNameSpellings;
    fields["prefixed_tags"] = found.prefixedTags;
    fields["cdata_texts"] = found.cdataTexts;
    fields["seams"] = found.seams;
    fields["pieces"] = entriesFor(found.pieces, [](Json& entry, const Piece& piece) {
        putBytes(entry, "section", piece.name);
        entry["after_damage"] = piece.afterDamage;
        entry["line"] = piece.line;
    });
    fields["repeated_names"] =
        entriesFor(found.repeatedNames, [](Json& entry, const Repeated& name) {
            putBytes(entry, "section", name.sectionName);
            entry["times"] = name.times;
            putBytes(entry, "first_renamed", name.firstRenamed);
        });
    return fields;
}

Json reportFields(const salvage::SalvageReport& report, const salvage::SectionMap& sections) {
    using Damage = salvage::SalvageReport::Base64Damage;
    using Replacement = salvage::SalvageReport::Replacement;
    Json damaged = entriesFor(report.damagedBase64, [&](Json& entry, const Damage& damage) {
        putBytes(entry, "section", sections[damage.section].name);
        entry["in_name"] = damage.inName;
        entry["skipped_bytes"] = damage.skippedBytes;
        entry["incomplete_groups"] = damage.incompleteGroups;
        entry["lines"] = damage.lines;
    });
    Json invalid = entriesFor(report.invalidUtf8Sections, [&](Json& entry, std::size_t section) {
        putBytes(entry, "section", sections[section].name);
    });
    Json replacements =
        entriesFor(report.replacements, [&](Json& entry, const Replacement& replacement) {
            putBytes(entry, "section", sections[replacement.section].name);
            entry["times"] = replacement.times;
            entry["replaced_bytes"] = replacement.replacedLength;
        });
    Json fields;
    fields["lines_read"] = report.linesRead;
    fields["section_lines"] = report.sectionLines;
    fields["sections"] = sections.size();
    fields["skipped_lookalikes"] = report.skippedLookalikes;
    fields["damaged_base64"] = std::move(damaged);
    fields["invalid_utf8"] = std::move(invalid);
    fields["replacements"] = std::move(replacements);
    fields["read_error"] = nullOr(report.readError);
    fields["thorough"] = report.thorough ? thoroughFields(*report.thorough) : Json();
    return fields;
}

std::string statusName(salvage::ReadStatus status) {
    switch (status) {
        case salvage::ReadStatus::Accepted:
            return "read";
        case salvage::ReadStatus::Refused:
            return "refused";
        case salvage::ReadStatus::Stopped:
            return "stopped";
        case salvage::ReadStatus::Unreadable:
            break;
    }
    return "unreadable";
}

std::string reasonFor(const session::OpenOutcome& outcome) {
    switch (outcome.status) {
        case salvage::ReadStatus::Accepted:
            return {};
        case salvage::ReadStatus::Refused:
            return std::string(salvage::kRefusedMessage);
        case salvage::ReadStatus::Unreadable:
        case salvage::ReadStatus::Stopped:
            break;
    }
    return outcome.reason;
}

std::string sectionChunk(const salvage::Section section, bool namesOnly) {
    Json entry;
    putBytes(entry, "name", section.name);
    if (!namesOnly) {
        putBytes(entry, "text", section.text);
    }
    return serialise(entry);
}

Json damagedLineFields(const salvage::Document& document, const std::filesystem::path* file) {
    Json lines = Json::array();
    forEachDamagedLine(document, file, [&](const ShownDamagedLine& shown) {
        Json entry;
        entry["line"] = shown.line->line;
        entry["offset"] = shown.line->offset;
        entry["length"] = shown.line->length;
        if (shown.section) {
            putBytes(entry, "section", *shown.section);
        } else {
            entry["section"] = nullptr;
        }
        entry["what"] = shown.what;
        if (shown.read.status == salvage::LineBytes::Status::Read) {
            entry["bytes"] = salvage::escapeBytes(shown.read.bytes);
            entry["bytes_not_shown"] = shown.read.bytesLeft;
        } else {
            entry["bytes"] = nullptr;
            entry["why_no_bytes"] = shown.read.message;
        }
        lines.push_back(std::move(entry));
    });
    return lines;
}

}  // namespace

JsonRecord::JsonRecord(std::string_view file, const session::OpenOutcome& outcome,
                       const salvage::Document* read, const Options& options)
    : section_(options.section), namesOnly_(options.list) {
    Json head;
    putBytes(head, "file", file);
    head["status"] = statusName(outcome.status);
    head["reason"] = nullOr(reasonFor(outcome));
    if (!outcome.accepted() || read == nullptr) {
        head_ = serialise(head) + "\n";
        return;
    }
    document_ = read;
    head["report"] = reportFields(read->report, read->contents);
    if (options.damagedLines) {
        const std::filesystem::path path(file);
        const bool fromFile = file != kStandardInputArgument;
        head["report"]["damaged_lines"] = damagedLineFields(*read, fromFile ? &path : nullptr);
        head["report"]["damaged_lines_not_listed"] = read->report.damagedLinesNotListed;
    }
    head_ = serialise(head);
    head_.back() = ',';  // the closing brace gives way to the sections
    head_ += "\"sections\":[";
}

kestLibrary::TextPieces JsonRecord::pieces() const {
    return [this](const kestLibrary::PieceWriter& write) {
        write(head_);
        if (document_ == nullptr) {
            return;
        }
        const salvage::SectionMap& contents = document_->contents;
        std::string_view separator;
        const auto add = [&](const salvage::Section section) {
            write(std::string(separator) + sectionChunk(section, namesOnly_));
            separator = ",";
        };
        if (section_) {
            if (const auto index = contents.indexOf(*section_)) {
                add(contents[*index]);
            }
        } else {
            for (const salvage::Section section : contents) {
                add(section);
            }
        }
        write("]}\n");
    };
}

}  // namespace qlv::cli
