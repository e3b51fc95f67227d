#include "associationlist.h"

#include "desktop/core/associations.h"
#include "desktop/core/associationtable.h"
#include "resources/qtstrings.h"

#include <QHeaderView>

namespace kamelo::desktop {

AssociationList::AssociationList(Columns columns, Associations& associations, QWidget* parent)
    : QTreeWidget(parent), associations_(associations) {
    setObjectName(QStringLiteral("AssociationList"));
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    const bool dialog = columns == Columns::Dialog;
    QStringList headers{res::qtext(res::IDS_ASSOC_COLUMN_EXTENSION)};
    if (dialog)
        headers << res::qtext(res::IDS_ASSOC_COLUMN_CURRENT);
    headers << res::qtext(res::IDS_ASSOC_COLUMN_DESCRIPTION);
    setHeaderLabels(headers);
    const auto& rows = AssociationTable::rows();
    for (int row = 0; row < AssociationTable::kRows; ++row) {
        auto* item = new QTreeWidgetItem(this);
        int c = 0;
        item->setText(c++, QString::fromLatin1(rows[size_t(row)].extension));
        if (dialog)
            item->setText(c++, QString::fromStdString(associations.currentHandler(row)));
        item->setText(c, res::qtext(rows[size_t(row)].descriptionId));
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(0, dialog || associations.isOurs(row) ? Qt::Checked : Qt::Unchecked);
    }
    if (dialog) {
        setColumnWidth(0, 80);
        setColumnWidth(1, 300);
        setColumnWidth(2, 230);
    } else {
        setColumnWidth(0, 100);
        setColumnWidth(1, 250);
    }
    if (topLevelItemCount() > 0)
        setCurrentItem(topLevelItem(0));
    connect(this, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item, int column) {
        if (syncing_ || column != 0)
            return;
        const int row = indexOfTopLevelItem(item);
        const bool checked = item->checkState(0) == Qt::Checked;
        syncing_ = true;
        for (int other : AssociationTable::companions(row))
            topLevelItem(other)->setCheckState(0, checked ? Qt::Checked : Qt::Unchecked);
        syncing_ = false;
        emit rowToggled(row, checked);
    });
}

bool AssociationList::isRowChecked(int row) const {
    return topLevelItem(row)->checkState(0) == Qt::Checked;
}

void AssociationList::setRowChecked(int row, bool checked) {
    topLevelItem(row)->setCheckState(0, checked ? Qt::Checked : Qt::Unchecked);
}

void AssociationList::showRealState() {
    syncing_ = true;
    for (int row = 0; row < AssociationTable::kRows; ++row)
        topLevelItem(row)->setCheckState(0,
                                         associations_.isOurs(row) ? Qt::Checked : Qt::Unchecked);
    syncing_ = false;
}

} // namespace kamelo::desktop
