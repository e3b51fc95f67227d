#include "thumblistmodel.h"

#include "resources/qtstrings.h"
#include "thumbcellart.h"
#include "thumbsort.h"

#include <QDateTime>

namespace kamelo {

ThumbListModel::ThumbListModel(QObject* parent) : QAbstractTableModel(parent) {}

void ThumbListModel::reset(std::unique_ptr<ThumbFolder> folder) {
    beginResetModel();
    folder_ = std::move(folder);
    endResetModel();
}

const CThumbData* ThumbListModel::record(int row) const {
    if (!folder_ || row < 0 || size_t(row) >= folder_->records().size())
        return nullptr;
    return &folder_->records()[size_t(row)];
}

void ThumbListModel::applyThumbnail(int row, const ThumbResult& result) {
    if (!record(row))
        return;
    folder_->applyThumbnail(row, result);
    const QModelIndex i = index(row, 0);
    emit dataChanged(i, i, {CellImageRole, Qt::DecorationRole});
}

void ThumbListModel::sortRecords(int column, bool ascending) {
    if (!folder_)
        return;
    emit layoutAboutToBeChanged();
    ThumbSort::sort(folder_->records(), column, ascending);
    emit layoutChanged();
}

void ThumbListModel::removeRow(int row) {
    if (!record(row))
        return;
    beginRemoveRows({}, row, row);
    folder_->records().erase(folder_->records().begin() + row);
    endRemoveRows();
}

int ThumbListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() || !folder_ ? 0 : static_cast<int>(folder_->records().size());
}

int ThumbListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 4;
}

QString ThumbListModel::sizeText(uint32_t bytes) {
    return QString::fromUtf8(res::format(res::IDS_BROWSER_STATUS_FILE_SIZE, int(bytes / 1024 + 1)));
}

QString ThumbListModel::dateText(int32_t seconds) {
    return QDateTime::fromSecsSinceEpoch(seconds).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QIcon ThumbListModel::smallIcon(const CThumbData& d) const {
    if (d.isParent())
        return ThumbCellArt::parentIcon();
    if (d.isFolder())
        return ThumbCellArt::folderIcon();
    const QString type = QString::fromStdString(d.typeName);
    auto it = typeIcons_.find(type);
    if (it == typeIcons_.end())
        it = typeIcons_.insert(type, ThumbCellArt::fileIcon(QString::fromStdString(d.fullPath)));
    return *it;
}

QVariant ThumbListModel::data(const QModelIndex& index, int role) const {
    const CThumbData* d = record(index.row());
    if (!d)
        return {};
    if (role == CellImageRole)
        return folder_->imageAt(index.row());
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole) {
        const bool file = !d->isFolder();
        switch (index.column()) {
        case 0:
            return QString::fromStdString(d->displayName);
        case 1:
            return file && folder_->options().details ? sizeText(d->fileSize) : QString();
        case 2:
            return file ? QString::fromStdString(d->typeName) : QString();
        case 3:
            return file && folder_->options().details ? dateText(d->modifiedTime) : QString();
        }
    }
    if (role == Qt::DecorationRole && index.column() == 0)
        return smallIcon(*d);
    if (role == Qt::TextAlignmentRole && index.column() == 1)
        return int(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

QVariant ThumbListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal)
        return {};
    if (role == Qt::DisplayRole) {
        static const int ids[] = {res::IDS_COLUMN_NAME, res::IDS_COLUMN_SIZE, res::IDS_COLUMN_TYPE,
                                  res::IDS_COLUMN_MODIFIED};
        return section >= 0 && section < 4 ? res::qtext(ids[section]) : QVariant();
    }
    // Size columns read right-aligned.
    if (role == Qt::TextAlignmentRole)
        return int((section == 1 ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
    return {};
}

} // namespace kamelo
