#include "filedateproxy.h"

#include <QDateTime>
#include <QFileSystemModel>
#include <QLocale>

namespace kamelo::edit {

QString FileDateProxy::dateText(const QDateTime& time) {
    return QLocale(QLocale::Korean, QLocale::SouthKorea).toString(time, QLocale::ShortFormat);
}

QVariant FileDateProxy::data(const QModelIndex& index, int role) const {
    if (role == Qt::DisplayRole && index.column() == kDateColumn)
        if (const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel()))
            return dateText(files->lastModified(mapToSource(index)));
    return QIdentityProxyModel::data(index, role);
}

} // namespace kamelo::edit
