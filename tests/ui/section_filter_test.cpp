#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include "filetypes/file_types.h"
#include "salvage/export.h"
#include "window_fixture.h"

using ui_test::WindowFixture;

namespace {

const std::vector<ui_test::SectionData> kDocument = {
    {"Greeting", "Dear Grandmother Ingrid,"},
    {"Body", "The sea is calm today."},
    {"Closing", "With love"},
    {"P.S.", "GREETINGS to the cat"},
};

const QStringList kAllRows = {"Greeting", "Body", "Closing", "P.S."};

QLineEdit* filterField(const WindowFixture& f) {
    return f.window->findChild<QLineEdit*>("sectionFilter");
}
QLabel* countLabel(const WindowFixture& f) {
    return f.window->findChild<QLabel*>("sectionCount");
}

}  // namespace

// The filter above the section list narrows the list to the sections that hold a phrase; it
// never changes the document, what Save All writes, or the text being edited.
class SectionFilterTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() { FileTypes::Initialize(); }
    void cleanupTestCase() { FileTypes::Release(); }

    void listsTheSectionsThatHoldThePhrase_data() {
        QTest::addColumn<QString>("phrase");
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<QString>("count");
        QTest::newRow("nothing typed") << QString() << kAllRows << QString();
        QTest::newRow("in a name and a text, any case")
            << "greeting" << QStringList{"Greeting", "P.S."} << "2 of 4 sections";
        QTest::newRow("in a text only") << "CALM" << QStringList{"Body"} << "1 of 4 sections";
        QTest::newRow("nowhere") << "storm" << QStringList{} << "0 of 4 sections";
    }
    void listsTheSectionsThatHoldThePhrase() {
        QFETCH(QString, phrase);
        QFETCH(QStringList, rows);
        QFETCH(QString, count);
        WindowFixture f;
        QVERIFY(f.dropDocument(kDocument).accepted);
        filterField(f)->setText(phrase);
        QCOMPARE(f.rowTexts(), rows);
        QCOMPARE(countLabel(f)->isVisibleTo(f.window.get()), !count.isEmpty());
        if (!count.isEmpty()) {
            QCOMPARE(countLabel(f)->text(), count);
        }
        filterField(f)->clear();
        QCOMPARE(f.rowTexts(), kAllRows);
        QVERIFY(!countLabel(f)->isVisibleTo(f.window.get()));
    }

    // The section being edited keeps its text and its edit while the filter hides its row,
    // and gets its row back when the filter shows it again.
    void theEditedSectionSurvivesTheFilter() {
        WindowFixture f;
        f.window->show();
        QVERIFY(f.dropDocument(kDocument).accepted);
        f.select(1);
        f.text()->moveCursor(QTextCursor::End);
        f.text()->insertPlainText(" An edit.");
        const QString edited = f.text()->toPlainText();

        filterField(f)->setText("cat");
        QCOMPARE(f.rowTexts(), QStringList{"P.S."});
        QCOMPARE(f.selectedRow(), -1);
        QCOMPARE(f.text()->toPlainText(), edited);
        QVERIFY(f.text()->document()->isModified());

        filterField(f)->setText("ca");  // "calm" and "cat"
        QCOMPARE(f.rowTexts(), (QStringList{"Body", "P.S."}));
        QCOMPARE(f.selectedRow(), 0);
        QCOMPARE(f.text()->toPlainText(), edited);

        filterField(f)->clear();
        QCOMPARE(f.selectedRow(), 1);
        QCOMPARE(f.text()->toPlainText(), edited);
        QVERIFY(f.text()->document()->isModified());
    }

    // A row chosen in the filtered list shows its own section, at the phrase when its text
    // holds it; its text is not changed for that.
    void aFilteredRowShowsItsSectionAtThePhrase() {
        WindowFixture f;
        f.window->show();
        QVERIFY(f.dropDocument(kDocument).accepted);
        auto* bar = f.window->findChild<QWidget*>("findBar");
        auto* count = f.window->findChild<QLabel*>("findCount");
        filterField(f)->setText("greeting");
        f.select(1);
        QCOMPARE(f.text()->toPlainText(), QStringLiteral("GREETINGS to the cat"));
        QCOMPARE(f.window->session().shownSection(), std::optional<std::size_t>(3));
        QVERIFY(bar->isVisible());
        QCOMPARE(count->text(), QStringLiteral("1 of 1"));
        QCOMPARE(f.text()->textCursor().selectedText(), QStringLiteral("GREETING"));
        QVERIFY(!f.text()->document()->isModified());

        f.select(0);  // listed for its name only
        QVERIFY(!bar->isVisible());
    }

    void saveAllSavesEverySectionWhileFiltered() {
        WindowFixture f;
        QVERIFY(f.dropDocument(kDocument).accepted);
        filterField(f)->setText("calm");
        const auto target = f.path("all.txt");
        f.fakes.saveDialog.answer(target);
        QTest::mouseClick(f.saveAllButton(), Qt::LeftButton);
        QCOMPARE(ui_test::readFile(target), salvage::exportText(*f.window->contents()));
    }

    void aNewDocumentIsListedWhole() {
        WindowFixture f;
        QVERIFY(f.dropDocument(kDocument).accepted);
        filterField(f)->setText("calm");
        QVERIFY(f.dropDocument({{"One", "1"}, {"Two", "2"}}, "other.qlx").accepted);
        QCOMPARE(f.rowTexts(), (QStringList{"One", "Two"}));
        QVERIFY(filterField(f)->text().isEmpty());
        QVERIFY(!countLabel(f)->isVisibleTo(f.window.get()));
    }

    void ctrlShiftFGoesToTheFilter() {
        WindowFixture f;
        f.window->show();
        // Focus is a window's only while it is active: so under a window manager too.
        f.window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(f.window.get()));
        QVERIFY(f.dropDocument(kDocument).accepted);
        f.text()->setFocus();
        QTest::keyClick(f.window.get(), Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
        QTRY_VERIFY(filterField(f)->hasFocus());
        QCOMPARE(filterField(f)->placeholderText(), QStringLiteral("Filter sections"));
    }
};

QTEST_MAIN(SectionFilterTest)
#include "section_filter_test.moc"
