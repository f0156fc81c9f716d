#pragma once

#include <QFutureWatcher>
#include <QMainWindow>
#include <atomic>
#include <filesystem>
#include <memory>
#include <vector>

#include "salvage/carve.h"

class QLabel;
class QProgressBar;
class QPushButton;
class QTableView;

namespace platform {
class MessageBox;
}

namespace ui {

class CarvedDocumentsModel;

// "Documents Found": looks through a disk image or device for documents where no file is left,
// in the background, and lists what it finds (name, offset, size, sections, damage) as it goes.
// Opening a row asks for that document to be shown; nothing is written anywhere.
class CarveWindow final : public QMainWindow {
    Q_OBJECT

  public:
    explicit CarveWindow(platform::MessageBox& messages, QWidget* parent = nullptr);
    // Stops a carving still running and waits for its thread.
    ~CarveWindow() override;

    // Looks through `source`, after stopping any carving still running; the list starts empty.
    void start(const std::filesystem::path& source);
    void cancel();
    bool busy() const { return watcher_.isRunning(); }

    const std::filesystem::path& source() const { return source_; }
    // The place of the document in row `row`.
    const salvage::DocumentPlace& place(int row) const;

  signals:
    // The user asked to see the document at `place` in `source`.
    void openRequested(const std::filesystem::path& source, const salvage::DocumentPlace& place);
    // The carving ended (finished, cancelled or failed) and the list is final.
    void carvingEnded();

  private:
    void openRow(int row);
    void ended();

    platform::MessageBox& messages_;
    std::filesystem::path source_;
    std::shared_ptr<std::atomic<bool>> stop_;
    QFutureWatcher<salvage::CarveSummary> watcher_;
    CarvedDocumentsModel* model_;
    QLabel* status_;
    QProgressBar* progress_;
    QPushButton* cancel_;
    QTableView* table_;
    QPushButton* open_;
};

}  // namespace ui
