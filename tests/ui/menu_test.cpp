#include <QApplication>
#include <QClipboard>
#include <QTimer>
#include <stdexcept>

#include "ui/edit_commands.h"
#include "window_fixture.h"

using ui_test::WindowFixture;

namespace {

// Throws from its event handler, as a faulty handler of the program would.
class Thrower final : public QObject {
  public:
    bool event(QEvent* event) override {
        if (event->type() == QEvent::User) {
            throw std::runtime_error("broken handler");
        }
        if (event->type() == QEvent::User + 1) {
            throw 42;
        }
        return QObject::event(event);
    }
};

QStringList itemsOf(QMenu* menu) {
    QStringList names;
    for (QAction* action : menu->actions()) {
        names << action->objectName();
    }
    return names;
}

}  // namespace

class MenuTest : public QObject {
    Q_OBJECT

  private slots:
    void barHasFourMenusInOrder() {
        WindowFixture f;
        QStringList menus;
        for (QAction* action : f.bar()->actions()) {
            menus << action->objectName() + "=" + action->text();
        }
        QCOMPARE(menus, (QStringList{"FileMenu=&File", "EditMenu=&Edit", "ViewMenu=&View",
                                     "HelpMenu=Help"}));
        QCOMPARE(itemsOf(f.bar()->fileMenu()),
                 (QStringList{"FileOpen", "FileFindDocuments", "FileReadThoroughly",
                              "FileSaveAllSections", "FileSaveJustThisSection", "UntitledSeparator",
                              "FileQuit", "FileAboutQLVodadov"}));
        QCOMPARE(itemsOf(f.bar()->editMenu()),
                 (QStringList{"EditUndo", "UntitledMenu1", "EditCut", "EditCopy", "EditPaste",
                              "EditClear", "UntitledMenu0", "EditSelectAll", "UntitledMenu2",
                              "EditFind", "EditFindNext", "EditFindPrevious"}));
        QCOMPARE(itemsOf(f.bar()->viewMenu()),
                 (QStringList{"ViewWrapLines", "UntitledMenu3", "ViewZoomIn", "ViewZoomOut",
                              "ViewActualSize"}));
        QCOMPARE(itemsOf(f.bar()->helpMenu()), (QStringList{"HelpTechnicalDetails", "HelpUsing"}));
    }

    void everyItemHasItsNameTextShortcutAndRole_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shortcut");
        QTest::addColumn<bool>("autoEnable");
        QTest::addColumn<int>("role");
        const auto row = [](const char* name, const char* text, const char* shortcut,
                            bool autoEnable = true, QAction::MenuRole role = QAction::NoRole) {
            QTest::newRow(name) << name << text << shortcut << autoEnable << int(role);
        };
        row("FileOpen", "&Open...", "Ctrl+O");
        row("FileFindDocuments", "Find Documents in Disk Image...", "");
        row("FileSaveAllSections", "Save All Sections...", "Ctrl+S", false);
        row("FileSaveJustThisSection", "Save Just This Section...", "Ctrl+Alt+S", false);
        row("UntitledSeparator", "-", "");
        row("FileQuit", "&Quit", "Ctrl+Q", true, QAction::QuitRole);
        row("FileAboutQLVodadov", "About QL Vodadov...", "", true, QAction::AboutRole);
        row("EditUndo", "&Undo", "Ctrl+Z");
        row("UntitledMenu1", "-", "");
        row("EditCut", "Cu&t", "Ctrl+X");
        row("EditCopy", "&Copy", "Ctrl+C");
        row("EditPaste", "&Paste", "Ctrl+V");
        row("EditClear", "&Delete", "");
        row("UntitledMenu0", "-", "");
        row("EditSelectAll", "Select &All", "Ctrl+A");
        row("UntitledMenu2", "-", "");
        row("EditFind", "&Find...", "Ctrl+F");
        row("EditFindNext", "Find &Next", "F3");
        row("EditFindPrevious", "Find Pre&vious", "Shift+F3");
        row("ViewWrapLines", "&Wrap Lines", "");
        row("UntitledMenu3", "-", "");
        row("ViewZoomIn", "Zoom &In", "Ctrl++");
        row("ViewZoomOut", "Zoom &Out", "Ctrl+-");
        row("ViewActualSize", "&Actual Size", "Ctrl+0");
        row("HelpTechnicalDetails", "Technical Details...", "");
        row("HelpUsing", "Using QL Vodadov...", "F1");
    }

    void everyItemHasItsNameTextShortcutAndRole() {
        QFETCH(QString, name);
        QFETCH(QString, text);
        QFETCH(QString, shortcut);
        QFETCH(bool, autoEnable);
        QFETCH(int, role);
        WindowFixture f;
        QAction* item = f.bar()->item(name);
        QVERIFY(item != nullptr);
        if (text == "-") {
            QVERIFY(item->isSeparator());
        } else {
            QCOMPARE(item->text(), text);
        }
        QCOMPARE(item->shortcut(), QKeySequence(shortcut));
        QCOMPARE(item->property("AutoEnable").toBool(), autoEnable);
        QCOMPARE(int(item->menuRole()), role);
    }

    void oneMenuBarSharedByApplicationAndWindow() {
        WindowFixture f;
        QCOMPARE(MenuBar1::instance(), f.bar());
        QCOMPARE(MenuBar1::instance(), MenuBar1::instance());
    }

    // Each Edit command on the focused text area, and its enabling before and after.
    void editCommandsActOnTheFocusedText_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("after");
        QTest::newRow("undo") << "EditUndo"
                              << "";  // the typing is one step
        QTest::newRow("cut") << "EditCut"
                             << "hello world!";
        QTest::newRow("copy") << "EditCopy"
                              << "hello world!!";
        QTest::newRow("paste") << "EditPaste"
                               << "hello world!pasted";
        QTest::newRow("delete") << "EditClear"
                                << "hello world!";
        QTest::newRow("select all") << "EditSelectAll"
                                    << "hello world!!";
    }

    void editCommandsActOnTheFocusedText() {
        QFETCH(QString, command);
        QFETCH(QString, after);
        WindowFixture f;
        QApplication::clipboard()->setText("pasted");
        f.window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(f.window.get()));
        f.text()->setFocus();
        QTest::keyClicks(f.text(), "hello world!!");  // typed, so it can be undone
        QTextCursor cursor = f.text()->textCursor();
        cursor.movePosition(QTextCursor::End);
        cursor.movePosition(QTextCursor::Left, QTextCursor::KeepAnchor);
        f.text()->setTextCursor(cursor);  // the last "!" is selected
        emit f.bar()->editMenu()->aboutToShow();

        QAction* item = f.item(command.toLatin1().constData());
        QVERIFY(item->isEnabled());
        item->trigger();
        QCOMPARE(f.text()->toPlainText(), after);
        if (command == "EditCopy" || command == "EditCut") {
            QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("!"));
        }
        if (command == "EditSelectAll") {
            QCOMPARE(f.text()->textCursor().selectedText(), after);
        }
    }

    void editCommandsFollowWhatTheFocusedControlAllows() {
        WindowFixture f;
        QApplication::clipboard()->setText("pasted");
        f.window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(f.window.get()));
        const auto enabled = [&] {
            emit f.bar()->editMenu()->aboutToShow();
            QStringList names;
            for (const char* name :
                 {"EditUndo", "EditCut", "EditCopy", "EditPaste", "EditClear", "EditSelectAll"}) {
                if (f.item(name)->isEnabled()) {
                    names << name;
                }
            }
            return names;
        };
        f.text()->setFocus();
        QCOMPARE(enabled(), QStringList{"EditPaste"});
        f.text()->setPlainText("text");
        QCOMPARE(enabled(), (QStringList{"EditPaste", "EditSelectAll"}));
        f.text()->selectAll();
        QCOMPARE(enabled(),
                 (QStringList{"EditCut", "EditCopy", "EditPaste", "EditClear", "EditSelectAll"}));
        f.text()->setReadOnly(true);
        QCOMPARE(enabled(), (QStringList{"EditCopy", "EditSelectAll"}));
        f.list()->setFocus();
        QCOMPARE(enabled(), QStringList{});
    }

    void aboutBoxIsBoundToTheApplication_data() {
        QTest::addColumn<QString>("version");
        QTest::addColumn<QString>("expected");
        QTest::newRow("1.0") << "1.0"
                             << "QL Vodadov 1.0\nThe QL Vodadov developers, 2026\n\n\n";
        QTest::newRow("empty") << ""
                               << "QL Vodadov \nThe QL Vodadov developers, 2026\n\n\n";
    }

    void aboutBoxIsBoundToTheApplication() {
        QFETCH(QString, version);
        QFETCH(QString, expected);
        App* app = App::instance();
        QVERIFY(app != nullptr);
        auto& shown = ui_test::appServices().messageBox;
        shown.clear();
        MenuBar1* bar = MenuBar1::instance();  // no main window: About works all the same
        app->setMenuBar(bar);
        app->setLongVersion(version);
        ApplicationAddMenuHandlers();
        bar->item("FileAboutQLVodadov")->trigger();
        QCOMPARE(shown.shown(), QStringList{expected});
        QCOMPARE(ui::aboutText(version), expected);
        MenuBar1::release();
        QVERIFY(app->menuBar() == nullptr);
        QVERIFY_THROWS_EXCEPTION(std::logic_error, ApplicationAddMenuHandlers());
    }

    void anErrorEscapingAHandlerIsShownAndTheProgramGoesOn() {
        auto& shown = ui_test::appServices().messageBox;
        shown.clear();
        Thrower thrower;
        QEvent broken(QEvent::User);
        QVERIFY(!QCoreApplication::sendEvent(&thrower, &broken));
        QEvent unknown(QEvent::Type(QEvent::User + 1));
        QVERIFY(!QCoreApplication::sendEvent(&thrower, &unknown));
        QCOMPARE(shown.shown().size(), 2);
        QVERIFY(shown.shown()[0].endsWith("broken handler"));
        QVERIFY(shown.shown()[1].endsWith("an unknown error"));

        // A posted event that throws inside the running event loop does not end the loop.
        shown.clear();
        QCoreApplication::postEvent(&thrower, new QEvent(QEvent::User));
        QTimer::singleShot(0, [] { QCoreApplication::exit(5); });
        QCOMPARE(QApplication::exec(), 5);
        QCOMPARE(shown.shown().size(), 1);
    }

    void quitEndsTheEventLoop() {
        WindowFixture f;
        QAction* quit = f.item("FileQuit");
        QVERIFY(quit->isEnabled());
        QMetaObject::invokeMethod(quit, &QAction::trigger, Qt::QueuedConnection);
        QCOMPARE(QApplication::exec(), 0);
        QVERIFY(f.window->isVisible());
    }

    void quitShortcutEndsTheEventLoop() {
        WindowFixture f;
        f.window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(f.window.get()));
        QTimer::singleShot(0, [&f] { QTest::keySequence(f.window.get(), QKeySequence("Ctrl+Q")); });
        QCOMPARE(QApplication::exec(), 0);
    }
};

QLV_UI_TEST_MAIN(MenuTest)
#include "menu_test.moc"
