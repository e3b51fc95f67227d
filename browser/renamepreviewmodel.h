#pragma once

#include <QAbstractTableModel>
#include <QString>

#include <memory>
#include <vector>

namespace kamelo {

class RenamePlan;

// The two columns of the batch rename list: each file's name now and the
// name it will take, the latter marked in red with the reason when the
// rename cannot be done. The texts are made for the rows shown only: a
// keystroke over a hundred thousand files must not build them all.
class RenamePreviewModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Role { ProblemRole = Qt::UserRole + 1 };
    explicit RenamePreviewModel(std::vector<QString> oldNames, QObject* parent = nullptr);
    // The plan of one row per old name, in row order (rows beyond it show
    // nothing new).
    void setPlan(std::shared_ptr<const RenamePlan> plan);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    std::vector<QString> oldNames_;
    std::shared_ptr<const RenamePlan> plan_;
};

} // namespace kamelo
