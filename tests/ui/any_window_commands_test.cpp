#include <QtTest/qtestspontaneevent.h>
#include <QCloseEvent>
#include <QSignalSpy>

#include "filetypes/file_types.h"
#include "ui/help_window.h"
#include "window_fixture.h"

using ui_test::WindowFixture;

namespace {

// Counts File > Quit without leaving: the test's own event loop must go on.
struct QuitCounter {
    explicit QuitCounter(const WindowFixture& f) : quit(f.item("FileQuit")) {
        QObject::disconnect(quit, &QAction::triggered, f.bar(), nullptr);
    }
    QAction* quit;
    QSignalSpy chosen{quit, &QAction::triggered};
};

}  // namespace

class AnyWindowCommandsTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() { FileTypes::Initialize(); }
    void cleanupTestCase() { FileTypes::Release(); }
    void cleanup() { helpWindow::release(); }

    // The window manager's close button and Alt+F4 ask the window to close: the program quits
    // as File > Quit does. Closing it from the program's own code still just closes it.
    void aCloseRequestQuits_data() {
        QTest::addColumn<bool>("fromWindowManager");
        QTest::addColumn<int>("quits");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("window manager") << true << 1 << false;
        QTest::newRow("program") << false << 0 << true;
    }

    void aCloseRequestQuits() {
        QFETCH(bool, fromWindowManager);
        QFETCH(int, quits);
        QFETCH(bool, accepted);
        WindowFixture f;
        QuitCounter counter(f);
        QCloseEvent request;
        if (fromWindowManager) {
            QSpontaneKeyEvent::setSpontaneous(&request);
        }
        QApplication::instance()->notify(f.window.get(), &request);
        QCOMPARE(counter.chosen.count(), quits);
        QCOMPARE(request.isAccepted(), accepted);
    }

    // With Technical Details in front, the File commands answer their shortcuts with their
    // current enabling; the Edit commands stay with the window that has the focus.
    void fileShortcutsWorkFromTechnicalDetails_data() {
        QTest::addColumn<QString>("keys");
        QTest::addColumn<int>("opens");
        QTest::addColumn<int>("saves");
        QTest::addColumn<int>("quits");
        QTest::newRow("open") << "Ctrl+O" << 1 << 0 << 0;
        QTest::newRow("save all") << "Ctrl+S" << 0 << 1 << 0;
        QTest::newRow("save this, nothing shown") << "Ctrl+Alt+S" << 0 << 0 << 0;
        QTest::newRow("quit") << "Ctrl+Q" << 0 << 0 << 1;
        QTest::newRow("select all") << "Ctrl+A" << 0 << 0 << 0;
    }

    void fileShortcutsWorkFromTechnicalDetails() {
        QFETCH(QString, keys);
        QFETCH(int, opens);
        QFETCH(int, saves);
        QFETCH(int, quits);
        WindowFixture f;
        QuitCounter counter(f);
        QVERIFY(f.dropDocument({{"One", "1"}, {"Two", "2"}}).accepted);
        f.window->HelpTechnicalDetails_Action();
        helpWindow* help = helpWindow::instance();
        QVERIFY(QTest::qWaitForWindowActive(help));
        help->EditField1()->setFocus();

        QTest::keySequence(help->EditField1(), QKeySequence(keys));

        QCOMPARE(int(f.fakes.openDialog.requests().size()), opens);
        QCOMPARE(int(f.fakes.saveDialog.requests().size()), saves);
        QCOMPARE(counter.chosen.count(), quits);
        QVERIFY(f.text()->textCursor().selectedText().isEmpty());
        if (keys == "Ctrl+A") {
            QCOMPARE(help->EditField1()->textCursor().selectedText().size(),
                     ui::technicalDetailsText().size());
        }
    }
};

QLV_UI_TEST_MAIN(AnyWindowCommandsTest)
#include "any_window_commands_test.moc"
