#include "ui/damaged_lines_view.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QClipboard>
#include <QFontDatabase>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTableView>
#include <QVBoxLayout>

#include "salvage/damaged_lines.h"

namespace ui {
namespace {

// Enough of a line to tell what happened to it; the rest is counted.
constexpr std::size_t kShownBytes = 64 * 1024;
// A section's name as a row shows it: a damaged name can run to a whole line.
constexpr qsizetype kShownNameLength = 200;

class DamagedLinesModel final : public QAbstractTableModel {
  public:
    DamagedLinesModel(std::shared_ptr<const DamagedLinesData> data, QObject* parent)
        : QAbstractTableModel(parent), data_(std::move(data)) {}

    int rowCount(const QModelIndex& parent) const override {
        return parent.isValid() ? 0 : static_cast<int>(data_->report.damagedLines.size());
    }
    int columnCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : 3; }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
            return {};
        }
        switch (section) {
            case 0:
                return QStringLiteral("Line");
            case 1:
                return QStringLiteral("Section");
            default:
                return QStringLiteral("What happened");
        }
    }

    QVariant data(const QModelIndex& index, int role) const override {
        if (role != Qt::DisplayRole || !index.isValid()) {
            return {};
        }
        const auto row = static_cast<std::size_t>(index.row());
        switch (index.column()) {
            case 0:
                return QVariant::fromValue(data_->report.damagedLines[row].line);
            case 1:
                return data_->sections[row];
            default:
                return QString::fromStdString(
                    salvage::describeDamage(data_->report.damagedLines[row]));
        }
    }

  private:
    std::shared_ptr<const DamagedLinesData> data_;
};

QString countText(const salvage::SalvageReport& report) {
    const QLocale locale;
    const std::size_t listed = report.damagedLines.size();
    const std::size_t all = listed + report.damagedLinesNotListed;
    if (all == 0) {
        return QStringLiteral("No line was skipped or decoded with damage.");
    }
    if (listed == all) {
        return all == 1 ? QStringLiteral("1 damaged line")
                        : QStringLiteral("%1 damaged lines").arg(locale.toString(qulonglong{all}));
    }
    return QStringLiteral("%1 of %2 damaged lines listed")
        .arg(locale.toString(qulonglong{listed}), locale.toString(qulonglong{all}));
}

}  // namespace

DamagedLinesData damagedLinesOf(const salvage::SalvageReport& report,
                                const salvage::SectionMap& contents,
                                const std::filesystem::path& file) {
    DamagedLinesData data;
    data.file = file;
    data.report.file = report.file;
    data.report.damagedLinesInFileBytes = report.damagedLinesInFileBytes;
    data.report.damagedLines = report.damagedLines;
    data.report.damagedLinesNotListed = report.damagedLinesNotListed;
    data.sections.reserve(report.damagedLines.size());
    for (const salvage::SalvageReport::DamagedLine& line : report.damagedLines) {
        if (line.section == salvage::SalvageReport::DamagedLine::kNoSection) {
            data.sections.emplace_back();
        } else {
            const std::string_view name = contents[line.section].name;
            data.sections.push_back(
                QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()))
                    .left(kShownNameLength));
        }
    }
    return data;
}

DamagedLinesView::DamagedLinesView(std::shared_ptr<const DamagedLinesData> lines, QWidget* parent)
    : QWidget(parent), data_(std::move(lines)) {
    setObjectName(QStringLiteral("damagedLines"));
    count_ = new QLabel(countText(data_->report), this);
    count_->setObjectName(QStringLiteral("damagedLinesCount"));

    table_ = new QTableView(this);
    table_->setObjectName(QStringLiteral("damagedLinesTable"));
    table_->setModel(new DamagedLinesModel(data_, table_));
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->verticalHeader()->hide();
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->setWordWrap(false);

    bytes_ = new QPlainTextEdit(this);
    bytes_->setObjectName(QStringLiteral("damagedLineBytes"));
    bytes_->setReadOnly(true);
    bytes_->setAccessibleName(QStringLiteral("The line's bytes"));
    bytes_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));

    copy_ = new QPushButton(QStringLiteral("Copy"), this);
    copy_->setObjectName(QStringLiteral("copyDamagedLine"));
    copy_->setToolTip(QStringLiteral("Copy the line's bytes, escaped as shown"));
    copy_->setEnabled(false);

    auto* split = new QSplitter(Qt::Vertical, this);
    split->addWidget(table_);
    split->addWidget(bytes_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(count_);
    layout->addWidget(split, 1);
    layout->addWidget(copy_, 0, Qt::AlignRight);

    connect(table_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) { showBytes(current.row()); });
    connect(copy_, &QPushButton::clicked, this,
            [this] { QApplication::clipboard()->setText(bytes_->toPlainText()); });
    if (!data_->report.damagedLines.empty()) {
        table_->selectRow(0);
    }
}

void DamagedLinesView::showBytes(int row) {
    if (row < 0 || static_cast<std::size_t>(row) >= data_->report.damagedLines.size()) {
        bytes_->clear();
        copy_->setEnabled(false);
        return;
    }
    const salvage::LineBytes read = salvage::readLineBytes(
        data_->file, data_->report, data_->report.damagedLines[static_cast<std::size_t>(row)],
        kShownBytes);
    bytes_->setPlainText(QString::fromStdString(salvage::showLineBytes(read)));
    // A message about the file is not the line: only bytes are offered to copy.
    copy_->setEnabled(read.status == salvage::LineBytes::Status::Read);
}

}  // namespace ui
