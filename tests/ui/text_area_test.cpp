#include <QPlainTextEdit>

#include "ui/text_area.h"
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
};

QLV_UI_TEST_MAIN(TextAreaTest)
#include "text_area_test.moc"
