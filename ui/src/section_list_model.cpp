#include "section_list_model.h"

#include <algorithm>
#include <limits>
#include <utility>

#include "platform/paths.h"

namespace ui {

QString shownName(std::string_view name) {
    // A character takes at most 4 bytes: these give every character that can be shown, and one
    // more to tell that the name goes on.
    constexpr auto kBytesNeeded = static_cast<std::size_t>(kShownNameLength) * 4;
    const bool longer = name.size() > kBytesNeeded;
    QString shown = platform::fromUtf8Bytes(name.substr(0, kBytesNeeded));
    if (!longer && shown.size() <= kShownNameLength) {
        return shown;
    }
    qsizetype keep = kShownNameLength - 1;
    if (shown.at(keep).isLowSurrogate()) {
        --keep;  // never split a character made of two UTF-16 units
    }
    shown.truncate(keep);
    shown.append(QChar(0x2026));
    return shown;
}

void SectionListModel::setContents(const salvage::SectionMap* contents) {
    beginResetModel();
    contents_ = contents;
    shown_.reset();
    endResetModel();
}

void SectionListModel::setShown(std::optional<std::vector<std::size_t>> shown) {
    beginResetModel();
    shown_ = std::move(shown);
    endResetModel();
}

std::size_t SectionListModel::listed() const {
    if (contents_ == nullptr) {
        return 0;
    }
    return shown_ ? shown_->size() : contents_->size();
}

std::optional<std::size_t> SectionListModel::sectionAt(int row) const {
    if (row < 0 || static_cast<std::size_t>(row) >= listed()) {
        return std::nullopt;
    }
    const auto at = static_cast<std::size_t>(row);
    return shown_ ? (*shown_)[at] : at;
}

std::optional<int> SectionListModel::rowOf(std::size_t section) const {
    if (contents_ == nullptr || section >= contents_->size()) {
        return std::nullopt;
    }
    std::size_t row = section;
    if (shown_) {
        const auto found = std::lower_bound(shown_->begin(), shown_->end(), section);
        if (found == shown_->end() || *found != section) {
            return std::nullopt;
        }
        row = static_cast<std::size_t>(found - shown_->begin());
    }
    if (row >= static_cast<std::size_t>(std::numeric_limits<int>::max())) {
        return std::nullopt;
    }
    return static_cast<int>(row);
}

int SectionListModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid()) {
        return 0;
    }
    // A view counts rows in int; a document with more sections than that lists the first ones.
    return static_cast<int>(std::min<std::size_t>(listed(), std::numeric_limits<int>::max()));
}

QVariant SectionListModel::data(const QModelIndex& index, int role) const {
    const std::optional<std::size_t> section =
        index.isValid() ? sectionAt(index.row()) : std::nullopt;
    if (!section) {
        return {};
    }
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole) {
        return shownName((*contents_)[*section].name);
    }
    return {};
}

QVariant SectionListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (section == 0 && orientation == Qt::Horizontal && role == Qt::DisplayRole) {
        return QStringLiteral("Sections");
    }
    return {};
}

}  // namespace ui
