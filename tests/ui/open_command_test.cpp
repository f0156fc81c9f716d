#include "filetypes/file_types.h"
#include "salvage/export.h"
#include "salvage/reader.h"
#include "window_fixture.h"

using ui_test::WindowFixture;

namespace {

const QString kRefused = QString::fromUtf8(salvage::kRefusedMessage);

// What the window shows and holds of its document, to compare one window with another.
struct Shown {
    QStringList rows;
    std::string exported;
    std::string filename;
    QString summary;

    bool operator==(const Shown&) const = default;
};

Shown shownBy(const WindowFixture& f) {
    return {f.rowTexts(),
            f.window->contents() ? salvage::exportText(*f.window->contents()) : std::string(),
            f.window->filename(), f.reportStatus()->summary()};
}

// Chooses File > Open... the way the row names: from the menu, or by its shortcut.
void chooseOpen(WindowFixture& f, const QString& path) {
    if (path == "menu") {
        f.openFileMenu();
        QVERIFY(f.item("FileOpen")->isEnabled());
        f.item("FileOpen")->trigger();
    } else {
        f.window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(f.window.get()));
        QTest::keySequence(f.window.get(), QKeySequence("Ctrl+O"));
    }
}

}  // namespace

class OpenCommandTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() { FileTypes::Initialize(); }
    void cleanupTestCase() { FileTypes::Release(); }

    void dialogOffersTheTwoDocumentKindsThenAllFiles() {
        WindowFixture f;
        QVERIFY(f.item("FileOpen")->isEnabled());
        QVERIFY(!f.window->FileOpen_Action());
        QCOMPARE(f.fakes.openDialog.requests().size(), 1u);
        // The first choice, shown at the start, hides neither kind of document.
        QCOMPARE(f.fakes.openDialog.requests()[0],
                 (QStringList{"Quillora documents (*.qlx *.qll)", "Quillora 1.5 (XML) (*.qlx)",
                              "Quillora Light (*.qll)", "All files (*)"}));
    }

    void chosenDocumentIsShownAsADropOfItIs_data() {
        QTest::addColumn<QString>("path");
        QTest::newRow("menu") << "menu";
        QTest::newRow("shortcut") << "shortcut";
    }

    void chosenDocumentIsShownAsADropOfItIs() {
        QFETCH(QString, path);
        QTemporaryDir dir;
        const auto document = ui_test::writeFile(dir, "Letter.qlx", ui_test::damagedDocumentText());
        Shown asDropped;
        {
            // One main window at a time: they share the one menu bar.
            WindowFixture dropped;
            QVERIFY(ui_test::dropFiles(dropped.list()->viewport(), {document}).accepted);
            asDropped = shownBy(dropped);
        }

        WindowFixture opened;
        QVERIFY(opened.dropDocument({{"Earlier", "document"}}).accepted);
        opened.select(0);
        opened.fakes.openDialog.answer(document);
        chooseOpen(opened, path);

        QCOMPARE(opened.fakes.openDialog.requests().size(), 1u);
        QVERIFY(shownBy(opened) == asDropped);
        QCOMPARE(opened.rowTexts(), (QStringList{"Greeting", "Closing", "News"}));
        QCOMPARE(opened.selectedRow(), -1);
        QVERIFY(opened.text()->toPlainText().isEmpty());
        QCOMPARE(opened.fakes.beeper.count(), 0);
        QVERIFY(opened.fakes.messageBox.shown().isEmpty());
        QVERIFY(opened.item("FileOpen")->isEnabled());
    }

    // Cancelling, or choosing a file that is refused, leaves the earlier document as it was.
    void cancelOrRefusalChangesNothing_data() {
        QTest::addColumn<QString>("choice");
        QTest::addColumn<int>("beeps");
        QTest::newRow("cancelled") << "cancel" << 0;
        QTest::newRow("not a document") << "other" << 1;
        QTest::newRow("a folder") << "folder" << 1;
    }

    void cancelOrRefusalChangesNothing() {
        QFETCH(QString, choice);
        QFETCH(int, beeps);
        WindowFixture f;
        QVERIFY(ui_test::dropFiles(f.list()->viewport(),
                                   {f.file("letter.qlx", ui_test::damagedDocumentText())})
                    .accepted);
        f.select(1);
        f.text()->insertPlainText("edited ");
        const Shown before = shownBy(f);
        const QString textBefore = f.text()->toPlainText();

        const auto chosen = f.path("chosen.qll");
        if (choice == "other") {
            f.file("chosen.qll", "PK\x03\x04 not a document");
        } else if (choice == "folder") {
            std::filesystem::create_directory(chosen);
        }
        if (choice != "cancel") {
            f.fakes.openDialog.answer(chosen);
        }
        f.item("FileOpen")->trigger();

        QCOMPARE(f.fakes.openDialog.requests().size(), 1u);
        QCOMPARE(f.fakes.beeper.count(), beeps);
        QCOMPARE(f.fakes.messageBox.shown().size(), beeps);
        if (choice != "cancel") {
            QCOMPARE(f.fakes.messageBox.shown().front(), kRefused);
            QVERIFY(f.fakes.messageBox.details().front().startsWith(
                "File: " + QString::fromStdString(chosen.string()) + "\nReason: "));
        }
        QVERIFY(shownBy(f) == before);
        QCOMPARE(f.selectedRow(), 1);
        QCOMPARE(f.text()->toPlainText(), textBefore);
    }
};

QLV_UI_TEST_MAIN(OpenCommandTest)
#include "open_command_test.moc"
