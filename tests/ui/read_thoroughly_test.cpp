#include <QToolButton>

#include "filetypes/file_types.h"
#include "window_fixture.h"

using ui_test::base64;
using ui_test::WindowFixture;

namespace {

// A section whose text was wrapped over several lines: the plain reading keeps only what stands
// on the tag's own line, the thorough one the whole text.
const std::string kWrapped = "<?xml version=\"1.0\"?>\n<Section name=\"" + base64("Letter") +
                             "\">\n" + base64("Dear Ingrid, the whole letter.") +
                             "\n</Section>\n<Section name=\"" + base64("Closing") + "\">" +
                             base64("Love") + "</Section>\n";

// The same with its first line lost: the plain reading refuses it, the thorough one does not.
const std::string kHeaderLost = kWrapped.substr(kWrapped.find('\n') + 1);

const std::string kClean = ui_test::documentText({{"Letter", "Dear Ingrid"}});

QToolButton* offer(const WindowFixture& f) {
    return f.window->findChild<QToolButton*>(QStringLiteral("readThoroughly"));
}

}  // namespace

class ReadThoroughlyTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() { FileTypes::Initialize(); }
    void cleanupTestCase() { FileTypes::Release(); }

    void startsOffInTheFileMenu() {
        WindowFixture f;
        QAction* item = f.item("FileReadThoroughly");
        QVERIFY(item != nullptr);
        QVERIFY(f.bar()->fileMenu()->actions().contains(item));
        QVERIFY(item->isCheckable());
        QVERIFY(!item->isChecked());
        QCOMPARE(item->text(), QStringLiteral("Read &Thoroughly"));
    }

    // Turning it on or off reads the document shown again at once, and every later one alike.
    void turningItOnOrOffReadsTheDocumentAgain() {
        WindowFixture f;
        QAction* item = f.item("FileReadThoroughly");
        QVERIFY(f.dropDocument({}, "letter.qlx").accepted);  // written over just below
        const auto wrapped = f.file("wrapped.qlx", kWrapped);
        QVERIFY(ui_test::dropFiles(f.list()->viewport(), {wrapped}).accepted);
        f.select(0);
        QCOMPARE(f.window->contents()->lookup("Letter"), std::string_view(""));

        item->trigger();
        QVERIFY(item->isChecked());
        QCOMPARE(f.window->contents()->lookup("Letter"),
                 std::string_view("Dear Ingrid, the whole letter."));
        QCOMPARE(f.selectedRow(), -1);
        QVERIFY(f.text()->toPlainText().isEmpty());
        QCOMPARE(f.window->filename(), std::string("wrapped"));

        QVERIFY(f.dropDocument({{"Next", "text"}}, "next.qlx").accepted);
        QVERIFY(f.window->report()->thorough.has_value());

        item->trigger();
        QVERIFY(!item->isChecked());
        QVERIFY(!f.window->report()->thorough.has_value());
        QCOMPARE(f.rowTexts(), QStringList{"Next"});
        QVERIFY(f.fakes.messageBox.shown().isEmpty());
    }

    void theStatusBarOffersItWhereThePlainReadingLostSomething_data() {
        QTest::addColumn<QString>("document");
        QTest::addColumn<bool>("offered");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("clean") << QString::fromStdString(kClean) << false << true;
        QTest::newRow("damaged") << QString::fromStdString(ui_test::damagedDocumentText()) << true
                                 << true;
        QTest::newRow("header lost, tags kept")
            << QString::fromStdString(kHeaderLost) << true << false;
        QTest::newRow("no document") << "Shopping: milk, bread\n" << false << false;
    }

    // One click on the offer reads the document, or the refused file, thoroughly.
    void theStatusBarOffersItWhereThePlainReadingLostSomething() {
        QFETCH(QString, document);
        QFETCH(bool, offered);
        QFETCH(bool, accepted);
        WindowFixture f;
        const auto file = f.file("document.qlx", document.toStdString());
        QVERIFY(ui_test::dropFiles(f.list()->viewport(), {file}).accepted);
        QCOMPARE(f.window->contents() != nullptr, accepted);
        QCOMPARE(f.fakes.beeper.count(), accepted ? 0 : 1);
        QCOMPARE(!offer(f)->isHidden(), offered);
        if (!offered) {
            return;
        }
        QTest::mouseClick(offer(f), Qt::LeftButton);
        QVERIFY(f.item("FileReadThoroughly")->isChecked());
        QVERIFY(f.window->contents() != nullptr);
        QVERIFY(f.window->report()->thorough.has_value());
        QCOMPARE(f.window->filename(), std::string("document"));
        QVERIFY(offer(f)->isHidden());
        QCOMPARE(f.fakes.beeper.count(), accepted ? 0 : 1);
    }

    // A refused file without section tags leaves the offer made for the document shown.
    void aRefusedFileWithoutTagsLeavesTheOffer() {
        WindowFixture f;
        QVERIFY(ui_test::dropFiles(f.list()->viewport(),
                                   {f.file("damaged.qlx", ui_test::damagedDocumentText())})
                    .accepted);
        QVERIFY(!offer(f)->isHidden());
        QVERIFY(ui_test::dropFiles(f.list()->viewport(), {f.file("notes.qlx", "no document")})
                    .accepted);
        QVERIFY(!offer(f)->isHidden());
        QTest::mouseClick(offer(f), Qt::LeftButton);
        QCOMPARE(f.window->filename(), std::string("damaged"));
        QVERIFY(f.window->report()->thorough.has_value());
    }
};

QLV_UI_TEST_MAIN(ReadThoroughlyTest)
#include "read_thoroughly_test.moc"
