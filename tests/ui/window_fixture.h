#pragma once

#include <QAbstractItemModel>
#include <QAction>
#include <QItemSelectionModel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolButton>
#include <QTreeView>
#include <memory>

#include "ui/menu_bar1.h"
#include "ui/report_status.h"
#include "ui/window1.h"
#include "ui_test_support.h"

namespace ui_test {

// A fresh main window with its own test doubles and a folder for its files.
struct WindowFixture {
    WindowFixture() : window(std::make_unique<Window1>(fakes.services())) {}

    QTreeView* list() const { return window->findChild<QTreeView*>("sectionList"); }
    QPlainTextEdit* text() const { return window->findChild<QPlainTextEdit*>("sectionText"); }
    QPushButton* saveAllButton() const { return window->findChild<QPushButton*>("saveAllButton"); }
    QPushButton* saveOneButton() const { return window->findChild<QPushButton*>("saveOneButton"); }
    ui::ReportStatus* reportStatus() const {
        return window->findChild<ui::ReportStatus*>("reportStatus");
    }
    QToolButton* detailsButton() const { return window->findChild<QToolButton*>("reportDetails"); }
    MenuBar1* bar() const { return static_cast<MenuBar1*>(window->menuBar()); }
    QAction* item(const char* name) const { return bar()->item(QString::fromLatin1(name)); }

    std::filesystem::path file(const std::string& name, const std::string& bytes) const {
        return writeFile(dir, name, bytes);
    }
    std::filesystem::path path(const std::string& name) const {
        return std::filesystem::path(dir.path().toStdString()) / name;
    }

    // Drops a document holding `sections` on the list.
    DropOutcome dropDocument(const std::vector<SectionData>& sections,
                             const std::string& name = "letter.qlx") {
        return dropFiles(list()->viewport(), {file(name, documentText(sections))});
    }

    void select(int row) const { list()->setCurrentIndex(list()->model()->index(row, 0)); }
    int rowCount() const { return list()->model()->rowCount(); }
    // The selected row, -1 for none; -2 when more than one row is selected.
    int selectedRow() const {
        const QModelIndexList rows = list()->selectionModel()->selectedRows();
        return rows.isEmpty() ? -1 : rows.size() > 1 ? -2 : rows.front().row();
    }
    QString rowText(int row) const { return list()->model()->index(row, 0).data().toString(); }
    void moveOver(QWidget* widget) const { QTest::mouseMove(widget); }
    // What the File menu shows when it opens.
    void openFileMenu() const { emit bar()->fileMenu()->aboutToShow(); }

    QStringList rowTexts() const {
        QStringList texts;
        for (int row = 0; row < rowCount(); ++row) {
            texts << rowText(row);
        }
        return texts;
    }

    QTemporaryDir dir;
    platform::FakeServices fakes;
    std::unique_ptr<Window1> window;
};

}  // namespace ui_test
