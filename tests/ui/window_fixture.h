#pragma once

#include <QAction>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolButton>
#include <QTreeWidget>
#include <memory>

#include "ui/menu_bar1.h"
#include "ui/report_status.h"
#include "ui/window1.h"
#include "ui_test_support.h"

namespace ui_test {

// A fresh main window with its own test doubles and a folder for its files.
struct WindowFixture {
    WindowFixture() : window(std::make_unique<Window1>(fakes.services())) {}

    QTreeWidget* list() const { return window->findChild<QTreeWidget*>("sectionList"); }
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

    void select(int row) const { list()->setCurrentItem(list()->topLevelItem(row)); }
    void moveOver(QWidget* widget) const { QTest::mouseMove(widget); }
    // What the File menu shows when it opens.
    void openFileMenu() const { emit bar()->fileMenu()->aboutToShow(); }

    QStringList rowTexts() const {
        QStringList texts;
        for (int row = 0; row < list()->topLevelItemCount(); ++row) {
            texts << list()->topLevelItem(row)->text(0);
        }
        return texts;
    }

    QTemporaryDir dir;
    platform::FakeServices fakes;
    std::unique_ptr<Window1> window;
};

}  // namespace ui_test
