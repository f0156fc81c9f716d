#pragma once

#include <QAbstractTableModel>
#include <vector>

#include "salvage/carve.h"

namespace ui {

// The documents a carving found, one row each, in the order they were found: what the list
// shows of each, and where it lies; not its text, which is read again when it is opened.
class CarvedDocumentsModel final : public QAbstractTableModel {
  public:
    struct Row {
        salvage::DocumentPlace place;
        QString name;  // the first section's, or empty
        int sections = 0;
        QString damage;  // the reading's summary
    };

    using QAbstractTableModel::QAbstractTableModel;

    void clear();
    void add(Row row);
    const Row& row(int index) const { return rows_[static_cast<std::size_t>(index)]; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    QVariant data(const QModelIndex& index, int role) const override;

  private:
    std::vector<Row> rows_;
};

// A document's offset as the list and the window's title show it: "0x0001a2b000".
QString offsetText(std::uint64_t offset);

}  // namespace ui
