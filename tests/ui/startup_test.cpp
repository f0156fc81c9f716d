#include <QTimer>
#include <stdexcept>

#include "filetypes/file_types.h"
#include "qlv/version.h"
#include "salvage/reader.h"
#include "startup.h"
#include "ui/help_window.h"
#include "window_fixture.h"

namespace {

// An object whose event handler fails, as a handler with a fault would.
class FailingHandler final : public QObject {
  public:
    explicit FailingHandler(bool standardError) : standardError_(standardError) {}
    int handled = 0;

  protected:
    bool event(QEvent* event) override {
        if (event->type() != QEvent::User) {
            return QObject::event(event);
        }
        ++handled;
        if (standardError_) {
            throw std::runtime_error("the disk went away");
        }
        throw 42;
    }

  private:
    bool standardError_;
};

}  // namespace

class StartupTest : public QObject {
    Q_OBJECT

  private slots:
    void startUpInOrderAndShutDownReleasesEverything() {
        App* app = App::instance();
        QVERIFY(filetypes::Registry::global().types().empty());

        app::startUp(*app);
        Window1* window = Window1::instance();
        QVERIFY(window->isVisible());
        // The list resolved its accepted types when it was set up: all four were registered.
        QCOMPARE(window->acceptedFileTypes().size(), 4u);
        QCOMPARE(app->menuBar(), MenuBar1::instance());
        QCOMPARE(window->menuBar(), app->menuBar());
        QCOMPARE(app->LongVersion(), QStringLiteral(QLV_VERSION));
        QCOMPARE(Window1::instance(), window);

        auto& shown = ui_test::appServices().messageBox;
        shown.clear();
        app->menuBar()->item("FileAboutQLVodadov")->trigger();
        QCOMPARE(shown.shown(), QStringList{ui::aboutText(QStringLiteral(QLV_VERSION))});

        QPointer<Window1> main = window;
        window->HelpTechnicalDetails_Action();
        QPointer<helpWindow> help = helpWindow::instance();
        app::shutDown();
        QVERIFY(app->menuBar() == nullptr);
        QVERIFY(FileTypes::Simpletext() == nullptr);
        QVERIFY(filetypes::Registry::global().types().empty());
        QVERIFY(main.isNull());
        QVERIFY(help.isNull());
    }

    void exitStatusIsTheEventLoopsResult() {
        App* app = App::instance();
        QTimer::singleShot(0, [] {
            QVERIFY(Window1::instance()->isVisible());
            QCoreApplication::exit(7);
        });
        QCOMPARE(app::run(*app), 7);
        QVERIFY(FileTypes::Simpletext() == nullptr);
    }

    void anErrorEscapingAHandlerIsShownAndTheProgramGoesOn_data() {
        QTest::addColumn<bool>("standardError");
        QTest::addColumn<QString>("what");
        QTest::newRow("std::exception") << true << "the disk went away";
        QTest::newRow("anything else") << false << "an unknown error";
    }

    void anErrorEscapingAHandlerIsShownAndTheProgramGoesOn() {
        QFETCH(bool, standardError);
        QFETCH(QString, what);
        auto& shown = ui_test::appServices().messageBox;
        shown.clear();
        FailingHandler handler(standardError);
        const QString message =
            "Something went wrong, and the last command was not finished:\n\n" + what;
        // Each failure is reported once, and the next event is still delivered.
        for (int round = 1; round <= 2; ++round) {
            QEvent event(QEvent::User);
            QVERIFY(!QCoreApplication::sendEvent(&handler, &event));
            QCOMPARE(handler.handled, round);
            QCOMPARE(shown.shown().size(), round);
            QCOMPARE(shown.shown().back(), message);
        }
    }

    void aDocumentNamedAtStartUpOpensAsIfDropped_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("rows");
        QTest::addColumn<bool>("refused");
        QTest::newRow("accepted") << QByteArray::fromStdString(
                                         ui_test::documentText({{"One", "1"}, {"Two", "2"}}))
                                  << 2 << false;
        QTest::newRow("refused") << QByteArray("not a document") << 0 << true;
    }

    void aDocumentNamedAtStartUpOpensAsIfDropped() {
        QFETCH(QByteArray, content);
        QFETCH(int, rows);
        QFETCH(bool, refused);
        App* app = App::instance();
        auto& services = ui_test::appServices();
        services.messageBox.clear();
        const int beepsBefore = services.beeper.count();
        QTemporaryDir dir;
        const auto document = ui_test::writeFile(dir, "letter.qlx", content.toStdString());
        int listed = -1;
        QString summary;
        bool saveAllEnabled = false;
        QTimer::singleShot(0, [&] {
            Window1* window = Window1::instance();
            listed = window->findChild<QTreeView*>("sectionList")->model()->rowCount();
            // With no pointer movement: the button must not look disabled while Ctrl+S works.
            saveAllEnabled = window->findChild<QPushButton*>("saveAllButton")->isEnabled();
            summary = window->findChild<ui::ReportStatus*>("reportStatus")->summary();
            QCoreApplication::exit(0);
        });
        QCOMPARE(app::run(*app, document), 0);
        QCOMPARE(listed, rows);
        QCOMPARE(services.beeper.count() - beepsBefore, refused ? 1 : 0);
        QCOMPARE(
            services.messageBox.shown(),
            refused ? QStringList{QString::fromUtf8(salvage::kRefusedMessage)} : QStringList{});
        QCOMPARE(summary.isEmpty(), refused);
        QCOMPARE(saveAllEnabled, !refused);
    }
};

QLV_UI_TEST_MAIN(StartupTest)
#include "startup_test.moc"
