#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>

#include "filetypes/file_types.h"
#include "ui/carve_window.h"
#include "window_fixture.h"

using ui_test::WindowFixture;

namespace {

constexpr std::size_t kCluster = 4096;

std::string quilloraDocument(const std::vector<ui_test::SectionData>& sections) {
    std::string text = "<?xml version=\"1.0\"?>\n<QuilloraDocument>\n";
    for (const auto& section : sections) {
        text += "<Section name=\"" + ui_test::base64(section.name) + "\">" +
                ui_test::base64(section.text) + "</Section>\n";
    }
    return text + "</QuilloraDocument>\n";
}

// `bytes` padded with zeros to whole clusters, as a file system stores a file.
std::string inClusters(std::string bytes) {
    bytes.resize((bytes.size() + kCluster - 1) / kCluster * kCluster, '\0');
    return bytes;
}

// A disk image: a cluster of zeros, a letter, a cluster of other text, a note.
std::string diskImage() {
    return std::string(kCluster, '\0') +
           inClusters(quilloraDocument({{"Greeting", "Dear Ingrid,"}, {"Body", "The scarf!"}})) +
           inClusters(std::string(3000, 'x')) +
           inClusters(quilloraDocument({{"Note", "Buy milk"}}));
}

}  // namespace

class CarveWindowTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() { FileTypes::Initialize(); }
    void cleanupTestCase() { FileTypes::Release(); }

    void listsWhatItFindsAndOpensIt() {
        WindowFixture f;
        const auto image = f.file("card.img", diskImage());
        f.window->findDocumentsIn(image);
        ui::CarveWindow* carving = f.window->carveWindow();
        QVERIFY(carving != nullptr);
        QSignalSpy ended(carving, &ui::CarveWindow::carvingEnded);
        QVERIFY(ended.wait(10000));
        auto* table = carving->findChild<QTableView*>("carvedDocuments");
        QCOMPARE(table->model()->rowCount(), 2);
        QCOMPARE(ui_test::cellText(table, 0, 0), "Greeting");
        QCOMPARE(ui_test::cellText(table, 0, 1), "0x0000001000");
        QCOMPARE(ui_test::cellText(table, 0, 3), "2");
        QCOMPARE(ui_test::cellText(table, 1, 0), "Note");
        QCOMPARE(carving->findChild<QLabel*>("carveStatus")->text(),
                 "Found 2 documents in " + QString::fromStdString(image.string()) + ".");

        // Opening a row shows the document as any other; the image stays as it was.
        table->selectRow(1);
        QTest::mouseClick(carving->findChild<QPushButton*>("openCarvedButton"), Qt::LeftButton);
        QCOMPARE(f.rowTexts(), QStringList{"Note"});
        QCOMPARE(f.window->filename(),
                 "card.img @ " + ui_test::cellText(table, 1, 1).toStdString());
        // A save never names the image.
        const auto& session = f.window->session();
        QVERIFY(session.save(image, session.allSections()).has_value());
        QCOMPARE(ui_test::readFile(image), diskImage());
    }

    void endsWithAListItDoesNotClaimComplete_data() {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("status");  // how it begins
        QTest::addColumn<int>("warnings");
        QTest::newRow("cancelled") << "cancel"
                                   << "Stopped: " << 0;
        QTest::newRow("missing source") << "missing"
                                        << "Could not look through " << 1;
        QTest::newRow("nothing there") << "empty"
                                       << "No documents found in " << 0;
    }

    void endsWithAListItDoesNotClaimComplete() {
        QFETCH(QString, how);
        QFETCH(QString, status);
        QFETCH(int, warnings);
        WindowFixture f;
        const auto image =
            how == "missing"
                ? f.path("gone.img")
                : f.file("card.img", how == "empty" ? std::string(kCluster * 4, 'z') : diskImage());
        f.window->findDocumentsIn(image);
        ui::CarveWindow* carving = f.window->carveWindow();
        QSignalSpy ended(carving, &ui::CarveWindow::carvingEnded);
        if (how == "cancel") {
            QTest::mouseClick(carving->findChild<QPushButton*>("cancelCarvingButton"),
                              Qt::LeftButton);
        }
        QVERIFY(ended.wait(10000));
        const QString shown = carving->findChild<QLabel*>("carveStatus")->text();
        QVERIFY2(shown.startsWith(status), qPrintable(shown));
        if (how == "cancel") {
            QVERIFY(shown.contains("not complete"));
        }
        QCOMPARE(f.fakes.messageBox.warnings(), warnings);
        QVERIFY(f.rowTexts().isEmpty());  // the main window shows nothing of it
    }

    // The main window goes while a carving runs: its thread is stopped and waited for.
    void closingDuringACarvingLeavesNothingRunning() {
        auto f = std::make_unique<WindowFixture>();
        std::string big = diskImage();
        big.resize(std::size_t{32} << 20, '\0');
        f->window->findDocumentsIn(f->file("big.img", big));
        QVERIFY(f->window->carveWindow()->busy());
        f.reset();
    }
};

QTEST_MAIN(CarveWindowTest)
#include "carve_window_test.moc"
