#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>

#include "ui/find_bar.h"
#include "ui/text_area_content.h"
#include "window_fixture.h"

using ui_test::WindowFixture;

namespace {

struct FindFixture : WindowFixture {
    FindFixture() {
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
    }
    QWidget* bar() const { return window->findChild<QWidget*>("findBar"); }
    QLineEdit* field() const { return window->findChild<QLineEdit*>("findField"); }
    QString count() const { return window->findChild<QLabel*>("findCount")->text(); }
    qsizetype marks() const { return text()->extraSelections().size(); }
    void find(const QString& needle) const {
        item("EditFind")->trigger();
        field()->clear();
        QTest::keyClicks(field(), needle);
    }
};

}  // namespace

class FindBarTest : public QObject {
    Q_OBJECT

  private slots:
    // In "Alpha beta alpha / ALPHA gamma alphabet"; keys go to the find field.
    void findsAndMovesThroughMatches_data() {
        QTest::addColumn<QString>("needle");
        QTest::addColumn<bool>("matchCase");
        QTest::addColumn<QList<int>>("keys");  // key codes, negative with Shift
        QTest::addColumn<QString>("count");
        QTest::addColumn<int>("selected");  // where the current match starts, -1 for none
        QTest::addColumn<int>("marked");
        const QString alpha = QStringLiteral("alpha");
        QTest::newRow("typing finds the first")
            << alpha << false << QList<int>{} << "1 of 4" << 0 << 4;
        QTest::newRow("Enter") << alpha << false << QList<int>{Qt::Key_Return} << "2 of 4" << 11
                               << 4;
        QTest::newRow("Shift+Enter wraps to the last")
            << alpha << false << QList<int>{-Qt::Key_Return} << "4 of 4" << 29 << 4;
        QTest::newRow("Shift+F3 back")
            << alpha << false << QList<int>{Qt::Key_F3, Qt::Key_F3, -Qt::Key_F3} << "2 of 4" << 11
            << 4;
        QTest::newRow("next wraps to the first")
            << alpha << false << QList<int>(4, Qt::Key_Enter) << "1 of 4" << 0 << 4;
        QTest::newRow("match case")
            << alpha << true << QList<int>{Qt::Key_Return} << "2 of 2" << 29 << 2;
        QTest::newRow("none") << "delta" << false << QList<int>{Qt::Key_Return} << "No matches"
                              << -1 << 0;
        QTest::newRow("empty") << "" << false << QList<int>{} << "" << -1 << 0;
    }

    void findsAndMovesThroughMatches() {
        QFETCH(QString, needle);
        QFETCH(bool, matchCase);
        QFETCH(QList<int>, keys);
        QFETCH(QString, count);
        QFETCH(int, selected);
        QFETCH(int, marked);
        FindFixture f;
        const QString text = QStringLiteral("Alpha beta alpha\nALPHA gamma alphabet");
        f.text()->setPlainText(text);
        f.text()->moveCursor(QTextCursor::End);
        QTest::keyClicks(f.text(), "!");  // an edit, so that there is an undo step
        f.text()->document()->setModified(false);
        f.text()->moveCursor(QTextCursor::Start);

        f.find(needle);
        f.window->findChild<QCheckBox*>("matchCase")->setChecked(matchCase);
        for (const int key : keys) {
            QTest::keyClick(f.field(), Qt::Key(std::abs(key)),
                            key < 0 ? Qt::ShiftModifier : Qt::NoModifier);
        }
        QCOMPARE(f.count(), count);
        QCOMPARE(f.marks(), marked);
        const QTextCursor cursor = f.text()->textCursor();
        QCOMPARE(cursor.hasSelection() ? cursor.selectionStart() : -1, selected);
        QCOMPARE(f.text()->toPlainText(), text + QStringLiteral("!"));
        QVERIFY(!f.text()->document()->isModified());
        QVERIFY(f.text()->document()->isUndoAvailable());
        QVERIFY(f.field()->hasFocus());
    }

    void escapeClosesAndGivesTheTextTheFocus() {
        FindFixture f;
        f.text()->setPlainText(QStringLiteral("one two one"));
        QVERIFY(f.bar()->isHidden());
        f.find(QStringLiteral("one"));
        QVERIFY(f.bar()->isVisible());
        // The bar takes room from the text, not from the window.
        QVERIFY(f.text()->viewport()->geometry().bottom() < f.bar()->geometry().top());
        QTest::keyClick(f.field(), Qt::Key_Escape);
        QVERIFY(f.bar()->isHidden());
        QCOMPARE(f.marks(), 0);
        QVERIFY(f.text()->hasFocus());
        QCOMPARE(f.text()->textCursor().selectedText(), QStringLiteral("one"));
    }

    // Matches follow the text as it changes, also when another section is shown.
    void editsAreSearchedAgain() {
        FindFixture f;
        f.text()->setPlainText(QStringLiteral("one two"));
        f.find(QStringLiteral("one"));
        QCOMPARE(f.count(), QStringLiteral("1 of 1"));
        f.text()->setPlainText(QStringLiteral("one one one"));
        QTRY_COMPARE(f.count(), QStringLiteral("1 of 3"));
        QCOMPARE(f.marks(), 3);
        f.text()->setPlainText(QStringLiteral("two one one"));
        f.item("EditFindNext")->trigger();  // before the change was searched
        QCOMPARE(f.count(), QStringLiteral("2 of 2"));
        QCOMPARE(f.text()->textCursor().selectionStart(), 8);
    }

    // A long paragraph is shown in pieces; a match across the break between two is found all
    // the same, and a great many matches are counted though not all are marked.
    void findsAcrossOnScreenBreaks() {
        FindFixture f;
        const QString words = QStringLiteral("abcd ").repeated(4000);
        ui::setAreaText(f.text(), words);
        QVERIFY(f.text()->blockCount() > 1);
        f.find(QStringLiteral("d a"));
        QCOMPARE(f.count(), QStringLiteral("1 of 3999"));
        QCOMPARE(f.marks(), 1000);
        for (const auto& mark : f.text()->extraSelections()) {
            QCOMPARE(mark.cursor.selectedText().remove(QChar::ParagraphSeparator),
                     QStringLiteral("d a"));
        }
        QCOMPARE(ui::areaText(f.text()), words);
        QVERIFY(!f.text()->document()->isModified());
    }
};

QLV_UI_TEST_MAIN(FindBarTest)
#include "find_bar_test.moc"
