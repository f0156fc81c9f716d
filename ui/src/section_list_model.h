#pragma once

#include <QAbstractListModel>
#include <QString>
#include <cstddef>
#include <optional>
#include <string_view>
#include <vector>

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
    // Lists only these sections of the contents (their places in the map, in its order), or
    // all of them when there are none. Set anew by setContents.
    void setShown(std::optional<std::vector<std::size_t>> shown);
    bool filtered() const { return shown_.has_value(); }

    // The section a row lists, and the row that lists a section, if any.
    std::optional<std::size_t> sectionAt(int row) const;
    std::optional<int> rowOf(std::size_t section) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  private:
    std::size_t listed() const;

    const salvage::SectionMap* contents_ = nullptr;
    std::optional<std::vector<std::size_t>> shown_;
};

}  // namespace ui
