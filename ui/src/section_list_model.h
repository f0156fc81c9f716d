#pragma once

#include <QAbstractListModel>
#include <QString>
#include <string_view>

#include "salvage/section_map.h"

namespace ui {

// The most characters of a section name the list and its tool tip show. A damaged line can
// leave a name of megabytes; laying that out would take the window minutes and gigabytes.
inline constexpr qsizetype kShownNameLength = 300;

// `name` (UTF-8 bytes) as the list shows it: at most kShownNameLength characters, the last of
// them an ellipsis when the name is longer. Only the bytes it needs are converted.
QString shownName(std::string_view name);

// The section names of a document, one row each, in the document's order. Rows are made only
// as the view asks for them, so a million sections cost no more than the map that holds them.
class SectionListModel final : public QAbstractListModel {
    Q_OBJECT
  public:
    using QAbstractListModel::QAbstractListModel;

    // Lists the sections of `contents`, which must outlive the model or the next call;
    // nullptr lists nothing.
    void setContents(const salvage::SectionMap* contents);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  private:
    const salvage::SectionMap* contents_ = nullptr;
};

}  // namespace ui
