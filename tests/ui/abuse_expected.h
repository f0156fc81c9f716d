#pragma once

#include <QString>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "salvage/export.h"
#include "salvage/section_map.h"
#include "session/document_session.h"
#include "ui_test_support.h"

namespace abuse {

using ui_test::SectionData;

inline QString decoded(const std::string& bytes) {
    return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

// Text as a Qt text area keeps it: every line break, of whatever convention, is one '\n'.
inline QString asInserted(QString text) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    return text;
}

// The same text as QPlainTextEdit::toPlainText() reports it.
inline QString asPlain(QString text) {
    text.replace(QChar::LineSeparator, QLatin1Char('\n'));
    text.replace(QChar::Nbsp, QLatin1Char(' '));
    return text;
}

// What the main window must show and hold, worked out from the steps alone: nothing here is
// read back from the window, except the text after an undo, which is Qt's own business.
struct Expected {
    std::optional<std::vector<SectionData>> sections;
    std::string filename;
    std::optional<int> selected;
    QString text;         // the text area, line breaks as '\n'
    bool edited = false;  // the user changed the text since the last selection
    int beeps = 0;
    qsizetype messages = 0;
    std::size_t dialogRequests = 0;
    std::size_t openDialogs = 0;
    std::size_t reports = 0;  // whole salvage reports shown
    QString summary;          // the status bar's line
    qsizetype aboutBoxes = 0;
    bool helpOpen = false;
    // Every regular file in the output folder, with what it holds.
    std::map<std::filesystem::path, std::string> files;

    void accept(const std::vector<SectionData>& kept, const std::string& name) {
        sections = kept;
        filename = name;
        select(std::nullopt);
    }

    void select(std::optional<int> row) {
        selected = row;
        text =
            row ? asInserted(decoded((*sections)[static_cast<std::size_t>(*row)].text)) : QString();
        edited = false;
    }

    std::string allExport() const {
        salvage::SectionMap map;
        for (const SectionData& section : *sections) {
            map.assign(section.name, section.text);
        }
        return salvage::exportText(map);
    }

    // What Save Just This Section may write. Until the user changes the text, the section's
    // own bytes, even where they are not UTF-8; afterwards the text as shown, or the section's
    // bytes while the text still reads as the section's.
    std::vector<std::string> oneExports() const {
        const std::string own =
            selected ? (*sections)[static_cast<std::size_t>(*selected)].text : std::string();
        if (!edited && selected) {
            return {own};
        }
        std::vector<std::string> allowed = {text.toUtf8().toStdString()};
        if (selected && text == asInserted(decoded(own))) {
            allowed.push_back(own);
        }
        return allowed;
    }
};

}  // namespace abuse
