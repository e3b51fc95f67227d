#include "acquiredrivespage.h"

#include "acquirescan.h"
#include "acquirewizard.h"
#include "resources/qtstrings.h"

#include <QFileIconProvider>
#include <QHeaderView>
#include <QMessageBox>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace kamelo::acquire {

namespace {
constexpr int kIndexRole = Qt::UserRole + 1;
}

CAquireDrivesPage::CAquireDrivesPage(QWidget* parent)
    : QWizardPage(parent), list_(new QTreeWidget(this)) {
    setTitle(res::qtext(res::IDS_ACQUIRE_DEVICE_TITLE));
    setSubTitle(res::qtext(res::IDS_ACQUIRE_DEVICE_SUBTITLE));
    list_->setColumnCount(1);
    list_->setHeaderLabels({res::qtext(res::IDS_ACQUIRE_DEVICE)});
    list_->setRootIsDecorated(false);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    connect(list_, &QTreeWidget::currentItemChanged, this, &QWizardPage::completeChanged);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list_);
}

void CAquireDrivesPage::initializePage() {
    auto* w = static_cast<CAcquireWizard*>(wizard());
    list_->clear();
    QFileIconProvider icons;
    volumes_ = w->devices().volumes();
    const QList<DeviceVolume>& volumes = volumes_;
    for (int i = 0; i < volumes.size(); ++i) {
        auto* item = new QTreeWidgetItem(list_, {volumes[i].label});
        item->setIcon(0, icons.icon(QFileIconProvider::Drive));
        item->setData(0, kIndexRole, i);
        item->setToolTip(0, volumes[i].path);
    }
    if (list_->topLevelItemCount() > 0)
        list_->setCurrentItem(list_->topLevelItem(0));
    list_->setFocus();
}

bool CAquireDrivesPage::isComplete() const {
    return list_->currentItem() != nullptr;
}

bool CAquireDrivesPage::validatePage() {
    auto* w = static_cast<CAcquireWizard*>(wizard());
    const QTreeWidgetItem* item = list_->currentItem();
    const QList<DeviceVolume>& volumes = volumes_;
    const int i = item ? item->data(0, kIndexRole).toInt() : -1;
    if (i < 0 || i >= volumes.size())
        return false;
    if (!AcquireScan::hasAcceptedFile(volumes[i].path.toStdString())) {
        QMessageBox::information(this, res::qtext(res::IDS_ACQUIRE_CAPTION),
                                 res::qtext(res::IDS_ACQUIRE_NO_FILES));
        return false;
    }
    w->state().device = volumes[i];
    return true;
}

} // namespace kamelo::acquire
