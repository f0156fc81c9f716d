#include <QTest>
#include <QTreeView>

#include "filetypes/file_types.h"
#include "section_list_model.h"
#include "window_fixture.h"

using ui_test::WindowFixture;

namespace {

QString repeated(const char* piece, int times) {
    return QString::fromUtf8(piece).repeated(times);
}

}  // namespace

// The list shows names as long as they are useful and no longer: a damaged line can leave a
// name of megabytes, which must be neither laid out whole nor lost.
class SectionListTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() { FileTypes::Initialize(); }
    void cleanupTestCase() { FileTypes::Release(); }

    void namesAreShownUpToTheLimit_data() {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QString>("shown");
        const QString ellipsis(QChar(0x2026));
        QTest::newRow("short") << QByteArray("Letter") << QStringLiteral("Letter");
        QTest::newRow("at the limit") << QByteArray(300, 'a') << repeated("a", 300);
        QTest::newRow("one more") << QByteArray(301, 'a') << repeated("a", 299) + ellipsis;
        QTest::newRow("megabytes") << QByteArray(4 << 20, 'a') << repeated("a", 299) + ellipsis;
        QTest::newRow("two-byte characters")
            << repeated("\xC3\xA9", 400).toUtf8() << repeated("\xC3\xA9", 299) + ellipsis;
        // An emoji takes two UTF-16 units: one that would be cut in two is left out whole.
        QTest::newRow("emoji at the cut")
            << (QByteArray(298, 'a') + repeated("\xF0\x9F\x8F\x94", 3).toUtf8())
            << repeated("a", 298) + ellipsis;
        QTest::newRow("not UTF-8")
            << QByteArray(2000, '\xFF') << QString(299, QChar::ReplacementCharacter) + ellipsis;
    }

    void namesAreShownUpToTheLimit() {
        QFETCH(QByteArray, name);
        QFETCH(QString, shown);
        QCOMPARE(ui::shownName(
                     std::string_view(name.constData(), static_cast<std::size_t>(name.size()))),
                 shown);
    }

    // The row and its tool tip show the name as far as it goes; what is kept and saved is the
    // whole name, and the offered file name is cut to what a file system takes.
    void aLongNameIsShownCutButKeptWhole() {
        WindowFixture f;
        const std::string name = std::string(1000, 'n') + " end";
        QVERIFY(f.dropDocument({{name, "text"}, {"Short", "x"}}).accepted);
        const QModelIndex row = f.list()->model()->index(0, 0);
        QCOMPARE(row.data(Qt::DisplayRole).toString().size(), ui::kShownNameLength);
        QCOMPARE(row.data(Qt::ToolTipRole).toString(), row.data(Qt::DisplayRole).toString());
        QCOMPARE(f.list()->model()->index(1, 0).data(Qt::ToolTipRole).toString(),
                 QStringLiteral("Short"));
        QCOMPARE((*f.window->contents())[0].name, name);

        f.select(0);
        const auto target = f.path("one.txt");
        f.fakes.saveDialog.answer(target);
        f.window->saveOneButton_Action();
        QCOMPARE(f.fakes.saveDialog.requests()[0].defaultName,
                 QString(251, QLatin1Char('n')) + ".txt");
        QCOMPARE(ui_test::readFile(target), std::string("text"));
    }
};

QTEST_MAIN(SectionListTest)
#include "section_list_test.moc"
