#include "salvage/report_text.h"

#include "report/summary_line.h"
#include "salvage/escaped_name.h"
#include "simd/utf8.h"

namespace salvage {
namespace {

std::string plural(std::size_t count, std::string_view one, std::string_view many) {
    return std::to_string(count) + " " + std::string(count == 1 ? one : many);
}

// Length of the valid UTF-8 sequence that starts `text`, or 0 when it is not one.
std::size_t validSequenceLength(std::string_view text) {
    for (std::size_t length = 2; length <= 4 && length <= text.size(); ++length) {
        if (detail::isValidUtf8(text.substr(0, length))) {
            return length;
        }
    }
    return 0;
}

// How the input was brought into the form the reading expects: a line for each step taken.
std::string describeInputForm(const SalvageReport::ThoroughFindings::InputForm& input) {
    std::string out;
    if (!input.textEncoding.empty()) {
        out += "Converted from " + input.textEncoding + " before reading" +
               (input.byteOrderMark ? " (it began with a byte order mark)" : "") + "\n";
    } else if (input.byteOrderMark) {
        out += "A UTF-8 byte order mark at the start skipped\n";
    }
    if (input.quotedPrintable) {
        out += "Quoted-printable undone before reading\n";
    }
    if (input.escapedMarkup) {
        out += "Markup escaped as a whole (&lt;Section ...): read unescaped\n";
    }
    if (input.invisibleCharacters != 0) {
        out += "Invisible characters skipped inside Base64: " +
               std::to_string(input.invisibleCharacters) + "\n";
    }
    return out;
}

std::string describeThorough(const SalvageReport::ThoroughFindings& found) {
    std::string out = "Read thoroughly\n" + describeInputForm(found.input);
    if (found.headerDamaged) {
        out += "The first line is not an \"<?xml \" header: read for the section tags found\n";
    }
    out += "Sections whose text runs on past the line of their tag: " +
           std::to_string(found.bodiesAcrossLines) + "\n";
    out +=
        "Section tags not at the start of their line: " + std::to_string(found.tagsOffLineStart) +
        "\n";
    out += "Base64 groups dropped (a character outside the alphabet): " +
           std::to_string(found.groupsDropped) + "\n";
    out += "Decoded bytes left out (not valid text): " + std::to_string(found.bytesDropped) + "\n";
    out += "Realignments after characters were lost or inserted: " +
           std::to_string(found.realignments) + "\n";
    out += "Damaged stretches that gave no text: " + std::to_string(found.stretchesLost) + "\n";
    // What other writers and transports do to a document, named only where it was met.
    const auto whereMet = [&out](std::size_t count, std::string_view what) {
        if (count != 0) {
            out += std::string(what) + ": " + std::to_string(count) + "\n";
        }
    };
    whereMet(found.charactersSkipped, "Characters outside the alphabet skipped as inserted");
    whereMet(found.nameReferences, "Character references decoded in section names");
    whereMet(found.otherNameSpellings,
             "Section names in another spelling (blanks around \"=\", single quotes, other "
             "attributes first)");
    whereMet(found.prefixedTags, "Section tags with a namespace prefix");
    whereMet(found.cdataTexts, "Texts wrapped in CDATA");
    whereMet(found.seams, "Seams where a section's text stopped being its own");
    for (const auto& piece : found.pieces) {
        out += "Piece kept under a name of its own: " + quotedName(piece.name) +
               (piece.afterDamage ? " (the text after a long damaged stretch)"
                                  : " (Base64 outside any section)") +
               "\n";
    }
    for (const auto& repeated : found.repeatedNames) {
        out += "Section " + quotedName(repeated.sectionName) + " occurs " +
               (repeated.times == 1 ? std::string("again")
                                    : std::to_string(repeated.times) + " more times") +
               ": every text kept, the first repeat as " + quotedName(repeated.firstRenamed) + "\n";
    }
    return out;
}

}  // namespace

std::string quotedName(std::string_view name) {
    std::string out = "\"";
    for (std::size_t i = 0; i < name.size();) {
        const auto byte = static_cast<unsigned char>(name[i]);
        if (byte == '"') {
            out += "\\\"";
            ++i;
        } else if (isEscapedByte(byte)) {
            appendEscapedByte(out, byte);
            ++i;
        } else if (byte < 0x80) {
            out += static_cast<char>(byte);
            ++i;
        } else if (const std::size_t length = validSequenceLength(name.substr(i)); length != 0) {
            out.append(name.substr(i, length));
            i += length;
        } else {
            appendEscapedByte(out, byte);
            ++i;
        }
    }
    return out + "\"";
}

std::string summarizeReport(const SalvageReport& report, std::size_t sectionCount) {
    return detail::summaryLine(report, sectionCount,
                               {.damaged = " with damaged Base64",
                                .notUtf8 = " not valid UTF-8",
                                .replaced = " replaced by a later section",
                                .skippedOne = " section-like line skipped",
                                .skippedMany = " section-like lines skipped",
                                .stoppedEarly = "reading stopped early",
                                .headerDamaged = "first line damaged",
                                .realignedOne = " realignment",
                                .realignedMany = " realignments",
                                .pieceOne = " piece kept without a section name",
                                .pieceMany = " pieces kept without a section name",
                                .repeatedOne = " repeated name kept under numbers",
                                .repeatedMany = " repeated names kept under numbers"});
}

std::string describeReport(const SalvageReport& report, const SectionMap& sections) {
    std::string out;
    out += "Lines read: " + std::to_string(report.linesRead) + "\n";
    out += "Section lines found: " + std::to_string(report.sectionLines) + "\n";
    out += "Sections: " + std::to_string(sections.size()) + "\n";
    out +=
        "Lines that look like sections but were skipped (indented, or \"<Section\" not at the "
        "start): " +
        std::to_string(report.skippedLookalikes) + "\n";
    for (const auto& damage : report.damagedBase64) {
        out += "Damaged Base64 in the " + std::string(damage.inName ? "name" : "text") +
               " of section " + quotedName(sections[damage.section].name) + ": " +
               plural(damage.skippedBytes, "byte", "bytes") + " skipped, " +
               plural(damage.incompleteGroups, "incomplete group", "incomplete groups") +
               (damage.lines > 1 ? " (in " + std::to_string(damage.lines) + " section lines)"
                                 : std::string()) +
               "\n";
    }
    for (const std::size_t section : report.invalidUtf8Sections) {
        out += "Text that is not valid UTF-8 in section " + quotedName(sections[section].name) +
               " (kept and saved byte for byte)\n";
    }
    for (const auto& replacement : report.replacements) {
        out += "Section " + quotedName(sections[replacement.section].name);
        if (replacement.times == 1) {
            out += " occurs again: its earlier text (" +
                   plural(replacement.replacedLength, "byte", "bytes") + ") was replaced\n";
        } else {
            out += " occurs " + std::to_string(replacement.times) +
                   " more times: its earlier texts (" +
                   plural(replacement.replacedLength, "byte", "bytes") + " in all) were replaced\n";
        }
    }
    if (!report.readError.empty()) {
        out += "Reading stopped early: " + report.readError + " (what was read before is kept)\n";
    }
    if (report.thorough) {
        out += describeThorough(*report.thorough);
    }
    return out;
}

}  // namespace salvage
