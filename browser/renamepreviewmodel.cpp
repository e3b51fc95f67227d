#include "renamepreviewmodel.h"

#include "browser/core/renameplan.h"
#include "browser/core/renameproblemtext.h"
#include "resources/qtstrings.h"

#include <QBrush>

namespace kamelo {

RenamePreviewModel::RenamePreviewModel(std::vector<QString> oldNames, QObject* parent)
    : QAbstractTableModel(parent), oldNames_(std::move(oldNames)) {}

void RenamePreviewModel::setPlan(std::shared_ptr<const RenamePlan> plan) {
    plan_ = std::move(plan);
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
    if (!plan_ || row >= plan_->rows().size())
        return role == Qt::DisplayRole ? QVariant(QString()) : QVariant();
    const RenamePlan::Row& r = plan_->rows()[row];
    const bool marked = r.problem != RenamePlan::Problem::None;
    switch (role) {
    case Qt::DisplayRole:
        if (!marked)
            return QString::fromStdString(r.name);
        return QString::fromUtf8(res::format(res::IDS_RENAME_MARK,
                                             RenameProblemText::reason(r).c_str(), r.name.c_str()));
    case Qt::ToolTipRole:
    case ProblemRole:
        return marked ? QVariant(QString::fromStdString(RenameProblemText::reason(r))) : QVariant();
    case Qt::ForegroundRole:
        return marked ? QVariant(QBrush(Qt::red)) : QVariant();
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
