#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QScrollBar>

#include <cerrno>
#include <cstring>

#include "filetypes/file_types.h"
#include "posix_faults.h"
#include "salvage/export.h"
#include "salvage/reader.h"
#include "ui/help_window.h"
#include "window_fixture.h"

using ui_test::SectionData;
using ui_test::WindowFixture;

namespace {

const std::vector<SectionData> kLetter = {{"Heading", "From the coast"},
                                          {"Greeting", "Dear Ingrid,"},
                                          {"Empty", ""},
                                          {"Closing", "Yours"}};

const QString kRefused = QString::fromUtf8(salvage::kRefusedMessage);

}  // namespace

class WindowTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() { FileTypes::Initialize(); }
    void cleanupTestCase() { FileTypes::Release(); }

    void startsWithItsControlsAndNothingToSave() {
        WindowFixture f;
        QCOMPARE(f.window->windowTitle(), QStringLiteral("QL Vodadov"));
        QStringList created;
        for (QObject* child : f.window->centralWidget()->children()) {
            if (child->isWidgetType()) {
                created << child->objectName();
            }
        }
        QCOMPARE(created, (QStringList{"StaticText1", "sectionText", "sectionList", "saveAllButton",
                                       "saveOneButton"}));
        const Qt::WindowFlags flags = f.window->windowFlags();
        QVERIFY(!(flags & Qt::WindowCloseButtonHint));
        QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
        QVERIFY(flags & Qt::WindowMinimizeButtonHint);
        QVERIFY(f.window->findChild<QLabel*>("StaticText1")
                    ->text()
                    .startsWith("QL Vodadov is a simple program for extracting the basic text"));
        QCOMPARE(f.saveAllButton()->text(), QStringLiteral("Save All Sections..."));
        QCOMPARE(f.saveOneButton()->text(), QStringLiteral("Save Just This Section..."));

        QVERIFY(!f.saveAllButton()->isEnabled());
        QVERIFY(!f.saveOneButton()->isEnabled());
        f.openFileMenu();
        QVERIFY(!f.item("FileSaveAllSections")->isEnabled());
        QVERIFY(!f.item("FileSaveJustThisSection")->isEnabled());
        QVERIFY(f.item("HelpTechnicalDetails")->isEnabled());
        QVERIFY(f.window->contents() == nullptr);
        QCOMPARE(f.window->filename(), std::string());
    }

    void listIsAOneColumnDropTarget() {
        WindowFixture f;
        QTreeView* list = f.list();
        QCOMPARE(list->model()->columnCount(), 1);
        QCOMPARE(list->model()->headerData(0, Qt::Horizontal).toString(),
                 QStringLiteral("Sections"));
        QVERIFY(!list->header()->isHidden());
        QVERIFY(!list->rootIsDecorated());
        QCOMPARE(list->selectionMode(), QAbstractItemView::SingleSelection);
        QVERIFY(!list->isSortingEnabled());
        QVERIFY(!list->dragEnabled());
        QVERIFY(list->uniformRowHeights());
        QVERIFY(list->viewport()->acceptDrops());
        QCOMPARE(f.window->acceptedFileTypes().size(), 4u);
    }

    void textAreaIsPlainEditableAndWraps() {
        WindowFixture f;
        QPlainTextEdit* text = f.text();
        QVERIFY(!text->isReadOnly());
        QVERIFY(text->tabChangesFocus());
        QCOMPARE(text->lineWrapMode(), QPlainTextEdit::WidgetWidth);
        QCOMPARE(text->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
        QCOMPARE(text->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    }

    void controlsKeepTheirLockedEdges_data() {
        QTest::addColumn<QSize>("requested");
        QTest::addColumn<QSize>("content");
        QTest::newRow("as built") << QSize(600, 432) << QSize(600, 432);
        QTest::newRow("larger") << QSize(900, 700) << QSize(900, 700);
        QTest::newRow("wider, shorter") << QSize(1000, 350) << QSize(1000, 350);
        QTest::newRow("below the minimum") << QSize(120, 90) << QSize(400, 300);
    }

    void controlsKeepTheirLockedEdges() {
        QFETCH(QSize, requested);
        QFETCH(QSize, content);
        WindowFixture f;
        QWidget* area = f.window->centralWidget();
        const int menuHeight = f.window->height() - area->height();
        if (requested != QSize(600, 432)) {
            f.window->resize(requested.width(), requested.height() + menuHeight);
        }
        QTRY_COMPARE(area->size(), content);
        const int w = content.width();
        const int h = content.height();
        const auto geometry = [&](const char* name) {
            return f.window->findChild<QWidget*>(name)->geometry();
        };
        QCOMPARE(geometry("StaticText1"), QRect(20, 14, w - 93, 49));
        QCOMPARE(geometry("sectionText"), QRect(187, 75, w - 207, h - 127));
        QCOMPARE(geometry("sectionList"), QRect(20, 75, 155, h - 127));
        QCOMPARE(geometry("saveAllButton"), QRect(20, h - 40, 155, 20));
        QCOMPARE(geometry("saveOneButton"), QRect(w - 220, h - 40, 200, 20));
    }

    void acceptedDocumentIsListedInItsOrder() {
        WindowFixture f;
        const auto outcome = f.dropDocument({{"Heading", "a"},
                                             {"Zürich \xE2\x80\x94 day", "b"},
                                             {"bad \xFF", "c"},
                                             {"Heading", "d"}},
                                            "letter.qlx.qll");
        QVERIFY(outcome.accepted);
        QCOMPARE(f.rowTexts(), (QStringList{"Heading", QString::fromUtf8("Zürich — day"),
                                            QString::fromUtf8("bad \xEF\xBF\xBD")}));
        QCOMPARE(f.selectedRow(), -1);
        QVERIFY(f.text()->toPlainText().isEmpty());
        QCOMPARE(f.window->filename(), std::string("letter"));
        QCOMPARE(f.window->contents()->lookup("Heading"), std::string_view("d"));
        QCOMPARE(f.fakes.beeper.count(), 0);
        QVERIFY(f.fakes.messageBox.shown().isEmpty());
    }

    void aDropIsAlwaysACopy_data() {
        QTest::addColumn<int>("possible");
        QTest::addColumn<int>("proposed");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<int>("performed");
        QTest::newRow("move proposed") << int(Qt::CopyAction | Qt::MoveAction)
                                       << int(Qt::MoveAction) << true << int(Qt::CopyAction);
        QTest::newRow("only link offered")
            << int(Qt::LinkAction) << int(Qt::LinkAction) << true << int(Qt::LinkAction);
        QTest::newRow("only move offered")
            << int(Qt::MoveAction) << int(Qt::MoveAction) << false << int(Qt::IgnoreAction);
    }

    void aDropIsAlwaysACopy() {
        QFETCH(int, possible);
        QFETCH(int, proposed);
        QFETCH(bool, accepted);
        QFETCH(int, performed);
        WindowFixture f;
        const auto document = f.file("letter.qlx", ui_test::documentText(kLetter));
        QMimeData data;
        data.setUrls({ui_test::fileUrl(document)});
        const auto outcome = ui_test::dragAndDrop(
            f.list()->viewport(), data, Qt::DropActions(possible), Qt::DropAction(proposed));
        QCOMPARE(outcome.accepted, accepted);
        QCOMPARE(int(outcome.action), performed);
        QCOMPARE(f.window->contents() != nullptr, accepted);
        QVERIFY(std::filesystem::exists(document));
    }

    void onlyTheFirstFileOfADropIsRead() {
        WindowFixture f;
        const auto first = f.file("first.qlx", ui_test::documentText({{"One", "1"}}));
        const auto second = f.file("second.qlx", ui_test::documentText({{"Two", "2"}}));
        QVERIFY(ui_test::dropFiles(f.list()->viewport(), {first, second}).accepted);
        QCOMPARE(f.rowTexts(), QStringList{"One"});
        QCOMPARE(f.window->filename(), std::string("first"));
    }

    void aDragWithoutAFileDoesNothing_data() {
        QTest::addColumn<QString>("kind");
        QTest::newRow("text") << "text";
        QTest::newRow("web address") << "web";
        QTest::newRow("no urls") << "none";
    }

    void aDragWithoutAFileDoesNothing() {
        QFETCH(QString, kind);
        WindowFixture f;
        QMimeData data;
        if (kind == "text") {
            data.setText("<?xml just text");
        } else if (kind == "web") {
            data.setUrls({QUrl("https://example.invalid/letter.qlx")});
        } else {
            data.setUrls({});
        }
        QVERIFY(!ui_test::dragAndDrop(f.list()->viewport(), data).accepted);
        QVERIFY(f.window->contents() == nullptr);
        QCOMPARE(f.fakes.beeper.count(), 0);
        QVERIFY(f.fakes.messageBox.shown().isEmpty());
    }

    // The message is always the same; the smaller text under it names the file and says why.
    void refusedFileBeepsTellsAndChangesNothing_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("reason");
        const QString notAHeader = "Its first line is not a Quillora document header.";
        QTest::newRow("empty file") << "empty"
                                    << "The file is empty.";
        QTest::newRow("blank first line") << "blank" << notAHeader;
        QTest::newRow("indented header") << "indented" << notAHeader;
        QTest::newRow("not a document") << "other" << notAHeader;
        QTest::newRow("a folder") << "folder"
                                  << "Is a directory.";
        QTest::newRow("gone before it was read") << "missing"
                                                 << "No such file or directory.";
    }

    void refusedFileBeepsTellsAndChangesNothing() {
        QFETCH(QString, kind);
        QFETCH(QString, reason);
        WindowFixture f;
        QVERIFY(f.dropDocument(kLetter).accepted);
        f.select(1);
        f.text()->insertPlainText("edited ");
        const QString shownBefore = f.text()->toPlainText();

        std::filesystem::path refused = f.path("refused.qlx");
        if (kind == "empty") {
            f.file("refused.qlx", "");
        } else if (kind == "blank") {
            f.file("refused.qlx", "\n<?xml version=\"1.0\"?>\n");
        } else if (kind == "indented") {
            f.file("refused.qlx", " <?xml version=\"1.0\"?>\n");
        } else if (kind == "other") {
            f.file("refused.qlx", "PK\x03\x04 zip");
        } else if (kind == "folder") {
            std::filesystem::create_directory(refused);
        }
        f.window->sectionList_DropObject(refused);

        QCOMPARE(f.fakes.beeper.count(), 1);
        QCOMPARE(f.fakes.messageBox.shown(), QStringList{kRefused});
        QCOMPARE(f.fakes.messageBox.warnings(), 1);
        QCOMPARE(f.fakes.messageBox.details(),
                 QStringList{"File: " + QString::fromStdString(refused.string()) +
                             "\nReason: " + reason});
        QCOMPARE(f.rowTexts(), (QStringList{"Heading", "Greeting", "Empty", "Closing"}));
        QCOMPARE(f.list()->currentIndex().row(), 1);
        QCOMPARE(f.selectedRow(), 1);
        QCOMPARE(f.text()->toPlainText(), shownBefore);
        QCOMPARE(f.window->filename(), std::string("letter"));
        QCOMPARE(f.window->contents()->size(), 4u);
    }

    void selectionShowsTheSectionsOwnText() {
        WindowFixture f;
        QVERIFY(f.dropDocument({{"A", "first\ntext"}, {"B", "bad \xFF byte"}, {"C", "third"}})
                    .accepted);
        f.select(0);
        QCOMPARE(f.text()->toPlainText(), QStringLiteral("first\ntext"));
        f.select(1);
        QCOMPARE(f.text()->toPlainText(), QString::fromUtf8("bad \xEF\xBF\xBD byte"));

        f.text()->selectAll();
        f.text()->insertPlainText("my edit");
        f.select(2);
        f.select(1);
        QCOMPARE(f.text()->toPlainText(), QString::fromUtf8("bad \xEF\xBF\xBD byte"));

        f.list()->clearSelection();
        QVERIFY(f.text()->toPlainText().isEmpty());
    }

    // The buttons and the File menu items follow the same rules, kept current as documents
    // open, the selection and the text change, with no pointer movement needed.
    static void expectSaveCommands(const WindowFixture& f, bool all, bool one) {
        QCOMPARE(f.item("FileSaveAllSections")->isEnabled(), all);
        QCOMPARE(f.saveAllButton()->isEnabled(), all);
        QCOMPARE(f.item("FileSaveJustThisSection")->isEnabled(), one);
        QCOMPARE(f.saveOneButton()->isEnabled(), one);
    }

    void saveCommandsAreAlwaysCurrent() {
        WindowFixture f;
        f.text()->setPlainText("typed before any document");
        expectSaveCommands(f, false, false);

        QVERIFY(f.dropDocument(kLetter).accepted);
        expectSaveCommands(f, true, false);  // the text area was cleared
        f.select(0);
        expectSaveCommands(f, true, true);
        f.select(2);  // the empty section
        expectSaveCommands(f, true, false);
        f.text()->insertPlainText("x");
        expectSaveCommands(f, true, true);
        f.list()->clearSelection();
        f.text()->setPlainText("typed with no row selected");
        expectSaveCommands(f, true, true);
        f.moveOver(f.saveOneButton());  // the pointer's movement changes nothing
        expectSaveCommands(f, true, true);

        QVERIFY(f.dropDocument({}, "empty.qlx").accepted);
        f.openFileMenu();
        expectSaveCommands(f, false, false);
        QVERIFY(f.item("HelpTechnicalDetails")->isEnabled());
    }

    // How the user asks for a save: the button, the File menu, or the shortcut.
    static void addPaths() {
        QTest::addColumn<QString>("path");
        QTest::newRow("button") << "button";
        QTest::newRow("menu") << "menu";
        QTest::newRow("shortcut") << "shortcut";
    }

    static void requestSave(WindowFixture& f, QString path, QPushButton* button, QAction* item,
                            QKeySequence shortcut) {
        if (path == "button") {
            f.moveOver(button);
            QTest::mouseClick(button, Qt::LeftButton);
        } else if (path == "menu") {
            f.openFileMenu();
            QVERIFY(item->isEnabled());
            item->trigger();
        } else {
            f.window->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(f.window.get()));
            QTest::keySequence(f.window.get(), shortcut);
        }
    }

    // Both save dialogs start in the folder of the document shown, with the usual default
    // name; in the home folder when that folder has gone since.
    void saveDialogsStartInTheDocumentsFolder_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<bool>("folderGone");
        QTest::newRow("save all") << "FileSaveAllSections" << false;
        QTest::newRow("save this") << "FileSaveJustThisSection" << false;
        QTest::newRow("save all, folder gone") << "FileSaveAllSections" << true;
        QTest::newRow("save this, folder gone") << "FileSaveJustThisSection" << true;
    }

    void saveDialogsStartInTheDocumentsFolder() {
        QFETCH(QString, command);
        QFETCH(bool, folderGone);
        WindowFixture f;
        const auto folder = f.path("letters");
        std::filesystem::create_directory(folder);
        QVERIFY(ui_test::dropFiles(f.list()->viewport(),
                                   {ui_test::writeFile(f.dir, "letters/Letter.qlx",
                                                       ui_test::documentText(kLetter))})
                    .accepted);
        f.select(1);
        if (folderGone) {
            std::filesystem::remove_all(folder);
        }

        f.item(command.toLatin1().constData())->trigger();

        QCOMPARE(f.fakes.saveDialog.requests().size(), 1u);
        const auto& request = f.fakes.saveDialog.requests()[0];
        QCOMPARE(request.startFolder,
                 folderGone ? std::filesystem::path(QDir::homePath().toStdString()) : folder);
        QCOMPARE(request.defaultName, command == "FileSaveAllSections"
                                          ? QStringLiteral("Letter.txt")
                                          : QStringLiteral("Greeting.txt"));
    }

    void saveAllWritesEverySection_data() { addPaths(); }
    void saveAllWritesEverySection() {
        QFETCH(QString, path);
        WindowFixture f;
        QVERIFY(f.dropDocument(kLetter, "Letter.QLX").accepted);
        f.select(1);
        f.text()->insertPlainText("an edit that stays in the text area ");
        const auto target = f.path("all.txt");
        f.fakes.saveDialog.answer(target);

        requestSave(f, path, f.saveAllButton(), f.item("FileSaveAllSections"),
                    QKeySequence("Ctrl+S"));

        QCOMPARE(f.fakes.saveDialog.requests().size(), 1u);
        QCOMPARE(f.fakes.saveDialog.requests()[0].defaultName, QStringLiteral("Letter.txt"));
        QCOMPARE(f.fakes.saveDialog.requests()[0].nameFilter, QStringLiteral("simpletext (*.txt)"));
        QCOMPARE(ui_test::readFile(target), salvage::exportText(*f.window->contents()));
        QVERIFY(f.fakes.messageBox.shown().isEmpty());
    }

    void saveOneWritesTheTextArea_data() { addPaths(); }
    void saveOneWritesTheTextArea() {
        QFETCH(QString, path);
        WindowFixture f;
        QVERIFY(f.dropDocument({{"a/b\x01", "bad \xFF\r\nbyte"}, {"Other", "x"}}).accepted);
        f.select(0);
        const auto unedited = f.path("unedited.txt");
        const auto edited = f.path("edited.txt");
        f.fakes.saveDialog.answer(unedited);
        f.fakes.saveDialog.answer(edited);
        const QKeySequence shortcut("Ctrl+Alt+S");

        requestSave(f, path, f.saveOneButton(), f.item("FileSaveJustThisSection"), shortcut);
        QCOMPARE(ui_test::readFile(unedited), std::string("bad \xFF\r\nbyte"));

        QTextCursor end = f.text()->textCursor();
        end.movePosition(QTextCursor::End);
        end.insertText(QString::fromUtf8(" \xC2\xA0more"));
        requestSave(f, path, f.saveOneButton(), f.item("FileSaveJustThisSection"), shortcut);
        QCOMPARE(ui_test::readFile(edited), std::string("bad \xEF\xBF\xBD\nbyte \xC2\xA0more"));

        QCOMPARE(f.fakes.saveDialog.requests().size(), 2u);
        QCOMPARE(f.fakes.saveDialog.requests()[0].defaultName, QStringLiteral("a_b_.txt"));
        QCOMPARE(f.fakes.saveDialog.requests()[0].nameFilter, QStringLiteral("simpletext (*.txt)"));
    }

    // A section with paragraphs of hundreds of kilobytes is shown in pieces; an edit saves the
    // text with the edit and every other byte as before: line breaks as LF, no break added.
    void editedLongParagraphsAreSavedWhole_data() {
        QTest::addColumn<QByteArray>("section");
        QTest::addColumn<QByteArray>("saved");
        QByteArray paragraph;
        for (int i = 0; paragraph.size() < 300000; ++i) {
            paragraph += i % 5 == 0 ? "Zürich " : "river, ";
        }
        QTest::newRow("one paragraph") << paragraph << "X" + paragraph;
        QTest::newRow("CR, CR LF, U+2028 and U+2029 around it")
            << "a\r" + paragraph + "\r\nb\xE2\x80\xA8" + paragraph +
                   "\xE2\x80\xA9"
                   "c"
            << "Xa\n" + paragraph + "\nb\xE2\x80\xA8" + paragraph + "\nc";
    }

    void editedLongParagraphsAreSavedWhole() {
        QFETCH(QByteArray, section);
        QFETCH(QByteArray, saved);
        WindowFixture f;
        QVERIFY(f.dropDocument({{"Long", section.toStdString()}}).accepted);
        f.select(0);
        QTextCursor start = f.text()->textCursor();
        start.movePosition(QTextCursor::Start);
        start.insertText("X");
        const auto target = f.path("long.txt");
        f.fakes.saveDialog.answer(target);
        f.window->FileSaveJustThisSection_Action();
        QCOMPARE(QByteArray::fromStdString(ui_test::readFile(target)), saved);
    }

    void saveOneWithoutASelectedRowOffersJustTheExtension() {
        WindowFixture f;
        QVERIFY(f.dropDocument(kLetter).accepted);
        f.text()->setPlainText("typed");
        const auto target = f.path("typed.txt");
        f.fakes.saveDialog.answer(target);
        f.window->FileSaveJustThisSection_Action();
        QCOMPARE(f.fakes.saveDialog.requests()[0].defaultName, QStringLiteral(".txt"));
        QCOMPARE(ui_test::readFile(target), std::string("typed"));
    }

    void cancelledSaveWritesNothing() {
        WindowFixture f;
        QVERIFY(f.dropDocument(kLetter).accepted);
        f.select(0);
        f.window->saveAllButton_Action();
        f.window->saveOneButton_Action();
        QCOMPARE(f.fakes.saveDialog.requests().size(), 2u);
        QVERIFY(f.fakes.messageBox.shown().isEmpty());
        QCOMPARE(std::distance(std::filesystem::directory_iterator(f.path("")),
                               std::filesystem::directory_iterator()),
                 1);  // the document alone
    }

    void failedSaveNamesTheFileAndTheReason_data() {
        QTest::addColumn<QString>("kind");
        QTest::newRow("missing folder") << "missing";
        QTest::newRow("folder is a file") << "file";
    }

    void failedSaveNamesTheFileAndTheReason() {
        QFETCH(QString, kind);
        WindowFixture f;
        QVERIFY(f.dropDocument(kLetter).accepted);
        f.select(0);
        const auto parent =
            kind == "missing" ? f.path("no such folder") : f.file("plain", "not a folder");
        const auto target = parent / "out.txt";
        f.fakes.saveDialog.answer(target);
        f.fakes.saveDialog.answer(target);
        f.window->saveAllButton_Action();
        f.window->saveOneButton_Action();
        QCOMPARE(f.fakes.messageBox.shown().size(), 2);
        for (const QString& message : f.fakes.messageBox.shown()) {
            QVERIFY2(message.startsWith("The file was not saved.\n\n" +
                                        QString::fromStdString(target.string()) + ": "),
                     qPrintable(message));
            QVERIFY(message.size() > QString::fromStdString(target.string()).size() + 28);
        }
        QVERIFY(!std::filesystem::exists(target));
    }

    // Whatever step of the write fails, the user is told, and the file that was there stays.
    void failedWriteAtAnyStepIsShownAndKeepsTheOldFile_data() {
        using Call = salvage::testing::PosixFaults::Call;
        QTest::addColumn<int>("call");
        QTest::addColumn<int>("error");
        QTest::newRow("disk full at write") << int(Call::Write) << ENOSPC;
        QTest::newRow("I/O error at fsync") << int(Call::Fsync) << EIO;
        QTest::newRow("failing rename") << int(Call::Rename) << EXDEV;
        QTest::newRow("failing close") << int(Call::Close) << EIO;
    }

    void failedWriteAtAnyStepIsShownAndKeepsTheOldFile() {
        QFETCH(int, call);
        QFETCH(int, error);
        WindowFixture f;
        QVERIFY(f.dropDocument(kLetter).accepted);
        const auto target = f.file("out.txt", "kept");
        f.fakes.saveDialog.answer(target);
        {
            salvage::testing::PosixFaults faults(
                {static_cast<salvage::testing::PosixFaults::Call>(call), error});
            f.window->saveAllButton_Action();
        }
        QCOMPARE(
            f.fakes.messageBox.shown(),
            QStringList{"The file was not saved.\n\n" + QString::fromStdString(target.string()) +
                        ": " + QString::fromUtf8(std::strerror(error))});
        QCOMPARE(ui_test::readFile(target), std::string("kept"));
        QCOMPARE(std::distance(std::filesystem::directory_iterator(f.path("")),
                               std::filesystem::directory_iterator()),
                 2);  // the document and out.txt: no temporary file
    }

    // The damaged document may hold more than this program recovers, so a save never
    // replaces it, by whatever path the dialog names it.
    // Every name the document may go by is the session's business; the window shows the refusal.
    void saveNeverReplacesTheDocument() {
        WindowFixture f;
        QVERIFY(f.dropDocument(kLetter).accepted);
        const auto document = f.path("letter.qlx");
        const std::string before = ui_test::readFile(document);
        f.select(0);
        f.fakes.saveDialog.answer(document);
        f.fakes.saveDialog.answer(document);
        f.window->saveAllButton_Action();
        f.window->saveOneButton_Action();
        const QString expected = "The file was not saved.\n\n" +
                                 QString::fromStdString(document.string()) +
                                 ": it is a document being salvaged, which is "
                                 "kept as it is";
        QCOMPARE(f.fakes.messageBox.shown(), QStringList({expected, expected}));
        QCOMPARE(ui_test::readFile(document), before);
    }

    void shortcutsDoNothingBeforeADocument() {
        WindowFixture f;
        f.text()->setPlainText("typed");
        f.window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(f.window.get()));
        QTest::keySequence(f.window.get(), QKeySequence("Ctrl+S"));
        QTest::keySequence(f.window.get(), QKeySequence("Ctrl+Alt+S"));
        QVERIFY(f.fakes.saveDialog.requests().empty());
    }

    void technicalDetailsOpensOneWindow() {
        WindowFixture f;
        QVERIFY(!f.window->HelpTechnicalDetails_Action());
        helpWindow* first = helpWindow::instance();
        f.item("HelpTechnicalDetails")->trigger();
        QCOMPARE(helpWindow::instance(), first);
        int open = 0;
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            open += qobject_cast<helpWindow*>(widget) != nullptr ? 1 : 0;
        }
        QCOMPARE(open, 1);
        QVERIFY(first->isVisible());
        helpWindow::release();
    }

    void aLargeDocumentIsListedWhole() {
        WindowFixture f;
        std::vector<SectionData> sections;
        for (int i = 0; i < 30000; ++i) {
            sections.push_back({"Section " + std::to_string(i), "text"});
        }
        QVERIFY(f.dropDocument(sections).accepted);
        QCOMPARE(f.rowCount(), 30000);
        f.select(29999);
        QCOMPARE(f.text()->toPlainText(), QStringLiteral("text"));
    }
};

QLV_UI_TEST_MAIN(WindowTest)
#include "window_test.moc"
