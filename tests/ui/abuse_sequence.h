#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <random>

#include "abuse_documents.h"
#include "abuse_expected.h"
#include "window_fixture.h"

namespace ui {
class ReportStatus;
}

namespace abuse {

// Where a save dialog's answer leads.
enum class Answer { Good, Cancel, UnderAFile, MissingFolder, DeviceFull, Folder };

// One sequence: a fresh window, random steps, and the checks after each.
class Sequence {
  public:
    // The `number`th sequence of the run seeded with `seed`; any one can run alone.
    Sequence(const Library& library, std::uint32_t seed, int number);
    ~Sequence();

    // Runs one random step; its description goes to the log.
    void step();

    // The first difference between the window and what it must be, or nothing.
    QString check() const;

    int length() const { return length_; }
    const QStringList& log() const { return log_; }

  private:
    int pick(int count) { return std::uniform_int_distribution<int>(0, count - 1)(random_); }
    bool chance(int percent) { return pick(100) < percent; }

    Window1* window() const { return f_.window.get(); }
    QModelIndex rowIndex(int row) const { return f_.list()->model()->index(row, 0); }
    // Whether the session allows the save now, as the menu command must.
    bool mayNow(bool all) const {
        const auto available = window()->session().saveAvailability();
        return available && (all ? available->all : available->one);
    }

    void activateMain() {
        window()->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window()));
    }

    // Moves the pointer to `at` in `widget`, always to a new place, as a user's hand would.
    void moveTo(QWidget* widget, QPoint at) {
        if (widget->mapToGlobal(at) == QCursor::pos()) {
            at += QPoint(1, 0);
        }
        QTest::mouseMove(widget, at);
    }

    void drop();
    void open();
    void expectRead(const Document& document);
    void reportDetails();
    ui::ReportStatus* reportStatus() const {
        return f_.window->findChild<ui::ReportStatus*>(QStringLiteral("reportStatus"));
    }
    void dropBesideTheList();
    void clickRow();
    void useListKeys();
    void dragAcrossRows();
    void followListSelection();
    void movePointer();
    void resizeWindow();
    void placeHelpBeside();
    void edit();
    void editByKeys(int what);
    void editByMenu(int what);
    void save();
    void windows();

    const Library& library_;
    std::mt19937 random_;
    ui_test::WindowFixture f_;
    Expected want_;
    QStringList log_;
    int length_ = 0;
    int selectionChanges_ = 0;  // in the current step
};

}  // namespace abuse
