#include "section_list_model.h"

#include <limits>

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
    endResetModel();
}

int SectionListModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid() || contents_ == nullptr) {
        return 0;
    }
    // A view counts rows in int; a document with more sections than that lists the first ones.
    return static_cast<int>(
        std::min<std::size_t>(contents_->size(), std::numeric_limits<int>::max()));
}

QVariant SectionListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || contents_ == nullptr ||
        static_cast<std::size_t>(index.row()) >= contents_->size()) {
        return {};
    }
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole) {
        return shownName((*contents_)[static_cast<std::size_t>(index.row())].name);
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
