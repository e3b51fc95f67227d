#pragma once

#include <QIdentityProxyModel>

namespace kamelo::edit {

// Over a file dialog's file system model: the modification dates in Korean
// (the model writes them in the system's locale, often English here).
class FileDateProxy : public QIdentityProxyModel {
    Q_OBJECT
public:
    using QIdentityProxyModel::QIdentityProxyModel;
    static constexpr int kDateColumn = 3;

    QVariant data(const QModelIndex& index, int role) const override;
    // How a time is shown in the date column.
    static QString dateText(const QDateTime& time);
};

} // namespace kamelo::edit
