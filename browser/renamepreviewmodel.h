#pragma once

#include <QAbstractTableModel>
#include <QString>

#include <memory>

namespace kamelo {

class RenameCheck;

// The two columns of the batch rename list: each file's name now and the
// name it will take, the latter marked in red with the reason when the
// rename cannot be done. It holds the check alone and makes the texts for
// the rows shown: a keystroke over a hundred thousand files must neither
// build nor keep a text per row.
class RenamePreviewModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Role { ProblemRole = Qt::UserRole + 1 };
    explicit RenamePreviewModel(QObject* parent = nullptr);
    // One row per source of the check, the new names as it checked them.
    void setCheck(std::shared_ptr<const RenameCheck> check);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    std::shared_ptr<const RenameCheck> check_;
};

} // namespace kamelo
