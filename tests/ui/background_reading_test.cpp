#include <QLabel>
#include <QProgressBar>
#include <QThreadPool>
#include <QToolButton>

#include "filetypes/file_types.h"
#include "salvage/export.h"
#include "salvage/reader.h"
#include "ui/reading_progress.h"
#include "window_fixture.h"

using ui_test::WindowFixture;

namespace {

const std::string kShown = ui_test::documentText({{"Old", "old text"}, {"Older", "older"}});
const std::string kNext = ui_test::documentText({{"New", "new text"}});
const std::string kNotes = "just some notes\n";
// The plain reading refuses it; it holds a section tag, so the thorough reading is offered.
const std::string kHeaderLost =
    "<Section name=\"" + ui_test::base64("Lost") + "\">" + ui_test::base64("x") + "</Section>\n";

// A window showing kShown with the user's edit of its first section, that reads every later
// document off its thread.
struct EditedWindow : WindowFixture {
    EditedWindow() {
        window->openDocument(file("shown.qlx", kShown));
        select(0);
        QTest::keyClicks(text(), "my edit");
        window->setBackgroundReadingFrom(0);
    }

    // Nothing of the document shown has changed: the list, the map, the edit.
    void checkUnchanged() const {
        QCOMPARE(rowTexts(), (QStringList{"Old", "Older"}));
        QCOMPARE(window->contents()->lookup("Old"), std::string_view("old text"));
        QCOMPARE(window->filename(), std::string("shown"));
        QCOMPARE(selectedRow(), 0);
        QVERIFY(text()->toPlainText().contains(QStringLiteral("my edit")));
    }

    void waitForReading() const { QTRY_VERIFY_WITH_TIMEOUT(!window->isReading(), 10'000); }
};

}  // namespace

class BackgroundReadingTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() { FileTypes::Initialize(); }
    void cleanupTestCase() { FileTypes::Release(); }

    // While a document is read the one shown stays whole and usable; when the reading ends,
    // an accepted document replaces it exactly as a reading on the window's thread would, and
    // a refused one changes nothing but tells why.
    void theReadingEndsAsOnTheWindowsThread_data() {
        QTest::addColumn<QString>("document");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<bool>("offered");
        QTest::newRow("accepted") << QString::fromStdString(kNext) << true << false;
        QTest::newRow("damaged, accepted")
            << QString::fromStdString(ui_test::damagedDocumentText()) << true << true;
        QTest::newRow("refused") << QString::fromStdString(kNotes) << false << false;
        QTest::newRow("refused, section tags")
            << QString::fromStdString(kHeaderLost) << false << true;
    }
    void theReadingEndsAsOnTheWindowsThread() {
        QFETCH(QString, document);
        QFETCH(bool, accepted);
        QFETCH(bool, offered);
        EditedWindow f;
        const auto file = f.file("next.qlx", document.toStdString());
        f.window->openDocument(file);
        QVERIFY(f.window->isReading());
        f.checkUnchanged();
        f.select(1);  // usable meanwhile
        QCOMPARE(f.text()->toPlainText(), QStringLiteral("older"));
        f.select(0);
        QTest::keyClicks(f.text(), "my edit");

        f.waitForReading();
        QCOMPARE(f.fakes.beeper.count(), accepted ? 0 : 1);
        QCOMPARE(f.fakes.messageBox.warnings(), accepted ? 0 : 1);
        QCOMPARE(!f.window->findChild<QToolButton*>("readThoroughly")->isHidden(), offered);
        if (!accepted) {
            f.checkUnchanged();
            return;
        }
        const salvage::ParseResult direct = salvage::parseFile(file);
        QCOMPARE(salvage::exportText(*f.window->contents()),
                 salvage::exportText(direct.document.contents));
        QCOMPARE(f.window->filename(), std::string("next"));
        QCOMPARE(f.selectedRow(), -1);
        QVERIFY(f.text()->toPlainText().isEmpty());
    }

    // Whatever cuts a reading short leaves no trace of it: no partial list, no message, the
    // edit kept; a second document replaces the first one's reading.
    void aReadingCutShortLeavesNoTrace_data() {
        QTest::addColumn<QString>("interruption");
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<int>("beeps");
        QTest::newRow("cancel") << "cancel" << QStringList{"Old", "Older"} << 0;
        QTest::newRow("second document") << "second" << QStringList{"Second"} << 0;
        QTest::newRow("second document refused") << "refused" << QStringList{"Old", "Older"} << 1;
        QTest::newRow("the same document again") << "again" << QStringList{"New"} << 0;
        QTest::newRow("read thoroughly instead") << "thorough" << QStringList{"New"} << 0;
    }
    void aReadingCutShortLeavesNoTrace() {
        QFETCH(QString, interruption);
        QFETCH(QStringList, rows);
        QFETCH(int, beeps);
        EditedWindow f;
        const auto first = f.file("next.qlx", kNext);
        f.window->openDocument(first);
        if (interruption == "cancel") {
            f.window->findChild<QPushButton*>("cancelReadingButton")->click();
            QVERIFY(!f.window->isReading());
        } else if (interruption == "again") {
            f.window->openDocument(first);
        } else if (interruption == "thorough") {
            f.item("FileReadThoroughly")->trigger();
        } else {
            const bool refused = interruption == "refused";
            f.window->openDocument(
                f.file("second.qlx", refused ? kNotes : ui_test::documentText({{"Second", ""}})));
        }
        f.waitForReading();
        QTest::qWait(50);  // anything of the first reading still on its way arrives
        QCOMPARE(f.rowTexts(), rows);
        QCOMPARE(f.fakes.beeper.count(), beeps);
        QCOMPARE(f.fakes.messageBox.warnings(), beeps);
        if (rows.size() == 2) {
            f.checkUnchanged();
        }
        QCOMPARE(f.window->report()->thorough.has_value(), interruption == "thorough");
    }

    // Leaving while a document is read: the window goes at once, and its reading stops.
    void closingTheWindowStopsItsReading() {
        auto f = std::make_unique<EditedWindow>();
        std::string large = "<?xml version=\"1.0\"?>\n";
        const std::string line =
            "<Section name=\"QQ==\">" + std::string(1 << 16, 'A') + "</Section>\n";
        while (large.size() < (std::size_t{64} << 20)) {
            large += line;
        }
        f->window->openDocument(f->file("large.qlx", large));
        f->window.reset();
        QVERIFY(QThreadPool::globalInstance()->waitForDone(5'000));
    }

    // A save cannot replace a document while it is being read: it is still to be salvaged.
    void aSaveCannotReplaceTheDocumentBeingRead() {
        EditedWindow f;
        const auto file = f.file("next.qlx", kNext);
        f.window->openDocument(file);
        f.fakes.saveDialog.answer(file);
        f.window->saveAllButton_Action();
        QCOMPARE(ui_test::readFile(file), kNext);
        QCOMPARE(f.fakes.messageBox.shown().size(), 1);
        f.waitForReading();
        QCOMPARE(f.rowTexts(), QStringList{"New"});
    }

    // The status bar tells of a reading only once it has lasted a moment, then how far it got.
    void theProgressShowsAfterAMoment() {
        ui::ReadingProgress progress;
        progress.begin(QStringLiteral("large.qlx"), [] {
            return std::pair<std::uint64_t, std::uint64_t>{1, 4};
        });
        QVERIFY(progress.isHidden());
        QTRY_VERIFY(!progress.isHidden());
        QCOMPARE(progress.findChild<QProgressBar*>("readingProgress")->value(), 250);
        QVERIFY(progress.findChild<QLabel*>("readingFile")->text().contains("large.qlx"));
        int cancels = 0;
        connect(&progress, &ui::ReadingProgress::cancelRequested, [&cancels] { ++cancels; });
        progress.findChild<QPushButton*>("cancelReadingButton")->click();
        QCOMPARE(cancels, 1);
        progress.end();
        QVERIFY(progress.isHidden());
    }
};

QLV_UI_TEST_MAIN(BackgroundReadingTest)
#include "background_reading_test.moc"
