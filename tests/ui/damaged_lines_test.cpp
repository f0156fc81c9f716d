#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <fstream>
#include <memory>

#include "filetypes/file_types.h"
#include "window_fixture.h"

using ui_test::WindowFixture;

namespace {

// The page the report's "Details..." window shows beside the report, made as it would be.
std::unique_ptr<QWidget> damagedLinesPage(WindowFixture& f) {
    QTest::mouseClick(f.detailsButton(), Qt::LeftButton);
    const auto& shown = f.fakes.textViewer.shown();
    if (shown.size() != 1 || shown[0].tabs.size() != 1 || shown[0].textTitle != "Report" ||
        shown[0].tabs[0].title != "Damaged lines") {
        return nullptr;
    }
    return std::unique_ptr<QWidget>(shown[0].tabs[0].makePage(nullptr));
}

}  // namespace

class DamagedLinesTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() { FileTypes::Initialize(); }
    void cleanupTestCase() { FileTypes::Release(); }

    void listsTheSamplesDamagedLines() {
        WindowFixture f;
        std::ifstream in(QLV_SAMPLE, std::ios::binary);
        const std::string sample((std::istreambuf_iterator<char>(in)), {});
        const auto document = f.file("damaged-letter.qlx", sample);
        QVERIFY(ui_test::dropFiles(f.list()->viewport(), {document}).accepted);
        const auto page = damagedLinesPage(f);
        QVERIFY(page);
        auto* table = page->findChild<QTableView*>("damagedLinesTable");
        QCOMPARE(page->findChild<QLabel*>("damagedLinesCount")->text(), "3 damaged lines");
        const QStringList expected[] = {
            {"5", "Greeting", "text damaged: 1 character outside Base64"},
            {"9", "Closing", "decoded bytes that are not UTF-8 text"},
            {"11", "", "skipped: looks like a section line but does not start one"},
        };
        QCOMPARE(table->model()->rowCount(), 3);
        for (int row = 0; row < 3; ++row) {
            for (int column = 0; column < 3; ++column) {
                QCOMPARE(ui_test::cellText(table, row, column), expected[row][column]);
            }
        }
        // The first row is shown at once; a byte that is not UTF-8 is escaped.
        auto* bytes = page->findChild<QPlainTextEdit*>("damagedLineBytes");
        QCOMPARE(bytes->toPlainText(),
                 "<Section name=\"R3JlZXRpbmc=\" style=\"body\">"
                 "RGVhciBHcmFu\\xE9ZG1vdGhlciBJbmdyaWQs</Section>");
        QTest::mouseClick(page->findChild<QPushButton*>("copyDamagedLine"), Qt::LeftButton);
        QCOMPARE(QApplication::clipboard()->text(), bytes->toPlainText());
    }

    void saysWhenTheFileNoLongerHoldsTheLine_data() {
        QTest::addColumn<QString>("change");
        QTest::addColumn<QString>("shown");  // after the file's name
        QTest::newRow("changed") << "changed"
                                 << " has changed since it was read: its bytes there are no "
                                    "longer those of this line.";
        QTest::newRow("gone") << "gone"
                              << " is gone: No such file or directory.";
    }

    void saysWhenTheFileNoLongerHoldsTheLine() {
        QFETCH(QString, change);
        QFETCH(QString, shown);
        WindowFixture f;
        const auto document = f.file("Letter.qlx", ui_test::damagedDocumentText());
        QVERIFY(ui_test::dropFiles(f.list()->viewport(), {document}).accepted);
        if (change == "gone") {
            std::filesystem::remove(document);
        } else {
            std::ofstream(document, std::ios::app) << "more\n";
        }
        const auto page = damagedLinesPage(f);
        QVERIFY(page);
        QCOMPARE(page->findChild<QPlainTextEdit*>("damagedLineBytes")->toPlainText(),
                 "\"" + QString::fromStdString(document.string()) + "\"" + shown);
        QVERIFY(!page->findChild<QPushButton*>("copyDamagedLine")->isEnabled());
        // The edited state and the text shown are the window's own, untouched.
        QVERIFY(f.fakes.messageBox.shown().isEmpty());
    }
};

QTEST_MAIN(DamagedLinesTest)
#include "damaged_lines_test.moc"
