#pragma once

#include <QWidget>
#include <filesystem>
#include <memory>
#include <vector>

#include "salvage/report.h"
#include "salvage/section_map.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTableView;

namespace ui {

// What the damaged-lines page shows, copied out of a report: the page may outlive the
// document (a reading in the background can replace it while the page is open).
struct DamagedLinesData {
    std::filesystem::path file;     // where the document was read from
    salvage::SalvageReport report;  // the file's stamp and the damaged lines only
    std::vector<QString> sections;  // for each damaged line, its section's name, or empty
};

DamagedLinesData damagedLinesOf(const salvage::SalvageReport& report,
                                const salvage::SectionMap& contents,
                                const std::filesystem::path& file);

// A table of the lines the reading skipped or decoded with damage (line, section, what
// happened) and, for the row chosen, the line's bytes as the file holds them, escaped, with a
// button that copies them.
class DamagedLinesView : public QWidget {
    Q_OBJECT

  public:
    DamagedLinesView(std::shared_ptr<const DamagedLinesData> lines, QWidget* parent = nullptr);

  private:
    void showBytes(int row);

    std::shared_ptr<const DamagedLinesData> data_;
    QLabel* count_;
    QTableView* table_;
    QPlainTextEdit* bytes_;
    QPushButton* copy_;
};

}  // namespace ui
