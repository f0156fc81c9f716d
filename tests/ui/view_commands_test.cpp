#include <QLineEdit>

#include "window_fixture.h"

using ui_test::WindowFixture;

namespace {

qreal textSize(const WindowFixture& f) {
    return f.text()->document()->defaultFont().pointSizeF();
}

}  // namespace

class ViewCommandsTest : public QObject {
    Q_OBJECT

  private slots:
    void wrapLinesSwitchesWrapping() {
        WindowFixture f;
        QAction* wrap = f.item("ViewWrapLines");
        QVERIFY(wrap->isCheckable() && wrap->isChecked());  // each run starts wrapping
        for (const bool wrapped : {false, true}) {
            wrap->trigger();
            QCOMPARE(f.text()->lineWrapMode() == QPlainTextEdit::WidgetWidth, wrapped);
            QCOMPARE(f.text()->horizontalScrollBarPolicy(),
                     wrapped ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAsNeeded);
        }
    }

    // "+" zooms in, "-" out, "0" back to the actual size.
    void zoomStepsWithinReadableSizes_data() {
        QTest::addColumn<QString>("commands");
        QTest::addColumn<int>("offset");  // from the actual size, when `size` is 0
        QTest::addColumn<qreal>("size");  // in points
        QTest::newRow("in twice") << "++" << 2 << 0.0;
        QTest::newRow("out") << "-" << -1 << 0.0;
        QTest::newRow("in and back") << "++-" << 1 << 0.0;
        QTest::newRow("actual size") << "+++0" << 0 << 0.0;
        QTest::newRow("no smaller than 4") << QString(100, u'-') << 0 << 4.0;
        QTest::newRow("no larger than 96") << QString(100, u'+') << 0 << 96.0;
    }

    void zoomStepsWithinReadableSizes() {
        QFETCH(QString, commands);
        QFETCH(int, offset);
        QFETCH(qreal, size);
        WindowFixture f;
        f.text()->setPlainText(QStringLiteral("text"));
        const qreal actual = textSize(f);
        const QFont barFont = f.window->findChild<QLineEdit*>("findField")->font();
        for (const QChar command : commands) {
            f.item(command == u'+'   ? "ViewZoomIn"
                   : command == u'-' ? "ViewZoomOut"
                                     : "ViewActualSize")
                ->trigger();
        }
        const qreal expected = size > 0 ? size : actual + offset;
        QCOMPARE(textSize(f), expected);
        QCOMPARE(f.item("ViewZoomIn")->isEnabled(), expected < 96);
        QCOMPARE(f.item("ViewZoomOut")->isEnabled(), expected > 4);
        QCOMPARE(f.window->findChild<QLineEdit*>("findField")->font(), barFont);
        QVERIFY(!f.text()->document()->isModified());
    }
};

QLV_UI_TEST_MAIN(ViewCommandsTest)
#include "view_commands_test.moc"
