#include "carved_documents_model.h"

#include <QLocale>

namespace ui {

QString offsetText(std::uint64_t offset) {
    return QStringLiteral("0x%1").arg(qulonglong{offset}, 10, 16, QLatin1Char('0'));
}

void CarvedDocumentsModel::clear() {
    beginResetModel();
    rows_.clear();
    endResetModel();
}

void CarvedDocumentsModel::add(Row row) {
    const int at = rowCount();
    beginInsertRows({}, at, at);
    rows_.push_back(std::move(row));
    endInsertRows();
}

int CarvedDocumentsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int CarvedDocumentsModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 5;
}

QVariant CarvedDocumentsModel::headerData(int section, Qt::Orientation orientation,
                                          int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
        return {};
    }
    static const char* const kTitles[] = {"Name", "Offset", "Size", "Sections", "Damage"};
    return QString::fromLatin1(kTitles[section]);
}

QVariant CarvedDocumentsModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::TextAlignmentRole)) {
        return {};
    }
    const Row& found = row(index.row());
    if (role == Qt::TextAlignmentRole) {
        const bool number = index.column() >= 1 && index.column() <= 3;
        return QVariant::fromValue(Qt::AlignVCenter | (number ? Qt::AlignRight : Qt::AlignLeft));
    }
    switch (index.column()) {
        case 0:
            return found.name.isEmpty() ? QStringLiteral("(no name)") : found.name;
        case 1:
            return offsetText(found.place.offset());
        case 2:
            return QLocale().formattedDataSize(static_cast<qint64>(found.place.length()));
        case 3:
            return found.sections;
        default:
            return found.damage;
    }
}

}  // namespace ui
