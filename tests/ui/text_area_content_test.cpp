#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextCursor>
#include <functional>

#include "ui/text_area_content.h"
#include "ui_test_support.h"

namespace {

// Words, so that long paragraphs have spaces to be cut at; `count` of them.
QString words(int count) {
    static const QString kWords[] = {"the ", "letter ", "café ", "Zürich ", "river, ", "— "};
    QString text;
    for (int i = 0; i < count; ++i) {
        text += kWords[(i * 7 + i / 3) % 6];
    }
    return text;
}

// What a text area that shows every paragraph whole gives back for the same text and edit:
// every line break as LF.
QString plainAreaText(const QPlainTextEdit& area) {
    return area.document()->toRawText().replace(QChar::ParagraphSeparator, u'\n');
}

using Edit = std::function<void(QTextCursor&)>;

// The cursor is put just before the marker "«M»" before each edit.
QTextCursor atMarker(QPlainTextEdit& area) {
    QTextCursor cursor = area.document()->find(QStringLiteral("«M»"));
    cursor.setPosition(cursor.selectionStart());
    return cursor;
}

void undo(QTextCursor& cursor) {
    cursor.document()->undo();
}

}  // namespace

class TextAreaContentTest : public QObject {
    Q_OBJECT

  private slots:
    // Any edit away from the on-screen breaks gives back what a plain text area would: the
    // same bytes are saved as before, and a long paragraph comes back without its pieces.
    void editsGiveBackWhatAPlainAreaWould_data() {
        QTest::addColumn<QString>("text");
        const QString longParagraph = words(3000) + "x«M»x" + words(3000);
        QTest::newRow("short") << "Dear «M»Ingrid,\nYours";
        QTest::newRow("CR, CR LF, U+2029, U+2028, no-break space")
            << QStringLiteral("one\rtwo\r\nthree\u2029fo«M»ur\u2028five\u00A0six\n");
        QTest::newRow("long paragraph") << longParagraph;
        QTest::newRow("long paragraphs between CR LF and CR")
            << words(2500) + "\r\n" + longParagraph + "\r" + words(2500);
        QTest::newRow("long paragraph with no space and surrogate pairs")
            << QString(9000, u'x') + QString(3000, u'y').replace("yy", "😀") + "x«M»x" +
                   QString(9000, u'z');
        QTest::newRow("long paragraph of combining marks")
            << QString("e\u0301").repeated(6000) + "x«M»x";
    }

    void editsGiveBackWhatAPlainAreaWould() {
        QFETCH(QString, text);
        const std::vector<std::pair<const char*, Edit>> edits = {
            {"none", [](QTextCursor&) {}},
            {"type", [](QTextCursor& c) { c.insertText("typed"); }},
            {"enter", [](QTextCursor& c) { c.insertBlock(); }},
            {"backspace", [](QTextCursor& c) { c.deletePreviousChar(); }},
            {"delete", [](QTextCursor& c) { c.deleteChar(); }},
            {"enter, then undo",
             [](QTextCursor& c) {
                 c.insertBlock();
                 undo(c);
             }},
            {"backspace, then undo",
             [](QTextCursor& c) {
                 c.deletePreviousChar();
                 undo(c);
             }},
            {"paste lines", [](QTextCursor& c) { c.insertText("a\nb\r\nc"); }},
            {"to the end removed",
             [](QTextCursor& c) {
                 c.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
                 c.removeSelectedText();
             }},
            {"from the start removed",
             [](QTextCursor& c) {
                 c.movePosition(QTextCursor::Start, QTextCursor::KeepAnchor);
                 c.removeSelectedText();
             }},
        };
        for (const auto& [name, edit] : edits) {
            QPlainTextEdit plain;
            plain.setPlainText(text);
            QPlainTextEdit area;
            ui::setAreaText(&area, text);
            QTextCursor inPlain = atMarker(plain);
            QTextCursor inArea = atMarker(area);
            edit(inPlain);
            edit(inArea);
            QVERIFY2(ui::areaText(&area) == plainAreaText(plain), name);
        }
    }

    // A paragraph of megabytes is shown in pieces, each small enough to lay out at once.
    void aLongParagraphIsShownInSmallPieces() {
        const QString text = words(200000);
        QPlainTextEdit area;
        ui::setAreaText(&area, text);
        QVERIFY(area.document()->blockCount() > 100);
        for (QTextBlock block = area.document()->begin(); block.isValid(); block = block.next()) {
            QVERIFY(block.length() < 8192);
        }
        QVERIFY(!area.document()->isModified());
        QVERIFY(!area.document()->isUndoAvailable());
        QCOMPARE(ui::areaText(&area), text);
    }

    // At a break between two pieces: the break is nothing the user wrote, so removing it
    // changes nothing, and what is typed or entered there lands between the two pieces' text.
    void editsAtABreakBetweenPieces_data() {
        QTest::addColumn<QString>("edit");
        QTest::addColumn<QString>("insertedAtBreak");
        QTest::newRow("backspace") << "backspace"
                                   << "";
        QTest::newRow("delete at the end of the first piece") << "delete"
                                                              << "";
        QTest::newRow("backspace, then undo") << "backspace, undo"
                                              << "";
        QTest::newRow("type") << "type"
                              << "typed";
        QTest::newRow("enter") << "enter"
                               << "\n";
        QTest::newRow("enter, then undo") << "enter, undo"
                                          << "";
        QTest::newRow("enter, then backspace") << "enter, backspace"
                                               << "";
        QTest::newRow("enter twice, then backspace") << "enter twice, backspace"
                                                     << "\n";
    }

    void editsAtABreakBetweenPieces() {
        QFETCH(QString, edit);
        QFETCH(QString, insertedAtBreak);
        const QString text = words(5000);
        QPlainTextEdit area;
        ui::setAreaText(&area, text);
        const QTextBlock second = area.document()->begin().next();
        QVERIFY(second.isValid());
        const int cut = second.position() - 1;  // where the first piece ends in `text`
        QTextCursor cursor(second);
        if (edit == "delete") {
            cursor.movePosition(QTextCursor::PreviousCharacter);
            cursor.deleteChar();
        } else if (edit == "type") {
            cursor.insertText("typed");
        } else {
            const int enters = edit.startsWith("enter twice") ? 2
                               : edit.startsWith("enter")     ? 1
                                                              : 0;
            for (int i = 0; i < enters; ++i) {
                cursor.insertBlock();
            }
            if (edit.contains("backspace")) {
                cursor.deletePreviousChar();
            }
            if (edit.endsWith("undo")) {
                area.document()->undo();
            }
        }
        QCOMPARE(ui::areaText(&area), QString(text).insert(cut, insertedAtBreak));
    }
};

QLV_UI_TEST_MAIN(TextAreaContentTest)
#include "text_area_content_test.moc"
