#pragma once

#include <QAbstractTableModel>
#include <QString>

#include <vector>

namespace kamelo {

// The two columns of the batch rename list: each file's name now and the
// name it will take, the latter marked in red with the reason when the
// rename cannot be done.
class RenamePreviewModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Role { ProblemRole = Qt::UserRole + 1 };
    struct Preview {
        QString name;
        QString problem; // empty when the name can be taken
    };

    explicit RenamePreviewModel(std::vector<QString> oldNames, QObject* parent = nullptr);
    // One entry per row, in row order.
    void setPreview(std::vector<Preview> preview);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    std::vector<QString> oldNames_;
    std::vector<Preview> preview_;
};

} // namespace kamelo
