#include <QApplication>
#include <filesystem>
#include <map>

#include "abuse_sequence.h"
#include "ui/help_window.h"
#include "ui/report_status.h"

namespace abuse {

QString Sequence::check() const {
    QStringList names;
    if (want_.sections) {
        for (const auto& section : *want_.sections) {
            names << abuse::decoded(section.name);
        }
    }
    if (f_.rowTexts() != names) {
        return QStringLiteral("the rows are not the section names");
    }
    const salvage::SectionMap* held = window()->contents();
    if ((held != nullptr) != want_.sections.has_value()) {
        return QStringLiteral("a section map where none should be, or none where one should be");
    }
    if (held) {
        if (held->size() != want_.sections->size()) {
            return QStringLiteral("the section map holds %1 sections, not %2")
                .arg(held->size())
                .arg(want_.sections->size());
        }
        for (std::size_t i = 0; i < held->size(); ++i) {
            if ((*held)[i].name != (*want_.sections)[i].name ||
                (*held)[i].text != (*want_.sections)[i].text) {
                return QStringLiteral("section %1 of the map is not the document's").arg(i);
            }
        }
    }
    if (window()->filename() != want_.filename) {
        return QStringLiteral("the file name is %1").arg(abuse::decoded(window()->filename()));
    }
    const int selectedRow = f_.selectedRow();
    if (selectedRow != want_.selected.value_or(-1)) {
        return QStringLiteral("row %1 is selected, not %2")
            .arg(selectedRow)
            .arg(want_.selected.value_or(-1));
    }
    if (f_.text()->toPlainText() != abuse::asPlain(want_.text)) {
        return QStringLiteral("the text area shows \"%1\", not \"%2\"")
            .arg(f_.text()->toPlainText().left(80), abuse::asPlain(want_.text).left(80));
    }
    // The buttons follow the save commands' rules at every step, the pointer moving or not.
    if (f_.saveAllButton()->isEnabled() != mayNow(true) ||
        f_.saveOneButton()->isEnabled() != mayNow(false)) {
        return QStringLiteral("the buttons are %1/%2, not %3/%4")
            .arg(f_.saveAllButton()->isEnabled())
            .arg(f_.saveOneButton()->isEnabled())
            .arg(mayNow(true))
            .arg(mayNow(false));
    }
    const auto available = window()->session().saveAvailability();
    if (window()->session().shownSection() !=
        (want_.selected ? std::optional<std::size_t>(*want_.selected) : std::nullopt)) {
        return QStringLiteral("the session shows another section than the list");
    }
    if (f_.item("FileSaveAllSections")->isEnabled() != (available && available->all) ||
        f_.item("FileSaveJustThisSection")->isEnabled() != (available && available->one) ||
        !f_.item("HelpTechnicalDetails")->isEnabled()) {
        return QStringLiteral("the menu items do not follow the rules");
    }
    if (reportStatus()->summary() != want_.summary) {
        return QStringLiteral("the status bar says \"%1\", not \"%2\"")
            .arg(reportStatus()->summary(), want_.summary);
    }
    if (f_.fakes.openDialog.requests().size() != want_.openDialogs ||
        f_.fakes.textViewer.shown().size() != want_.reports) {
        return QStringLiteral("%1 open dialogs, %2 reports shown")
            .arg(f_.fakes.openDialog.requests().size())
            .arg(f_.fakes.textViewer.shown().size());
    }
    if (f_.fakes.beeper.count() != want_.beeps ||
        f_.fakes.messageBox.shown().size() != want_.messages ||
        f_.fakes.saveDialog.requests().size() != want_.dialogRequests ||
        ui_test::appServices().messageBox.shown().size() != want_.aboutBoxes) {
        return QStringLiteral("%1 beeps, %2 messages, %3 save dialogs, %4 About boxes")
            .arg(f_.fakes.beeper.count())
            .arg(f_.fakes.messageBox.shown().size())
            .arg(f_.fakes.saveDialog.requests().size())
            .arg(ui_test::appServices().messageBox.shown().size());
    }
    if (QApplication::activeModalWidget() != nullptr) {
        return QStringLiteral("a modal dialog is open");
    }
    int helpWindows = 0;
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (!top->isVisible() || top == window()) {
            continue;
        }
        if (qobject_cast<helpWindow*>(top) == nullptr) {
            return QStringLiteral("an extra window is open: %1").arg(top->objectName());
        }
        ++helpWindows;
    }
    if (helpWindows != (want_.helpOpen ? 1 : 0)) {
        return QStringLiteral("%1 Technical Details windows are open").arg(helpWindows);
    }
    std::map<std::filesystem::path, std::uintmax_t> found;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(f_.path(""))) {
        if (!entry.is_directory()) {
            found[entry.path()] = entry.file_size();
        }
    }
    std::map<std::filesystem::path, std::uintmax_t> kept;
    for (const auto& [path, bytes] : want_.files) {
        kept[path] = bytes.size();
    }
    if (found != kept || !std::filesystem::is_directory(f_.path("folder"))) {
        return QStringLiteral("the output folder holds other files than were saved");
    }
    return {};
}

}  // namespace abuse
