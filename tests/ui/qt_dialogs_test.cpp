#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextLayout>
#include <QTimer>

#include "platform/qt_services.h"
#include "ui_test_support.h"

// The real dialogs, looked at while they are up and then dismissed.
class QtDialogsTest : public QObject {
    Q_OBJECT

  private slots:
    // A warning has the warning icon, the text as given, and the detail below it as plain
    // text: a file name is never taken for markup.
    void warningShowsItsDetailAsPlainTextUnderTheMessage() {
        const QString text = QStringLiteral("Unable to view this file.");
        const QString detail = QStringLiteral("File: /tmp/<b>bold</b> & co.qlx\nReason: empty.");
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QString shownText;
        QString shownDetail;
        Qt::TextFormat detailFormat = Qt::AutoText;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box != nullptr);
            icon = box->icon();
            shownText = box->text();
            shownDetail = box->informativeText();
            const auto* label = box->findChild<QLabel*>("qt_msgbox_informativelabel");
            QVERIFY(label != nullptr);
            detailFormat = label->textFormat();
            box->accept();
        });
        platform::QtMessageBox().warn(text, detail);
        QCOMPARE(icon, QMessageBox::Warning);
        QCOMPARE(shownText, text);
        QCOMPARE(shownDetail, detail);
        QCOMPARE(detailFormat, Qt::PlainText);
    }

    // A report line far longer than the viewer is wide wraps, so that its end (often a count)
    // is in sight without scrolling sideways.
    void viewerWrapsLongLines() {
        const QString longLine =
            QStringLiteral("Damaged Base64 in the text of section \"A rather long name\": ")
                .repeated(4) +
            QStringLiteral("12345 bytes skipped");
        auto dialog = platform::makeTextViewerDialog(nullptr, "Report", "Short\n" + longLine);
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
        auto* view = dialog->findChild<QPlainTextEdit*>("viewerText");
        QVERIFY(view != nullptr);
        QCOMPARE(view->horizontalScrollBar()->maximum(), 0);
        const QTextBlock block = view->document()->findBlockByNumber(1);
        QCOMPARE(block.text(), longLine);
        QVERIFY(block.layout()->lineCount() > 1);
    }
};

QLV_UI_TEST_MAIN(QtDialogsTest)
#include "qt_dialogs_test.moc"
