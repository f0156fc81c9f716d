#pragma once

#include <QMainWindow>
#include <QPointer>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "filetypes/registry.h"
#include "platform/services.h"
#include "salvage/carve.h"
#include "salvage/report.h"
#include "salvage/section_filter.h"
#include "salvage/section_map.h"
#include "session/document_session.h"
#include "ui/carve_window.h"

class QAction;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTreeView;

namespace ui {
class BackgroundReading;
class FindBar;
class ReadingProgress;
class ReportStatus;
class SectionListModel;
}  // namespace ui

// The main window: drop a document on the list, read and edit its sections, save them.
class Window1 final : public QMainWindow {
    Q_OBJECT
  public:
    explicit Window1(platform::Services services,
                     filetypes::Registry& registry = filetypes::Registry::global());
    ~Window1() override;

    // The open main window, or a new one made with the application's services. Throws
    // std::logic_error when there is no application object.
    static Window1* instance();
    static void release();

    // Reads a document. True when it was accepted: `contents` and `filename` are then the
    // new document's. False when it was refused: nothing changed.
    bool parseFile(const std::filesystem::path& file);
    // Lists the section names of `contents`; clears the text area and the selection.
    void displayFile();
    // A dropped or chosen document: shown when it is accepted, refused with the alert sound
    // and a message otherwise. A large one is read off the window's thread (see
    // isReading()); opening another cancels it.
    void openDocument(const std::filesystem::path& file);
    // Whether a document is being read; the one shown stays until it is accepted.
    bool isReading() const;
    // Forgets the document being read: the window stays as it is.
    void cancelReading();
    // Documents of at least this many bytes are read off the window's thread; smaller ones
    // take a few milliseconds and are read at once.
    static constexpr std::uint64_t kBackgroundReadingFrom = std::uint64_t{8} << 20;
    void setBackgroundReadingFrom(std::uint64_t bytes) { backgroundFrom_ = bytes; }

    // What was found in the last accepted document, and the whole of it in the text viewer.
    const salvage::SalvageReport* report() const;
    void showReportDetails();

    // The section map, null until the first accepted document.
    const salvage::SectionMap* contents() const;
    const std::string& filename() const;
    // The document, the section shown and the rules for saving, which the window shows.
    const session::DocumentSession& session() const { return session_; }

    // The file types the list takes drops of, resolved when the list was set up.
    const std::vector<filetypes::RegisteredType>& acceptedFileTypes() const {
        return acceptedFileTypes_;
    }

    // Handlers, named after the control and its event.
    void sectionList_Open();
    void sectionList_DropObject(const std::filesystem::path& file);
    void sectionList_Change();
    // The filter field above the list changed: the list shows the sections that hold it.
    void sectionFilter_Change();
    void saveAllButton_Action();
    void saveOneButton_Action();
    void Event_MouseMove(int x, int y);
    void Event_EnableMenuItems();
    bool FileOpen_Action();
    // File > Find Documents in Disk Image...: asks for an image or device and looks through it
    // in the "Documents Found" window.
    bool FileFindDocuments_Action();
    // Looks through `source` for documents, in the "Documents Found" window.
    void findDocumentsIn(const std::filesystem::path& source);
    // The "Documents Found" window, while it is open.
    ui::CarveWindow* carveWindow() const { return carveWindow_; }
    // Shows the document found at `place` in `source` as any document read.
    void showFoundDocument(const std::filesystem::path& source,
                           const salvage::DocumentPlace& place);
    bool FileReadThoroughly_Action();
    bool FileSaveAllSections_Action();
    bool FileSaveJustThisSection_Action();
    bool HelpTechnicalDetails_Action();

    QAction* HelpTechnicalDetails() const;
    QAction* FileSaveJustThisSection() const;
    QAction* FileSaveAllSections() const;
    QAction* FileOpen() const;
    QAction* FileReadThoroughly() const;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void Layout();
    void CreateControls();
    void AddMenuHandlers();
    void watchPointer();

    std::optional<std::size_t> selectedSection() const;
    // What parseFile() keeps of a reading; false unless it was accepted.
    bool recordOutcome(const std::filesystem::path& file, const session::OpenOutcome& outcome);
    // The end of openDocument(), however the document was read.
    // `holdsSectionTags`: for a refused file, whether it holds a section tag, if already known.
    void documentRead(const std::filesystem::path& file, const session::OpenOutcome& outcome,
                      std::optional<bool> holdsSectionTags = std::nullopt);
    void backgroundReadingEnded();
    // The status bar's offer of the thorough reading, after `file` was read or refused.
    void updateThoroughOffer(const std::filesystem::path& file, bool accepted,
                             std::optional<bool> holdsSectionTags = std::nullopt);
    void acceptThoroughOffer();
    // Reads the document shown again, as documents are now read.
    void readAgain();
    void sectionText_Change();
    void updateSectionCount();
    void updateSaveButtons();
    void showRefusal(const std::filesystem::path& file);
    std::optional<std::filesystem::path> askSavePath(std::string_view defaultName);
    void save(const std::filesystem::path& file, const kestLibrary::TextPieces& pieces);

    platform::Services services_;
    filetypes::Registry& registry_;

    session::DocumentSession session_;
    // Why the last refused document was refused, where the reader could tell.
    std::string refusalReason_;
    salvage::ReadStatus lastStatus_ = salvage::ReadStatus::Refused;
    // A refused file that the thorough reading would read, while the status bar offers it.
    std::optional<std::filesystem::path> offeredFile_;
    // Where the last accepted document lies: the save dialogs start there.
    std::filesystem::path documentFolder_;
    std::vector<filetypes::RegisteredType> acceptedFileTypes_;
    std::uint64_t backgroundFrom_ = kBackgroundReadingFrom;

    QLabel* StaticText1 = nullptr;
    QPlainTextEdit* sectionText = nullptr;
    ui::FindBar* findBar = nullptr;
    QTreeView* sectionList = nullptr;
    QLineEdit* sectionFilter = nullptr;
    QLabel* sectionCount = nullptr;
    // Made anew for each document listed.
    std::optional<salvage::SectionFilter> filter_;
    // While the filter changes the rows, a selection that comes and goes is not the user's.
    bool applyingFilter_ = false;
    ui::SectionListModel* sectionNames = nullptr;
    QPushButton* saveAllButton = nullptr;
    QPushButton* saveOneButton = nullptr;
    ui::ReportStatus* reportStatus = nullptr;
    ui::ReadingProgress* readingStatus = nullptr;
    ui::BackgroundReading* backgroundReading = nullptr;
    QPointer<ui::CarveWindow> carveWindow_;
};
