#include <QLabel>
#include <QStatusBar>

#include "filetypes/file_types.h"
#include "salvage/reader.h"
#include "salvage/report_status_line.h"
#include "salvage/report_text.h"
#include "window_fixture.h"

using ui_test::WindowFixture;

namespace {

// The summary and the details the core gives of a document, read apart from any window.
struct Expected {
    QString summary;
    QString details;
};

Expected expectedFor(const std::filesystem::path& document) {
    const salvage::ParseResult read = salvage::parseFile(document);
    const auto& report = read.document.report;
    const std::size_t sections = read.document.contents.size();
    return {QString::fromUtf8(salvage::reportStatusLine(report, sections)),
            QString::fromUtf8(salvage::describeReport(report, read.document.contents))};
}

}  // namespace

class ReportStatusTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() { FileTypes::Initialize(); }
    void cleanupTestCase() { FileTypes::Release(); }

    void nothingToReportBeforeADocument() {
        WindowFixture f;
        QVERIFY(f.reportStatus()->summary().isEmpty());
        QVERIFY(!f.detailsButton()->isVisible());
        f.window->showReportDetails();
        QVERIFY(f.fakes.textViewer.shown().empty());
    }

    void summaryAndDetailsOfTheAcceptedDocument_data() {
        QTest::addColumn<QString>("kind");
        QTest::newRow("damaged") << "damaged";
        QTest::newRow("whole") << "whole";
        QTest::newRow("no sections") << "empty";
    }

    void summaryAndDetailsOfTheAcceptedDocument() {
        QFETCH(QString, kind);
        WindowFixture f;
        const std::string text = kind == "damaged" ? ui_test::damagedDocumentText()
                                 : kind == "whole" ? ui_test::documentText({{"One", "1"}})
                                                   : ui_test::documentText({});
        const auto document = f.file("Letter.qll", text);
        if (kind == "damaged") {
            // The document is as damaged as meant: every kind of damage is told of.
            const auto report = salvage::parseFile(document).document.report;
            QCOMPARE(report.damagedBase64.size(), 1u);
            QCOMPARE(report.invalidUtf8Sections.size(), 1u);
            QCOMPARE(report.replacements.size(), 1u);
            QCOMPARE(report.skippedLookalikes, 1u);
        }
        QVERIFY(ui_test::dropFiles(f.list()->viewport(), {document}).accepted);

        const Expected expected = expectedFor(document);
        QCOMPARE(f.reportStatus()->summary(), expected.summary);
        QVERIFY(f.window->statusBar()->isAncestorOf(f.detailsButton()));
        QVERIFY(f.detailsButton()->isVisible());
        QTest::mouseClick(f.detailsButton(), Qt::LeftButton);
        QCOMPARE(f.fakes.textViewer.shown().size(), 1u);
        QCOMPARE(f.fakes.textViewer.shown()[0].text, expected.details);
        QCOMPARE(f.fakes.textViewer.shown()[0].title, QStringLiteral("Salvage report: Letter"));
        QVERIFY(f.fakes.messageBox.shown().isEmpty());
    }

    // At the window's first size the summary of a document with every kind of damage is
    // shown whole, not cut short; the details button stays beside it.
    void summaryFitsTheWindowAtItsFirstSize() {
        WindowFixture f;
        QVERIFY(ui_test::dropFiles(f.list()->viewport(),
                                   {f.file("damaged.qlx", ui_test::damagedDocumentText())})
                    .accepted);
        QTRY_COMPARE(f.window->centralWidget()->size(), QSize(600, 432));
        const auto* shown = f.window->findChild<QLabel*>("reportSummary");
        QTRY_COMPARE(shown->text(), f.reportStatus()->summary());
        QVERIFY(f.detailsButton()->geometry().left() >= shown->geometry().right());
    }

    // "Details..." looks like a link before it is hovered, and the keyboard reaches and
    // presses it.
    void detailsLooksLikeALinkAndTakesTheKeyboard() {
        WindowFixture f;
        QVERIFY(f.dropDocument({{"One", "1"}}).accepted);
        QToolButton* details = f.detailsButton();
        QVERIFY(details->font().underline());
        QCOMPARE(details->palette().color(QPalette::ButtonText),
                 details->palette().color(QPalette::Link));
        QVERIFY(details->focusPolicy() & Qt::TabFocus);
        details->setFocus();
        QTest::keyClick(details, Qt::Key_Space);
        QCOMPARE(f.fakes.textViewer.shown().size(), 1u);
    }

    void aRefusedDocumentLeavesTheReport() {
        WindowFixture f;
        const auto damaged = f.file("damaged.qlx", ui_test::damagedDocumentText());
        QVERIFY(ui_test::dropFiles(f.list()->viewport(), {damaged}).accepted);
        const Expected expected = expectedFor(damaged);

        f.fakes.openDialog.answer(f.file("refused.qlx", "not a document"));
        f.window->FileOpen_Action();
        QCOMPARE(f.fakes.beeper.count(), 1);

        QCOMPARE(f.reportStatus()->summary(), expected.summary);
        f.window->showReportDetails();
        QCOMPARE(f.fakes.textViewer.shown().back().text, expected.details);
    }

    void theNextDocumentReplacesTheReport() {
        WindowFixture f;
        QVERIFY(ui_test::dropFiles(f.list()->viewport(),
                                   {f.file("damaged.qlx", ui_test::damagedDocumentText())})
                    .accepted);
        const auto whole = f.file("whole.qlx", ui_test::documentText({{"A", "a"}, {"B", "b"}}));
        QVERIFY(ui_test::dropFiles(f.list()->viewport(), {whole}).accepted);
        QCOMPARE(f.reportStatus()->summary(), expectedFor(whole).summary);
    }

    // The status bar sits below the controls: their area keeps its size, and a long summary
    // neither moves them nor keeps the window from shrinking to its minimum.
    void controlsKeepTheirPlaceAndMinimumWithAReport() {
        WindowFixture f;
        QWidget* area = f.window->centralWidget();
        QTRY_COMPARE(area->size(), QSize(600, 432));
        const int around = f.window->height() - area->height();

        QVERIFY(ui_test::dropFiles(f.list()->viewport(),
                                   {f.file("damaged.qlx", ui_test::damagedDocumentText())})
                    .accepted);
        QTRY_COMPARE(area->size(), QSize(600, 432));

        f.window->resize(120, 90);

        QTRY_COMPARE(area->size(), QSize(400, 300));
        QCOMPARE(f.window->height() - area->height(), around);
        // Cut short where it does not fit, and whole in its tool tip.
        const auto* shown = f.window->findChild<QLabel*>("reportSummary");
        QVERIFY(shown->text().endsWith(QChar(0x2026)));
        QVERIFY(shown->text().size() < f.reportStatus()->summary().size());
        QCOMPARE(shown->toolTip(), f.reportStatus()->summary());
        QCOMPARE(f.window->findChild<QWidget*>("saveOneButton")->geometry(),
                 QRect(180, 260, 200, 20));
    }
};

QLV_UI_TEST_MAIN(ReportStatusTest)
#include "report_status_test.moc"
