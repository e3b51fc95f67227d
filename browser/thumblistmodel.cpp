#include "thumblistmodel.h"

#include "resources/qtstrings.h"
#include "thumbcellart.h"

#include "platform/core/fileops.h"
#include "platform/fileclipboard.h"
#include "platform/fileerrortext.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QMimeData>

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
    // Sorted only when the order changes: a folder listed in this order
    // arrives sorted.
    if (folder_->inOrder(column, ascending))
        return;
    emit layoutAboutToBeChanged();
    folder_->sort(column, ascending);
    emit layoutChanged();
}

void ThumbListModel::removeRow(int row) {
    if (!record(row))
        return;
    beginRemoveRows({}, row, row);
    folder_->removeRecord(row);
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
    if (role == CutRole)
        return cut_.contains(QString::fromStdString(d->fullPath));
    if (role == Qt::EditRole && index.column() == 0)
        return editText(index.row());
    if (role == Qt::ForegroundRole && cut_.contains(QString::fromStdString(d->fullPath)))
        return QColor(Qt::gray);
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

void ThumbListModel::setCutPaths(const QSet<QString>& paths) {
    cut_ = paths;
    if (rowCount() > 0)
        emit dataChanged(index(0, 0), index(rowCount() - 1, 3), {CutRole, Qt::ForegroundRole});
}

bool ThumbListModel::renameRecord(const QString& from, const QString& to) {
    if (!folder_)
        return false;
    const std::string path = from.toStdString();
    auto& records = folder_->records();
    for (size_t row = 0; row < records.size(); ++row) {
        if (records[row].fullPath != path || records[row].isParent())
            continue;
        records[row].fullPath = to.toStdString();
        records[row].displayName = QFileInfo(to).fileName().toStdString();
        emit dataChanged(index(int(row), 0), index(int(row), 3));
        return true;
    }
    return false;
}

QString ThumbListModel::editText(int row) const {
    const CThumbData* d = record(row);
    if (!d)
        return {};
    const QString name = QString::fromStdString(d->displayName);
    if (d->isFolder())
        return name;
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    return dot > 0 ? name.left(dot) : name;
}

Qt::ItemFlags ThumbListModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    const CThumbData* d = record(index.row());
    if (d && !d->isParent()) {
        f |= Qt::ItemIsDragEnabled;
        if (index.column() == 0)
            f |= Qt::ItemIsEditable;
    }
    return f;
}

bool ThumbListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    CThumbData* d =
        folder_ && record(index.row()) ? &folder_->records()[size_t(index.row())] : nullptr;
    if (role != Qt::EditRole || index.column() != 0 || !d || d->isParent())
        return false;
    const QString label = value.toString().trimmed();
    if (label.isEmpty() || label == editText(index.row()))
        return false;
    const QString from = QString::fromStdString(d->fullPath);
    if (label.contains(QLatin1Char('/'))) {
        emit renameFailed(FileErrorText::message(res::IDS_FAILED_RENAME, from, EINVAL));
        return false;
    }
    // Files keep their extension: photo.jpg renamed "trip" is trip.jpg.
    QString name = label;
    if (!d->isFolder()) {
        const QString old = QString::fromStdString(d->displayName);
        const int dot = old.lastIndexOf(QLatin1Char('.'));
        if (dot > 0)
            name += old.mid(dot);
    }
    const QString to = QDir(QFileInfo(from).path()).filePath(name);
    if (const FileOps::Error e = FileOps::rename(from.toStdString(), to.toStdString())) {
        emit renameFailed(FileErrorText::message(res::IDS_FAILED_RENAME, from, e.code));
        return false;
    }
    d->displayName = name.toStdString();
    d->fullPath = to.toStdString();
    emit dataChanged(index, this->index(index.row(), 3));
    emit renamed(from, to);
    return true;
}

QStringList ThumbListModel::mimeTypes() const {
    return {QStringLiteral("text/uri-list")};
}

QMimeData* ThumbListModel::mimeData(const QModelIndexList& indexes) const {
    QStringList paths;
    QSet<int> rows;
    for (const QModelIndex& i : indexes) {
        const CThumbData* d = record(i.row());
        if (d && !d->isParent() && !rows.contains(i.row())) {
            rows.insert(i.row());
            paths.append(QString::fromStdString(d->fullPath));
        }
    }
    return paths.isEmpty() ? nullptr : FileClipboard::make(paths, false);
}

Qt::DropActions ThumbListModel::supportedDragActions() const {
    return Qt::CopyAction | Qt::MoveAction;
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
