#include <QAccessible>
#include <QPlainTextEdit>
#include <QScrollBar>

#include "ui/help_window.h"
#include "ui/using_window.h"
#include "ui_test_support.h"

class HelpWindowTest : public QObject {
    Q_OBJECT

  private slots:
    void cleanup() { helpWindow::release(); }

    void opensAsBuilt() {
        helpWindow* help = helpWindow::instance();
        help->show();
        QCOMPARE(help->windowTitle(), QStringLiteral("Technical Details"));
        QCOMPARE(help->size(), QSize(300, 300));
        QCOMPARE(help->minimumSize(), QSize(64, 64));
        QVERIFY(help->windowFlags() & Qt::WindowCloseButtonHint);
        QVERIFY(!(help->windowFlags() & Qt::WindowMaximizeButtonHint));
        QPlainTextEdit* field = help->findChild<QPlainTextEdit*>("EditField1");
        QCOMPARE(field, help->EditField1());
        QCOMPARE(field->geometry(), QRect(20, 14, 260, 266));
        QVERIFY(field->isReadOnly());
        QVERIFY(field->tabChangesFocus());
        QCOMPARE(field->lineWrapMode(), QPlainTextEdit::WidgetWidth);
        QCOMPARE(field->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
        QCOMPARE(field->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    }

    // Screen readers are told it is a window, by its title, not an unnamed "filler".
    void screenReadersSeeANamedWindow() {
        helpWindow* help = helpWindow::instance();
        help->show();
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(help);
        QVERIFY(accessible != nullptr);
        QCOMPARE(accessible->role(), QAccessible::Window);
        QCOMPARE(accessible->text(QAccessible::Name), QStringLiteral("Technical Details"));
    }

    void textIsSixParagraphs() {
        const QStringList paragraphs = ui::technicalDetailsText().split("\n\n");
        QCOMPARE(paragraphs.size(), 6);
        for (const QString& paragraph : paragraphs) {
            QVERIFY(!paragraph.isEmpty());
            QVERIFY(!paragraph.contains('\n'));
        }
        QVERIFY(paragraphs[0].contains(".qlx") && paragraphs[0].contains(".qll"));
        QVERIFY(paragraphs[2].contains("Base64"));
        QCOMPARE(helpWindow::instance()->EditField1()->toPlainText(), ui::technicalDetailsText());
    }

    void theTextCanBeSelectedButNotChanged() {
        helpWindow* help = helpWindow::instance();
        help->show();
        help->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(help));
        QPlainTextEdit* field = help->EditField1();
        field->setFocus();
        QTest::keyClicks(field, "typed");
        QTest::keyClick(field, Qt::Key_Tab);
        QCOMPARE(field->toPlainText(), ui::technicalDetailsText());
        field->selectAll();
        QCOMPARE(field->textCursor().selectedText().size(), ui::technicalDetailsText().size());
        QVERIFY(field->verticalScrollBar()->maximum() > 0);
    }

    void fieldFollowsEveryResize_data() {
        QTest::addColumn<QSize>("requested");
        QTest::addColumn<QSize>("size");
        QTest::newRow("larger") << QSize(500, 420) << QSize(500, 420);
        QTest::newRow("smallest") << QSize(64, 64) << QSize(64, 64);
        QTest::newRow("below the minimum") << QSize(10, 20) << QSize(64, 64);
    }

    void fieldFollowsEveryResize() {
        QFETCH(QSize, requested);
        QFETCH(QSize, size);
        helpWindow* help = helpWindow::instance();
        help->show();
        help->resize(requested);
        QTRY_COMPARE(help->size(), size);
        QCOMPARE(help->EditField1()->geometry(),
                 QRect(20, 14, std::max(0, size.width() - 40), std::max(0, size.height() - 34)));
    }

    void oneAtATimeAndFreshAfterClosing() {
        helpWindow* first = helpWindow::instance();
        first->show();
        first->resize(400, 350);
        QCOMPARE(helpWindow::instance(), first);

        QPointer<helpWindow> closed = first;
        QVERIFY(first->close());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(closed.isNull());

        helpWindow* fresh = helpWindow::instance();
        fresh->show();
        QCOMPARE(fresh->size(), QSize(300, 300));
    }

    // The technical details stay as they are; how to use the program has a window of its own,
    // one at a time, read-only, telling of each way of working through a document.
    void usingWindowTellsOfEachCommand() {
        ui::UsingWindow* window = ui::UsingWindow::instance();
        QCOMPARE(ui::UsingWindow::instance(), window);
        QCOMPARE(window->windowTitle(), QStringLiteral("Using QL Vodadov"));
        QVERIFY(window->text()->isReadOnly());
        for (const char* told :
             {"Find...", "Ctrl+Shift+F", "Damaged lines", "Wrap Lines", "Zoom In", "Cancel",
              "Read Thoroughly", "Save All Sections...", "Find Documents in Disk Image..."}) {
            QVERIFY2(window->text()->toPlainText().contains(QLatin1String(told)), told);
        }
        ui::UsingWindow::release();
    }
};

QLV_UI_TEST_MAIN(HelpWindowTest)
#include "help_window_test.moc"
