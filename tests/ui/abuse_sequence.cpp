#include <QApplication>
#include <QClipboard>
#include <QTextDocument>
#include <QToolButton>
#include <algorithm>
#include <array>

#include "abuse_sequence.h"
#include "platform/paths.h"
#include "salvage/export.h"
#include "salvage/reader.h"
#include "ui/help_window.h"
#include "ui/report_status.h"

namespace abuse {
namespace {

// Each sequence's own generator, so that any one sequence can run alone.
std::mt19937 seedOf(std::uint32_t seed, int number) {
    std::seed_seq sequence{seed, static_cast<std::uint32_t>(number)};
    return std::mt19937(sequence);
}

// Clipboard texts: line breaks of every kind, no-break spaces, characters beyond the basic
// plane.
QString clipboardText(int choice) {
    static const QStringList texts = {QStringLiteral("pasted"),
                                      QStringLiteral("two\r\nlines\rand\nmore"),
                                      QString::fromUtf8("caf\xC3\xA9\xC2\xA0\xF0\x9F\x98\x80"),
                                      QString::fromUtf8("\xE2\x80\xA8x"), QStringLiteral("\t tab")};
    return texts[choice % texts.size()];
}

}  // namespace

Sequence::Sequence(const Library& library, std::uint32_t seed, int number)
    : library_(library), random_(seedOf(seed, number)) {
    App::instance()->setMenuBar(f_.bar());
    ApplicationAddMenuHandlers();
    ui_test::appServices().messageBox.clear();
    // A file where a folder is expected, and a folder where a file is expected.
    want_.files[f_.path("plain")] = "not a folder";
    f_.file("plain", want_.files[f_.path("plain")]);
    std::filesystem::create_directory(f_.path("folder"));
    length_ = 1 + pick(30);
    QObject::connect(f_.list()->selectionModel(), &QItemSelectionModel::selectionChanged,
                     [this] { ++selectionChanges_; });
}

Sequence::~Sequence() {
    helpWindow::release();
}

void Sequence::step() {
    // How often each kind of step comes, in hundredths.
    struct Kind {
        int weight;
        void (Sequence::*run)();
    };
    static constexpr Kind kKinds[] = {
        {15, &Sequence::drop},          {4, &Sequence::open},
        {1, &Sequence::reportDetails},  {1, &Sequence::dropBesideTheList},
        {13, &Sequence::clickRow},      {4, &Sequence::useListKeys},
        {3, &Sequence::dragAcrossRows}, {10, &Sequence::movePointer},
        {2, &Sequence::resizeWindow},   {19, &Sequence::edit},
        {22, &Sequence::save},          {6, &Sequence::windows},
    };
    int roll = pick(100);
    selectionChanges_ = 0;
    for (const Kind& kind : kKinds) {
        if (roll < kind.weight) {
            (this->*kind.run)();
            return;
        }
        roll -= kind.weight;
    }
}

void Sequence::drop() {
    const auto& documents = library_.documents();
    const int count = static_cast<int>(documents.size());
    const Document& document =
        chance(1) ? library_.huge() : documents[static_cast<std::size_t>(pick(count))];
    if (document.kind == Document::Kind::NotAFile) {
        log_ << QStringLiteral("drag a web address");
        QMimeData data;
        data.setUrls({QUrl(QStringLiteral("https://example.invalid/letter.qlx"))});
        QVERIFY(!ui_test::dragAndDrop(f_.list()->viewport(), data).accepted);
        return;
    }
    std::vector<std::filesystem::path> files = {document.path};
    if (chance(10)) {
        // Only the first file of a drop is read.
        files.push_back(documents[static_cast<std::size_t>(pick(count))].path);
        if (files.back().empty()) {
            files.pop_back();
        }
    }
    log_ << QStringLiteral("drop %1%2")
                .arg(platform::toQString(document.path.filename()),
                     files.size() > 1 ? " and another" : "");
    QVERIFY(ui_test::dropFiles(f_.list()->viewport(), files).accepted);
    expectRead(document);
}

// File > Open... by the menu or its shortcut, through the open dialog's double.
void Sequence::open() {
    const auto& documents = library_.documents();
    const Document& picked =
        chance(1) ? library_.huge()
                  : documents[static_cast<std::size_t>(pick(static_cast<int>(documents.size())))];
    const Document& document = picked.path.empty() ? documents.front() : picked;
    const bool cancel = chance(15);
    const bool shortcut = chance(50);
    log_ << QStringLiteral("open %1 by %2")
                .arg(cancel ? "nothing" : platform::toQString(document.path.filename()),
                     shortcut ? "Ctrl+O" : "the menu");
    if (!cancel) {
        f_.fakes.openDialog.answer(document.path);
    }
    if (shortcut) {
        activateMain();
        QTest::keySequence(window(), QKeySequence(QStringLiteral("Ctrl+O")));
    } else {
        emit f_.bar()->fileMenu()->aboutToShow();
        f_.item("FileOpen")->trigger();
    }
    ++want_.openDialogs;
    if (!cancel) {
        expectRead(document);
    }
}

void Sequence::expectRead(const Document& document) {
    switch (document.kind) {
        case Document::Kind::Good:
            want_.accept(document.sections, document.filename);
            // What the summary says is the report's business; it must say something, and
            // stay until the next document is read.
            want_.summary = reportStatus()->summary();
            QVERIFY(!want_.summary.isEmpty());
            break;
        case Document::Kind::Refused:
        case Document::Kind::Unreadable:
            ++want_.beeps;
            ++want_.messages;
            QCOMPARE(f_.fakes.messageBox.shown().size(), want_.messages);
            QVERIFY(f_.fakes.messageBox.shown().back().startsWith(
                QString::fromUtf8(salvage::kRefusedMessage)));
            break;
        case Document::Kind::NotAFile:
            break;
    }
}

void Sequence::reportDetails() {
    auto* button = f_.window->findChild<QToolButton*>(QStringLiteral("reportDetails"));
    log_ << QStringLiteral("status bar: Details...");
    if (!button->isVisible()) {
        return;  // no report yet
    }
    moveTo(button, button->rect().center());
    QTest::mouseClick(button, Qt::LeftButton);
    ++want_.reports;
}

void Sequence::clickRow() {
    QTreeView* list = f_.list();
    const int rows = f_.rowCount();
    const bool empty = rows == 0 || chance(15);
    const bool control = chance(25);
    QPoint at;
    std::optional<int> row;
    if (empty) {
        // Below the last row, where there is room.
        const QRect last = rows > 0 ? list->visualRect(rowIndex(rows - 1)) : QRect();
        at = QPoint(list->viewport()->width() / 2, rows > 0 ? last.bottom() + 5 : 10);
        if (!list->viewport()->rect().contains(at)) {
            log_ << QStringLiteral("no empty space to click");
            return;
        }
        log_ << QStringLiteral("click empty space");
    } else {
        row = pick(rows);
        list->scrollTo(rowIndex(*row));
        at = list->visualRect(rowIndex(*row)).center();
        log_ << QStringLiteral("%1click row %2").arg(control ? "ctrl+" : "").arg(*row);
    }
    moveTo(list->viewport(), at);
    // A long list may finish laying out its rows only now, so the row aimed at may have moved
    // away from the pointer: what counts is the row under it when the button goes down.
    if (const QModelIndex under = list->indexAt(at); under.isValid()) {
        row = under.row();
    } else {
        row.reset();
    }
    log_.back() += QStringLiteral(" (clicked row %1)").arg(row.value_or(-1));
    QTest::mouseClick(list->viewport(), Qt::LeftButton,
                      control ? Qt::ControlModifier : Qt::NoModifier, at);
    if (!row || (control && want_.selected == row)) {
        // As in any list, a click beside the rows, or a control-click on the selected row,
        // leaves no row selected; only a change of selection empties the text area.
        if (want_.selected) {
            want_.select(std::nullopt);
        }
    } else if (want_.selected != row) {
        want_.select(row);
    }
}

// A document dropped on the text area, a button, the label or the bare window: only the
// list takes documents.
void Sequence::dropBesideTheList() {
    QWidget* const targets[] = {f_.text()->viewport(), f_.saveAllButton(), f_.saveOneButton(),
                                window()->findChild<QWidget*>(QStringLiteral("StaticText1")),
                                window()->centralWidget()};
    QWidget* target = targets[pick(5)];
    const Document& document = library_.documents().front();
    log_ << QStringLiteral("drop %1 on %2")
                .arg(platform::toQString(document.path.filename()), target->objectName());
    QVERIFY(!ui_test::dropFiles(target, {document.path}).accepted);
}

// Which row keys and drags select is the list's own business; what is checked is what the
// window makes of the selection it ends with.
void Sequence::followListSelection() {
    const int selected = f_.selectedRow();
    const std::optional<int> row = selected < 0 ? std::nullopt : std::optional<int>(selected);
    if (selectionChanges_ > 0) {
        want_.select(row);
    }
    selectionChanges_ = 0;
}

void Sequence::useListKeys() {
    static constexpr std::array keys = {Qt::Key_Down,     Qt::Key_Up,    Qt::Key_Home, Qt::Key_End,
                                        Qt::Key_PageDown, Qt::Key_Space, Qt::Key_D,    Qt::Key_H};
    const Qt::Key key = keys[static_cast<std::size_t>(pick(static_cast<int>(keys.size())))];
    const bool control = chance(20);
    log_ << QStringLiteral("key %1%2 in the list")
                .arg(control ? "ctrl+" : "", QKeySequence(key).toString());
    activateMain();
    f_.list()->setFocus(Qt::TabFocusReason);
    QTest::keyClick(f_.list(), key, control ? Qt::ControlModifier : Qt::NoModifier);
    followListSelection();
}

void Sequence::dragAcrossRows() {
    QTreeView* list = f_.list();
    const int rows = f_.rowCount();
    if (rows == 0) {
        log_ << QStringLiteral("no rows to drag across");
        return;
    }
    const int from = pick(rows);
    const int to = std::clamp(from + pick(9) - 4, 0, rows - 1);
    list->scrollTo(rowIndex(from));
    const QPoint start = list->visualRect(rowIndex(from)).center();
    QPoint end = list->visualRect(rowIndex(to)).center();
    if (!list->viewport()->rect().contains(end)) {
        end = start + QPoint(3, 0);
    }
    log_ << QStringLiteral("drag from row %1 to %2,%3").arg(from).arg(end.x()).arg(end.y());
    moveTo(list->viewport(), start);
    QTest::mousePress(list->viewport(), Qt::LeftButton, Qt::NoModifier, start);
    followListSelection();
    QTest::mouseMove(list->viewport(), end);
    followListSelection();
    QTest::mouseRelease(list->viewport(), Qt::LeftButton, Qt::NoModifier, end);
    followListSelection();
}

void Sequence::resizeWindow() {
    const QSize size(300 + pick(600), 250 + pick(450));
    log_ << QStringLiteral("resize to %1x%2").arg(size.width()).arg(size.height());
    window()->resize(size);
    QCoreApplication::processEvents();
    if (want_.helpOpen) {
        placeHelpBeside();
    }
}

// Beside the main window, so that pointer moves over the main window stay there.
void Sequence::placeHelpBeside() {
    helpWindow::instance()->move(window()->frameGeometry().topRight() + QPoint(40, 0));
}

void Sequence::movePointer() {
    const QRect area = window()->rect();
    const QPoint at(pick(area.width()), pick(area.height()));
    log_ << QStringLiteral("move pointer to %1,%2").arg(at.x()).arg(at.y());
    moveTo(window(), at);
}

void Sequence::edit() {
    activateMain();
    f_.text()->setFocus(Qt::OtherFocusReason);
    const int what = pick(6);
    if (chance(50)) {
        editByKeys(what);
    } else {
        editByMenu(what);
    }
}

void Sequence::editByKeys(int what) {
    QPlainTextEdit* text = f_.text();
    const auto key = [text](Qt::Key k, Qt::KeyboardModifiers m = Qt::NoModifier) {
        QTest::keyClick(text, k, m);
    };
    const QString before = want_.text;
    switch (what) {
        case 0: {
            log_ << QStringLiteral("keys: type at the end");
            key(Qt::Key_End, Qt::ControlModifier);
            QTest::keyClicks(text, QStringLiteral("typed words"));
            key(Qt::Key_Return);
            want_.text += QStringLiteral("typed words\n");
            break;
        }
        case 1:
            log_ << QStringLiteral("keys: select all, delete");
            key(Qt::Key_A, Qt::ControlModifier);
            key(Qt::Key_Delete);
            want_.text.clear();
            break;
        case 2:
        case 3: {
            const QString clip = clipboardText(pick(5));
            QApplication::clipboard()->setText(clip);
            const bool replace = what == 2;
            log_ << QStringLiteral("keys: %1paste %2").arg(replace ? "select all, " : "", clip);
            key(replace ? Qt::Key_A : Qt::Key_End, Qt::ControlModifier);
            key(Qt::Key_V, Qt::ControlModifier);
            want_.text = (replace ? QString() : want_.text) + abuse::asInserted(clip);
            break;
        }
        case 4:
            log_ << QStringLiteral("keys: select all, cut");
            key(Qt::Key_A, Qt::ControlModifier);
            key(Qt::Key_X, Qt::ControlModifier);
            want_.text.clear();
            break;
        default:
            log_ << QStringLiteral("keys: undo");
            key(Qt::Key_Z, Qt::ControlModifier);
            want_.text =
                text->document()->toRawText().replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
            break;
    }
    want_.edited = want_.edited || want_.text != before;
}

void Sequence::editByMenu(int what) {
    MenuBar1* bar = f_.bar();
    const auto choose = [bar](const char* name) {
        emit bar->editMenu()->aboutToShow();
        QAction* item = bar->item(QString::fromLatin1(name));
        if (item->isEnabled()) {
            item->trigger();
        }
    };
    const QString before = want_.text;
    switch (what) {
        case 0:
        case 1:
            log_ << QStringLiteral("menu: Select All, Delete");
            choose("EditSelectAll");
            choose("EditClear");
            want_.text.clear();
            break;
        case 2:
        case 3: {
            const QString clip = clipboardText(pick(5));
            QApplication::clipboard()->setText(clip);
            log_ << QStringLiteral("menu: Select All, Paste %1").arg(clip);
            choose("EditSelectAll");
            choose("EditPaste");
            want_.text = abuse::asInserted(clip);
            break;
        }
        case 4:
            log_ << QStringLiteral("menu: Select All, Cut");
            choose("EditSelectAll");
            choose("EditCut");
            want_.text.clear();
            break;
        default:
            log_ << QStringLiteral("menu: Undo");
            choose("EditUndo");
            want_.text = f_.text()->document()->toRawText().replace(QChar::ParagraphSeparator,
                                                                    QLatin1Char('\n'));
            break;
    }
    want_.edited = want_.edited || want_.text != before;
}

void Sequence::save() {
    const bool all = chance(50);
    const int way = pick(4);
    static const bool deviceFull = std::filesystem::is_character_file("/dev/full");
    auto answer = static_cast<Answer>(pick(6));
    if (answer == Answer::DeviceFull && !deviceFull) {
        answer = Answer::Cancel;
    }
    std::filesystem::path target;
    switch (answer) {
        case Answer::Good:
            target = f_.path("saved-" + std::to_string(pick(3)) + ".txt");
            break;
        case Answer::UnderAFile:
            target = f_.path("plain") / "out.txt";
            break;
        case Answer::MissingFolder:
            target = f_.path("missing") / "out.txt";
            break;
        case Answer::DeviceFull:
            target = "/dev/full";
            break;
        case Answer::Folder:
            target = f_.path("folder");
            break;
        case Answer::Cancel:
            break;
    }
    static const char* const ways[] = {"button", "menu", "shortcut", "space on the button"};
    log_ << QStringLiteral("save %1 by %2 to %3")
                .arg(all ? "all" : "one", ways[way],
                     answer == Answer::Cancel ? "cancel" : platform::toQString(target));

    QPushButton* button = all ? f_.saveAllButton() : f_.saveOneButton();
    bool asked = false;
    if (way == 0) {
        moveTo(button, button->rect().center());
        asked = mayNow(all);
    } else if (way == 1) {
        asked = mayNow(all);
    } else if (way == 2) {
        if (chance(80)) {
            activateMain();
        }
        // The File commands answer their shortcuts from any of the program's windows.
        asked = mayNow(all) && QApplication::activeWindow() != nullptr;
    } else {
        // Reached from the keyboard, the button follows the same rules.
        asked = mayNow(all);
    }
    if (asked && answer != Answer::Cancel) {
        f_.fakes.saveDialog.answer(target);
    }
    const std::vector<std::string> allowed = !asked ? std::vector<std::string>{}
                                             : all  ? std::vector<std::string>{want_.allExport()}
                                                    : want_.oneExports();

    if (way == 0) {
        if (button->isEnabled()) {
            QTest::mouseClick(button, Qt::LeftButton);
        }
    } else if (way == 1) {
        emit f_.bar()->fileMenu()->aboutToShow();
        f_.item(all ? "FileSaveAllSections" : "FileSaveJustThisSection")->trigger();
    } else if (way == 2) {
        QTest::keySequence(window(), QKeySequence(all ? "Ctrl+S" : "Ctrl+Alt+S"));
    } else if (button->isEnabled()) {
        button->setFocus(Qt::TabFocusReason);
        QTest::keyClick(button, Qt::Key_Space);
    }

    if (!asked) {
        return;
    }
    ++want_.dialogRequests;
    QCOMPARE(f_.fakes.saveDialog.requests().size(), want_.dialogRequests);
    const std::string offered =
        all ? salvage::defaultSaveAllName(want_.filename)
            : salvage::defaultSaveOneName(
                  want_.selected ? (*want_.sections)[std::size_t(*want_.selected)].name : "");
    QCOMPARE(f_.fakes.saveDialog.requests().back().defaultName, abuse::decoded(offered));
    if (answer == Answer::Cancel) {
        return;
    }
    if (answer == Answer::Good) {
        const std::string written = ui_test::readFile(target);
        QVERIFY2(std::ranges::find(allowed, written) != allowed.end(),
                 "the saved file does not hold what was to be saved");
        want_.files[target] = written;
        return;
    }
    if (answer == Answer::DeviceFull && std::ranges::all_of(allowed, &std::string::empty)) {
        return;  // nothing to write, so nothing fails: a full device takes no bytes fine
    }
    ++want_.messages;
    QCOMPARE(f_.fakes.messageBox.shown().size(), want_.messages);
    const QString message = f_.fakes.messageBox.shown().back();
    QVERIFY2(message.startsWith(QStringLiteral("The file was not saved.")) &&
                 message.contains(platform::toQString(target)),
             qPrintable(message));
}

void Sequence::windows() {
    const int what = pick(3);
    if (what == 0) {
        log_ << QStringLiteral("menu: Technical Details");
        emit f_.bar()->helpMenu()->aboutToShow();
        f_.item("HelpTechnicalDetails")->trigger();
        placeHelpBeside();
        want_.helpOpen = true;
    } else if (what == 1) {
        log_ << QStringLiteral("close Technical Details");
        if (want_.helpOpen) {
            helpWindow::instance()->close();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            want_.helpOpen = false;
        }
    } else {
        log_ << QStringLiteral("menu: About");
        f_.item("FileAboutQLVodadov")->trigger();
        ++want_.aboutBoxes;
    }
}

}  // namespace abuse
