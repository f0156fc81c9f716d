#include "ui/window1.h"

#include <QAction>
#include <QCloseEvent>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QShortcut>
#include <QStatusBar>
#include <QTextDocument>
#include <QTreeView>
#include <stdexcept>

#include "carved_documents_model.h"
#include "filetypes/file_types.h"
#include "filter_header.h"
#include "platform/paths.h"
#include "salvage/export.h"
#include "salvage/reader.h"
#include "salvage/report_status_line.h"
#include "salvage/report_text.h"
#include "salvage/text_file.h"
#include "section_list_model.h"
#include "ui/app.h"
#include "ui/background_reading.h"
#include "ui/carve_window.h"
#include "ui/damaged_lines_view.h"
#include "ui/edge_lock_layout.h"
#include "ui/file_drop_target.h"
#include "ui/find_bar.h"
#include "ui/help_window.h"
#include "ui/menu_bar1.h"
#include "ui/reading_progress.h"
#include "ui/refusal_detail.h"
#include "ui/report_status.h"
#include "ui/save_folder.h"
#include "ui/text_area.h"
#include "ui/text_area_content.h"
#include "ui/using_window.h"
#include "ui/view_commands.h"

namespace {

QPointer<Window1> openInstance;

// A new window is shown; an open one comes to the front.
void showInFront(QWidget* window) {
    window->show();
    window->raise();
    window->activateWindow();
}

const QString kIntroduction = QStringLiteral(
    "QL Vodadov is a simple program for extracting the basic text from corrupt .qlx "
    "(Quillora 1.5) or .qll (Quillora Light) files. Simply drag a Quillora file to the "
    "listbox on the left to see its recovered contents.");

QString fromBytes(std::string_view bytes) {
    return platform::fromUtf8Bytes(bytes);
}

// The open dialog's choices: both kinds of Quillora document together, first, so that neither
// kind is hidden at the start; then each kind as registered; then any file.
QStringList documentFilters(const filetypes::Registry& registry) {
    QStringList patterns;
    QStringList filters;
    for (const FileTypes::Definition& type : {FileTypes::kQuillora15, FileTypes::kQuilloraLight}) {
        if (const filetypes::RegisteredType* registered = registry.find(type.name);
            registered != nullptr && !registered->extension.empty()) {
            patterns << QStringLiteral("*.") + QString::fromStdString(registered->extension);
            filters << QString::fromStdString(registry.nameFilter(type.name));
        }
    }
    if (patterns.size() > 1) {
        filters.prepend(QStringLiteral("Quillora documents (%1)").arg(patterns.join(u' ')));
    }
    filters << QStringLiteral("All files (*)");
    return filters;
}

}  // namespace

Window1::Window1(platform::Services services, filetypes::Registry& registry)
    : QMainWindow(nullptr), services_(services), registry_(registry) {
    session_.setThreads(session::availableCores());
    Layout();
    CreateControls();
    AddMenuHandlers();
    watchPointer();
    show();
}

// The list's rows point into the session's document, which goes before the window's children
// do: the list must hold no rows by then.
Window1::~Window1() {
    delete carveWindow_.data();
    sectionNames->setContents(nullptr);
}

Window1* Window1::instance() {
    if (openInstance.isNull()) {
        App* app = App::instance();
        if (app == nullptr) {
            throw std::logic_error("The main window needs the application object");
        }
        openInstance = new Window1(app->services());
    }
    return openInstance.data();
}

void Window1::release() {
    delete openInstance.data();
}

void Window1::Layout() {
    setMenuBar(MenuBar1::instance());
    setObjectName(QStringLiteral("Window1"));
    setWindowTitle(QStringLiteral("QL Vodadov"));
    // No close button and no maximise button: the window lives for the whole run.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint);
    setMaximumSize(32000, 32000);
}

void Window1::CreateControls() {
    auto* content = new QWidget(this);
    content->setObjectName(QStringLiteral("content"));
    auto* layout = new ui::EdgeLockLayout(content, QSize(600, 432), QSize(400, 300));
    setCentralWidget(content);
    using ui::LockBottom, ui::LockLeft, ui::LockRight, ui::LockTop;

    StaticText1 = new QLabel(kIntroduction, content);
    StaticText1->setObjectName(QStringLiteral("StaticText1"));
    StaticText1->setWordWrap(true);
    StaticText1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    StaticText1->setTextFormat(Qt::PlainText);
    QFont small = StaticText1->font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    StaticText1->setFont(small);
    QPalette black = StaticText1->palette();
    black.setColor(QPalette::WindowText, Qt::black);
    StaticText1->setPalette(black);
    layout->addWidget(StaticText1, QRect(20, 14, 507, 49), LockLeft | LockTop | LockRight);

    sectionText = ui::makeTextArea(content, QStringLiteral("sectionText"));
    findBar = new ui::FindBar(sectionText);
    layout->addWidget(sectionText, QRect(187, 75, 393, 305),
                      LockLeft | LockTop | LockRight | LockBottom);

    sectionList = new QTreeView(content);
    sectionList->setObjectName(QStringLiteral("sectionList"));
    auto* filterHeader = new ui::FilterHeader(sectionList);
    sectionList->setHeader(filterHeader);
    sectionFilter = filterHeader->field();
    sectionFilter->setObjectName(QStringLiteral("sectionFilter"));
    sectionFilter->setPlaceholderText(QStringLiteral("Filter sections"));
    sectionFilter->setToolTip(
        QStringLiteral("Lists only the sections whose name or text holds this, in any case "
                       "(Ctrl+Shift+F). Save All Sections... still saves every section."));
    connect(sectionFilter, &QLineEdit::textChanged, this, &Window1::sectionFilter_Change);
    auto* focusFilter = new QShortcut(QKeySequence(QStringLiteral("Ctrl+Shift+F")), this);
    connect(focusFilter, &QShortcut::activated, this, [this] {
        sectionFilter->setFocus(Qt::ShortcutFocusReason);
        sectionFilter->selectAll();
    });
    sectionNames = new ui::SectionListModel(sectionList);
    sectionList->setModel(sectionNames);
    sectionList->setRootIsDecorated(false);
    sectionList->setItemsExpandable(false);
    sectionList->setUniformRowHeights(true);  // keeps a million rows quick
    sectionList->setSelectionMode(QAbstractItemView::SingleSelection);
    sectionList->setSortingEnabled(false);
    sectionList->setDragEnabled(false);
    sectionList->setDragDropMode(QAbstractItemView::NoDragDrop);
    sectionList->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    sectionList->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    sectionList->header()->setSectionsClickable(false);
    sectionList->header()->setSectionsMovable(false);
    sectionList->header()->setSectionResizeMode(QHeaderView::Stretch);
    layout->addWidget(sectionList, QRect(20, 75, 155, 305), LockLeft | LockTop | LockBottom);
    sectionList_Open();
    connect(sectionList->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &Window1::sectionList_Change);

    saveAllButton = new QPushButton(QStringLiteral("Save All Sections..."), content);
    saveAllButton->setObjectName(QStringLiteral("saveAllButton"));
    saveAllButton->setEnabled(false);
    saveAllButton->setAutoDefault(false);
    layout->addWidget(saveAllButton, QRect(20, 392, 155, 20), LockLeft | LockBottom);
    connect(saveAllButton, &QPushButton::clicked, this, &Window1::saveAllButton_Action);

    saveOneButton = new QPushButton(QStringLiteral("Save Just This Section..."), content);
    saveOneButton->setObjectName(QStringLiteral("saveOneButton"));
    saveOneButton->setEnabled(false);
    saveOneButton->setAutoDefault(false);
    layout->addWidget(saveOneButton, QRect(380, 392, 200, 20), LockRight | LockBottom);
    connect(saveOneButton, &QPushButton::clicked, this, &Window1::saveOneButton_Action);

    // The save commands are kept current as the text changes, so that their shortcuts act
    // exactly when the menu would show them enabled.
    connect(sectionText, &QPlainTextEdit::textChanged, this, &Window1::sectionText_Change);

    // Below the controls, so that their area keeps the size it was laid out for; the window
    // grows by the status bar's height instead.
    reportStatus = new ui::ReportStatus(statusBar());
    statusBar()->addWidget(reportStatus, 1);
    sectionCount = new QLabel(statusBar());
    sectionCount->setObjectName(QStringLiteral("sectionCount"));
    statusBar()->addPermanentWidget(sectionCount);
    sectionCount->hide();
    connect(reportStatus, &ui::ReportStatus::detailsRequested, this, &Window1::showReportDetails);
    connect(reportStatus, &ui::ReportStatus::thoroughReadingRequested, this,
            &Window1::acceptThoroughOffer);
    readingStatus = new ui::ReadingProgress(statusBar());
    statusBar()->addPermanentWidget(readingStatus);
    connect(readingStatus, &ui::ReadingProgress::cancelRequested, this, &Window1::cancelReading);
    backgroundReading = new ui::BackgroundReading(this);
    connect(backgroundReading, &ui::BackgroundReading::finished, this,
            &Window1::backgroundReadingEnded);

    resize(600, 432 + menuBar()->sizeHint().height() + statusBar()->sizeHint().height());
}

void Window1::AddMenuHandlers() {
    connect(FileOpen(), &QAction::triggered, this, &Window1::FileOpen_Action);
    connect(static_cast<MenuBar1*>(menuBar())->item(QStringLiteral("FileFindDocuments")),
            &QAction::triggered, this, &Window1::FileFindDocuments_Action);
    connect(FileReadThoroughly(), &QAction::triggered, this, &Window1::FileReadThoroughly_Action);
    connect(FileSaveAllSections(), &QAction::triggered, this, &Window1::FileSaveAllSections_Action);
    connect(FileSaveJustThisSection(), &QAction::triggered, this,
            &Window1::FileSaveJustThisSection_Action);
    connect(HelpTechnicalDetails(), &QAction::triggered, this,
            &Window1::HelpTechnicalDetails_Action);
    auto* bar = static_cast<MenuBar1*>(menuBar());
    connect(bar->item(QStringLiteral("HelpUsing")), &QAction::triggered, this,
            [] { showInFront(ui::UsingWindow::instance()); });
    findBar->bind({bar->item(QStringLiteral("EditFind")), bar->item(QStringLiteral("EditFindNext")),
                   bar->item(QStringLiteral("EditFindPrevious"))});
    new ui::ViewCommands(
        sectionText,
        {bar->item(QStringLiteral("ViewWrapLines")), bar->item(QStringLiteral("ViewZoomIn")),
         bar->item(QStringLiteral("ViewZoomOut")), bar->item(QStringLiteral("ViewActualSize"))});
    connect(bar->fileMenu(), &QMenu::aboutToShow, this, &Window1::Event_EnableMenuItems);
    connect(bar->helpMenu(), &QMenu::aboutToShow, this, &Window1::Event_EnableMenuItems);
    Event_EnableMenuItems();
}

// Pointer movement over any control counts as movement in the window, so that reaching a
// button updates it before it can be clicked. Disabled controls get no mouse events of their
// own, but their event filters still see them.
void Window1::watchPointer() {
    const auto watch = [this](QWidget* widget) {
        widget->setMouseTracking(true);
        widget->installEventFilter(this);
    };
    watch(this);
    for (QWidget* child : findChildren<QWidget*>()) {
        watch(child);
    }
}

bool Window1::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseMove) {
        const auto* move = static_cast<QMouseEvent*>(event);
        const QPoint position = mapFromGlobal(move->globalPosition().toPoint());
        Event_MouseMove(position.x(), position.y());
    }
    return QMainWindow::eventFilter(watched, event);
}

void Window1::closeEvent(QCloseEvent* event) {
    // Many window managers draw a close button whatever the window asks for, and Alt+F4 asks
    // to close too: the user means to leave, so the request quits as File > Quit does.
    if (event->spontaneous()) {
        event->ignore();
        static_cast<MenuBar1*>(menuBar())->item(QStringLiteral("FileQuit"))->trigger();
        return;
    }
    QMainWindow::closeEvent(event);
}

QAction* Window1::HelpTechnicalDetails() const {
    return static_cast<MenuBar1*>(menuBar())->item(QStringLiteral("HelpTechnicalDetails"));
}

QAction* Window1::FileSaveJustThisSection() const {
    return static_cast<MenuBar1*>(menuBar())->item(QStringLiteral("FileSaveJustThisSection"));
}

QAction* Window1::FileSaveAllSections() const {
    return static_cast<MenuBar1*>(menuBar())->item(QStringLiteral("FileSaveAllSections"));
}

QAction* Window1::FileReadThoroughly() const {
    return static_cast<MenuBar1*>(menuBar())->item(QStringLiteral("FileReadThoroughly"));
}

QAction* Window1::FileOpen() const {
    return static_cast<MenuBar1*>(menuBar())->item(QStringLiteral("FileOpen"));
}

// --- the document -------------------------------------------------------------------------

const salvage::SectionMap* Window1::contents() const {
    return session_.document() ? &session_.document()->contents : nullptr;
}

const std::string& Window1::filename() const {
    static const std::string none;
    return session_.document() ? session_.document()->filename : none;
}

const salvage::SalvageReport* Window1::report() const {
    return session_.document() ? &session_.document()->report : nullptr;
}

bool Window1::parseFile(const std::filesystem::path& file) {
    return recordOutcome(file, session_.open(file));
}

bool Window1::recordOutcome(const std::filesystem::path& file,
                            const session::OpenOutcome& outcome) {
    refusalReason_ = outcome.accepted() ? std::string() : outcome.reason;
    lastStatus_ = outcome.status;
    if (outcome.accepted()) {
        documentFolder_ = ui::folderOf(file);
    }
    return outcome.accepted();
}

void Window1::displayFile() {
    filter_.reset();
    if (contents() != nullptr) {
        filter_.emplace(*contents());
    }
    {
        const QSignalBlocker quiet(sectionFilter);
        sectionFilter->clear();
    }
    sectionNames->setContents(contents());
    updateSectionCount();
    sectionText->clear();
    session_.show(std::nullopt);
    Event_EnableMenuItems();
    updateSaveButtons();
}

std::optional<std::size_t> Window1::selectedSection() const {
    const QModelIndexList selected = sectionList->selectionModel()->selectedRows();
    if (selected.isEmpty() || contents() == nullptr) {
        return std::nullopt;
    }
    return sectionNames->sectionAt(selected.front().row());
}

// --- handlers -------------------------------------------------------------------------------

void Window1::sectionList_Open() {
    acceptedFileTypes_ = registry_.resolve(FileTypes::All);
    new ui::FileDropTarget(
        sectionList->viewport(),
        [this](const std::filesystem::path& file) {
            const std::string name = file.filename().string();
            return std::ranges::any_of(acceptedFileTypes_,
                                       [&name](const auto& type) { return type.matches(name); });
        },
        [this](const std::filesystem::path& file) { sectionList_DropObject(file); });
}

void Window1::sectionList_DropObject(const std::filesystem::path& file) {
    openDocument(file);
}

void Window1::openDocument(const std::filesystem::path& file) {
    cancelReading();
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(file, error);
    // What is no regular file is refused without being read: at once, as a small one.
    if (error || size < backgroundFrom_) {
        documentRead(file, session_.open(file));
        return;
    }
    // The document shown stays usable meanwhile, so a save could name this file: it must not
    // replace a document being salvaged, whatever the reading comes to.
    session_.guard().protectPath(file);
    backgroundReading->start(file, session_.readOptions());
    readingStatus->begin(platform::toQString(file.filename()), [this] {
        const ui::BackgroundReading::Progress done = backgroundReading->progress();
        return std::pair{done.read, done.total};
    });
}

bool Window1::isReading() const {
    return backgroundReading->busy();
}

void Window1::cancelReading() {
    backgroundReading->cancel();
    readingStatus->end();
}

void Window1::backgroundReadingEnded() {
    readingStatus->end();
    session::ReadDocument read = backgroundReading->takeResult();
    const std::filesystem::path file = read.file;
    const std::optional<bool> holdsSectionTags = read.holdsSectionTags;
    documentRead(file, session_.adopt(std::move(read)), holdsSectionTags);
}

void Window1::documentRead(const std::filesystem::path& file, const session::OpenOutcome& outcome,
                           std::optional<bool> holdsSectionTags) {
    if (outcome.status == salvage::ReadStatus::Stopped) {
        return;
    }
    if (!recordOutcome(file, outcome)) {
        updateThoroughOffer(file, false, holdsSectionTags);
        showRefusal(file);
        return;
    }
    updateThoroughOffer(file, true);
    displayFile();
    const salvage::SalvageReport& found = *report();
    reportStatus->setSummary(fromBytes(salvage::reportStatusLine(found, contents()->size())));
    if (!found.readError.empty()) {
        // Accepted, but cut short: the user must not take the list for the whole document.
        services_.messageBox.show(
            QStringLiteral("Only part of %1 could be read: %2\nThe sections found before that "
                           "are shown.")
                .arg(platform::toQString(file), fromBytes(found.readError)));
    }
}

void Window1::updateThoroughOffer(const std::filesystem::path& file, bool accepted,
                                  std::optional<bool> holdsSectionTags) {
    if (session_.reading() == salvage::Reading::Thorough) {
        offeredFile_.reset();
        reportStatus->withdrawOffer();
    } else if (accepted) {
        offeredFile_.reset();
        if (session_.thoroughReadingMayFindMore()) {
            reportStatus->offerThoroughReading(QString());
        } else {
            reportStatus->withdrawOffer();
        }
    } else if (lastStatus_ != salvage::ReadStatus::Refused ||
               !(holdsSectionTags ? *holdsSectionTags
                                  : session::DocumentSession::thoroughReadingAccepts(file))) {
        // A file that could not be read at all, or holds nothing to read: whatever was offered
        // for the document shown still stands.
    } else {
        offeredFile_ = file;
        reportStatus->offerThoroughReading(
            QStringLiteral("%1 holds section tags:").arg(platform::toQString(file.filename())));
    }
}

void Window1::acceptThoroughOffer() {
    FileReadThoroughly()->setChecked(true);
    session_.setReading(salvage::Reading::Thorough);
    if (offeredFile_) {
        const std::filesystem::path file = *offeredFile_;
        openDocument(file);
    } else {
        readAgain();
    }
}

void Window1::readAgain() {
    // The document on its way is the one to read as now chosen, not the one it will replace.
    if (isReading()) {
        const std::filesystem::path file = backgroundReading->file();
        openDocument(file);
    } else if (session_.document() && !session_.documentPath().empty()) {
        const std::filesystem::path file = session_.documentPath();
        openDocument(file);
    } else {
        offeredFile_.reset();
        reportStatus->withdrawOffer();
    }
}

void Window1::showReportDetails() {
    if (report() == nullptr) {
        return;
    }
    const auto damaged = std::make_shared<const ui::DamagedLinesData>(
        ui::damagedLinesOf(*report(), *contents(), session_.documentPath()));
    services_.textViewer.show(
        QStringLiteral("Salvage report: ") + fromBytes(filename()),
        fromBytes(salvage::describeReport(*report(), *contents())),
        {{QStringLiteral("Damaged lines"),
          [damaged](QWidget* parent) { return new ui::DamagedLinesView(damaged, parent); }}},
        QStringLiteral("Report"));
}

void Window1::showRefusal(const std::filesystem::path& file) {
    services_.beeper.beep();
    services_.messageBox.warn(fromBytes(salvage::kRefusedMessage),
                              ui::refusalDetail(file, refusalReason_));
}

void Window1::sectionList_Change() {
    if (applyingFilter_) {
        return;  // the text shown, and any edit of it, stay
    }
    const std::optional<std::size_t> selected = selectedSection();
    if (selected) {
        ui::setAreaText(sectionText, fromBytes((*contents())[*selected].text));
    } else {
        sectionText->clear();
    }
    // A row the filter listed opens at what it was listed for.
    if (selected && !sectionFilter->text().isEmpty()) {
        findBar->showPhrase(sectionFilter->text());
    }
    // From here on, a change is the user's edit.
    sectionText->document()->setModified(false);
    session_.show(selected);
    Event_EnableMenuItems();
    updateSaveButtons();
}

void Window1::sectionFilter_Change() {
    if (!filter_) {
        return;
    }
    const QByteArray phrase = sectionFilter->text().toUtf8();
    // The section shown keeps its row, when the filter lists it, and its text and edits
    // whether it does or not.
    const std::optional<std::size_t> shown = session_.shownSection();
    applyingFilter_ = true;
    if (phrase.isEmpty()) {
        sectionNames->setShown(std::nullopt);
    } else {
        sectionNames->setShown(filter_->match(
            std::string_view(phrase.constData(), static_cast<std::size_t>(phrase.size()))));
    }
    if (const std::optional<int> row = shown ? sectionNames->rowOf(*shown) : std::nullopt) {
        const QModelIndex index = sectionNames->index(*row);
        sectionList->setCurrentIndex(index);
        sectionList->scrollTo(index);
    }
    applyingFilter_ = false;
    updateSectionCount();
}

void Window1::updateSectionCount() {
    if (!sectionNames->filtered() || contents() == nullptr) {
        sectionCount->hide();
        return;
    }
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    sectionCount->setText(
        QStringLiteral("%1 of %2 sections")
            .arg(english.toString(static_cast<qulonglong>(sectionNames->rowCount())),
                 english.toString(static_cast<qulonglong>(contents()->size()))));
    sectionCount->show();
}

// The save commands are kept current as the text changes, so that their shortcuts act exactly
// when the menu would show them enabled.
void Window1::sectionText_Change() {
    session_.textChanged(sectionText->document()->isEmpty(), sectionText->document()->isModified());
    Event_EnableMenuItems();
    updateSaveButtons();
}

std::optional<std::filesystem::path> Window1::askSavePath(std::string_view defaultName) {
    std::string filter;
    if (filetypes::FileType* simpletext = FileTypes::Simpletext()) {
        filter = registry_.nameFilter(static_cast<std::string>(*simpletext));
    }
    return services_.saveDialog.askSavePath(QString::fromStdString(filter), fromBytes(defaultName),
                                            ui::saveStartFolder(documentFolder_));
}

void Window1::save(const std::filesystem::path& file, const kestLibrary::TextPieces& pieces) {
    if (const auto error = session_.save(file, pieces)) {
        services_.messageBox.show(QStringLiteral("The file was not saved.\n\n") +
                                  fromBytes(error->message()));
    }
}

void Window1::saveAllButton_Action() {
    if (!session_.document()) {
        return;
    }
    const auto file = askSavePath(session_.saveAllName());
    if (!file) {
        return;
    }
    save(*file, session_.allSections());
}

void Window1::saveOneButton_Action() {
    const auto file = askSavePath(session_.saveOneName());
    if (!file) {
        return;
    }
    // Until the user edits it, the text is the section's own, byte for byte (written straight
    // from the document), even where it is not valid UTF-8 and shows as U+FFFD.
    if (const auto unchanged = session_.unchangedText()) {
        save(*file, kestLibrary::wholeText(*unchanged));
        return;
    }
    const std::string edited = ui::areaText(sectionText).toUtf8().toStdString();
    save(*file, kestLibrary::wholeText(edited));
}

void Window1::Event_MouseMove(int, int) {
    updateSaveButtons();
}

// Whenever what they depend on changes, and when the pointer moves: a button that looked
// disabled while its command works would tell the user that saving is not possible.
void Window1::updateSaveButtons() {
    if (const auto available = session_.saveAvailability()) {
        saveAllButton->setEnabled(available->all);
        saveOneButton->setEnabled(available->one);
    }
}

void Window1::Event_EnableMenuItems() {
    HelpTechnicalDetails()->setEnabled(true);
    if (const auto available = session_.saveAvailability()) {
        FileSaveAllSections()->setEnabled(available->all);
        FileSaveJustThisSection()->setEnabled(available->one);
    }
}

// Turning the thorough reading on or off reads the document shown again at once; later
// documents are read the same way.
bool Window1::FileReadThoroughly_Action() {
    session_.setReading(FileReadThoroughly()->isChecked() ? salvage::Reading::Thorough
                                                          : salvage::Reading::Plain);
    readAgain();
    return false;
}

bool Window1::FileOpen_Action() {
    if (const auto file = services_.openDialog.askOpenPath(documentFilters(registry_))) {
        openDocument(*file);
    }
    return false;
}

bool Window1::FileFindDocuments_Action() {
    const QStringList filters = {
        QStringLiteral("Disk images (*.img *.dd *.raw *.iso *.bin *.dmg *.vhd *.001)"),
        QStringLiteral("All files and devices (*)")};
    if (const auto source = services_.openDialog.askOpenPath(filters)) {
        findDocumentsIn(*source);
    }
    return false;
}

void Window1::findDocumentsIn(const std::filesystem::path& source) {
    if (carveWindow_.isNull()) {
        carveWindow_ = new ui::CarveWindow(services_.messageBox);
        connect(carveWindow_, &ui::CarveWindow::openRequested, this, &Window1::showFoundDocument);
    }
    // What is read there must never be written to, for the rest of the run.
    session_.guard().protectPath(source);
    carveWindow_->start(source);
    showInFront(carveWindow_);
}

void Window1::showFoundDocument(const std::filesystem::path& source,
                                const salvage::DocumentPlace& place) {
    cancelReading();
    salvage::ParseResult found = salvage::readCarvedDocument(source, place);
    found.document.filename =
        source.filename().string() + " @ " + ui::offsetText(place.offset()).toStdString();
    documentRead(source, session_.adoptFound(std::move(found), source));
}

// The menu commands run the buttons' handlers: both follow the same rules.
bool Window1::FileSaveAllSections_Action() {
    saveAllButton_Action();
    return false;
}

bool Window1::FileSaveJustThisSection_Action() {
    saveOneButton_Action();
    return false;
}

bool Window1::HelpTechnicalDetails_Action() {
    showInFront(helpWindow::instance());
    return false;
}
