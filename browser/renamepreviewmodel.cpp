#include "renamepreviewmodel.h"

#include "browser/core/renamecheck.h"
#include "browser/core/renameproblemtext.h"
#include "resources/qtstrings.h"

#include <QBrush>

#include <climits>
#include <string>

namespace kamelo {

namespace {

QString text(std::string_view s) {
    return QString::fromUtf8(s.data(), qsizetype(s.size()));
}

} // namespace

RenamePreviewModel::RenamePreviewModel(QObject* parent) : QAbstractTableModel(parent) {}

void RenamePreviewModel::setCheck(std::shared_ptr<const RenameCheck> check) {
    const int before = rowCount();
    const int after = check ? int(std::min<size_t>(check->size(), INT_MAX)) : 0;
    if (before != after) {
        beginResetModel();
        check_ = std::move(check);
        endResetModel();
        return;
    }
    check_ = std::move(check);
    if (after > 0)
        emit dataChanged(index(0, 1), index(after - 1, 1));
}

int RenamePreviewModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() || !check_ ? 0 : int(std::min<size_t>(check_->size(), INT_MAX));
}

int RenamePreviewModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 2;
}

QVariant RenamePreviewModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const size_t row = size_t(index.row());
    if (index.column() == 0)
        return role == Qt::DisplayRole ? QVariant(text(check_->sources().name(row))) : QVariant();
    const RenameProblem problem = check_->problem(row);
    const bool marked = problem != RenameProblem::None;
    switch (role) {
    case Qt::DisplayRole:
        if (!marked)
            return text(check_->name(row));
        return QString::fromUtf8(
            res::format(res::IDS_RENAME_MARK,
                        RenameProblemText::reason(problem, check_->nameLimit(row)).c_str(),
                        std::string(check_->name(row)).c_str()));
    case Qt::ToolTipRole:
    case ProblemRole:
        return marked ? QVariant(QString::fromStdString(
                            RenameProblemText::reason(problem, check_->nameLimit(row))))
                      : QVariant();
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
