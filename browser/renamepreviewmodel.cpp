#include "renamepreviewmodel.h"

#include "resources/qtstrings.h"

#include <QBrush>

namespace kamelo {

RenamePreviewModel::RenamePreviewModel(std::vector<QString> oldNames, QObject* parent)
    : QAbstractTableModel(parent), oldNames_(std::move(oldNames)), preview_(oldNames_.size()) {}

void RenamePreviewModel::setPreview(std::vector<Preview> preview) {
    preview.resize(oldNames_.size());
    preview_ = std::move(preview);
    if (!oldNames_.empty())
        emit dataChanged(index(0, 1), index(int(oldNames_.size()) - 1, 1));
}

int RenamePreviewModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(oldNames_.size());
}

int RenamePreviewModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 2;
}

QVariant RenamePreviewModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || size_t(index.row()) >= oldNames_.size())
        return {};
    const size_t row = size_t(index.row());
    if (index.column() == 0)
        return role == Qt::DisplayRole ? QVariant(oldNames_[row]) : QVariant();
    const Preview& p = preview_[row];
    switch (role) {
    case Qt::DisplayRole:
        if (p.problem.isEmpty())
            return p.name;
        return QString::fromUtf8(res::format(res::IDS_RENAME_MARK, p.problem.toUtf8().constData(),
                                             p.name.toUtf8().constData()));
    case Qt::ToolTipRole:
    case ProblemRole:
        return p.problem.isEmpty() ? QVariant() : QVariant(p.problem);
    case Qt::ForegroundRole:
        return p.problem.isEmpty() ? QVariant() : QVariant(QBrush(Qt::red));
    default:
        return {};
    }
}

QVariant RenamePreviewModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    return res::qtext(section == 0 ? res::IDS_RENAME_OLD_NAME : res::IDS_RENAME_NEW_NAME);
}

} // namespace kamelo
