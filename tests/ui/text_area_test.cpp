#include <QClipboard>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextCursor>

#include "ui/text_area.h"
#include "ui/text_area_content.h"
#include "ui_test_support.h"

class TextAreaTest : public QObject {
    Q_OBJECT

  private slots:
    // A document dropped on the text instead of the list must not put its address into the
    // recovered text; dragged text is still taken.
    void takesDraggedTextButNoFile_data() {
        QTest::addColumn<QList<QUrl>>("urls");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("taken");
        const QUrl file = QUrl::fromLocalFile(QStringLiteral("/tmp/letter.qlx"));
        QTest::newRow("a file") << QList<QUrl>{file} << QString() << false;
        QTest::newRow("a file with its path as text, as file managers drag it")
            << QList<QUrl>{file} << QStringLiteral("/tmp/letter.qlx") << false;
        QTest::newRow("a web address and then a file")
            << QList<QUrl>{QUrl(QStringLiteral("https://example.invalid/a")), file} << QString()
            << false;
        QTest::newRow("text") << QList<QUrl>{} << QStringLiteral("dragged words") << true;
        QTest::newRow("a web address")
            << QList<QUrl>{QUrl(QStringLiteral("https://example.invalid/a"))} << QString() << true;
    }

    void takesDraggedTextButNoFile() {
        QFETCH(QList<QUrl>, urls);
        QFETCH(QString, text);
        QFETCH(bool, taken);
        QWidget parent;
        QPlainTextEdit* area = ui::makeTextArea(&parent, QStringLiteral("area"));
        area->setPlainText(QStringLiteral("recovered"));
        parent.show();
        QMimeData data;
        if (!urls.isEmpty()) {
            data.setUrls(urls);
        }
        if (!text.isEmpty()) {
            data.setText(text);
        }
        const auto outcome =
            ui_test::dragAndDrop(area->viewport(), data, Qt::CopyAction, Qt::CopyAction);
        QCOMPARE(outcome.accepted, taken);
        QCOMPARE(area->toPlainText() != QStringLiteral("recovered"), taken);
    }

    // Copied text is the text: a long paragraph shown in pieces copies as one paragraph.
    void copiesTheTextWithoutOnScreenBreaks_data() {
        QTest::addColumn<QString>("selection");
        QTest::newRow("all") << "all";
        QTest::newRow("across the first piece's end") << "across";
        QTest::newRow("within the second piece") << "within";
    }

    void copiesTheTextWithoutOnScreenBreaks() {
        QFETCH(QString, selection);
        QString text;
        for (int i = 0; text.size() < 60000; ++i) {
            text += i % 3 == 0 ? "Zürich " : "river, ";
        }
        text += "\nlast line";
        QWidget parent;
        QPlainTextEdit* area = ui::makeTextArea(&parent, QStringLiteral("area"));
        ui::setAreaText(area, text);
        const QTextBlock second = area->document()->begin().next();
        QVERIFY(second.isValid() && second.position() < 8192);
        const int firstPiece = second.position() - 1;  // its length, in the area and the text
        QTextCursor cursor(area->document());
        QString expected;
        if (selection == "all") {
            cursor.select(QTextCursor::Document);
            expected = text;
        } else if (selection == "across") {
            cursor.setPosition(10);
            cursor.setPosition(second.position() + 10, QTextCursor::KeepAnchor);
            expected = text.mid(10, firstPiece);
        } else {
            cursor.setPosition(second.position() + 5);
            cursor.setPosition(second.position() + 50, QTextCursor::KeepAnchor);
            expected = text.mid(firstPiece + 5, 45);
        }
        area->setTextCursor(cursor);
        area->copy();
        QCOMPARE(QApplication::clipboard()->text(), expected);
    }
};

QLV_UI_TEST_MAIN(TextAreaTest)
#include "text_area_test.moc"
