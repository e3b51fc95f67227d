#include "acquiredrivespage.h"

#include "acquirescan.h"
#include "acquirewizard.h"
#include "resources/qtstrings.h"

#include <QDir>
#include <QFileIconProvider>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace kamelo::acquire {

namespace {
constexpr int kIndexRole = Qt::UserRole + 1;

} // namespace

CAquireDrivesPage::CAquireDrivesPage(QWidget* parent)
    : QWizardPage(parent), list_(new QTreeWidget(this)),
      chooseFolder_(new QPushButton(res::qtext(res::IDS_ACQUIRE_CHOOSE_FOLDER), this)),
      poll_(new QTimer(this)) {
    setTitle(res::qtext(res::IDS_ACQUIRE_DEVICE_TITLE));
    setSubTitle(res::qtext(res::IDS_ACQUIRE_DEVICE_SUBTITLE));
    list_->setColumnCount(1);
    list_->setHeaderLabels({res::qtext(res::IDS_ACQUIRE_DEVICE)});
    list_->setRootIsDecorated(false);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    connect(list_, &QTreeWidget::currentItemChanged, this, &QWizardPage::completeChanged);
    connect(chooseFolder_, &QPushButton::clicked, this, &CAquireDrivesPage::addFolder);
    poll_->setInterval(kPollMs);
    connect(poll_, &QTimer::timeout, this, &CAquireDrivesPage::refresh);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(chooseFolder_);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list_);
    layout->addLayout(buttons);
}

void CAquireDrivesPage::fill(const QList<Listed>& devices) {
    // The selected device stays selected across a refresh.
    const QTreeWidgetItem* current = list_->currentItem();
    const int was = current ? current->data(0, kIndexRole).toInt() : -1;
    const Listed selected = was >= 0 && was < volumes_.size() ? volumes_[was] : Listed{};
    volumes_ = devices;
    list_->clear();
    QFileIconProvider icons;
    QTreeWidgetItem* keep = nullptr;
    for (int i = 0; i < volumes_.size(); ++i) {
        const DeviceVolume& v = volumes_[i].volume;
        auto* item = new QTreeWidgetItem(list_, {v.label});
        item->setIcon(0, icons.icon(QFileIconProvider::Drive));
        item->setData(0, kIndexRole, i);
        item->setToolTip(0, v.path);
        if (was >= 0 && volumes_[i] == selected)
            keep = item;
    }
    if (keep)
        list_->setCurrentItem(keep);
    else if (list_->topLevelItemCount() > 0)
        list_->setCurrentItem(list_->topLevelItem(0));
}

void CAquireDrivesPage::refresh() {
    auto* w = static_cast<CAcquireWizard*>(wizard());
    QList<Listed> now;
    for (const DeviceVolume& v : w->devices().volumes())
        now.append({v, {}});
    for (const GPhotoCamera::Found& c : w->cameras()) {
        DeviceVolume v;
        v.path = QString::fromStdString(c.port);
        v.label =
            QString::fromStdString(c.storage.empty() ? c.model : c.model + " (" + c.storage + ")");
        now.append({v, QString::fromStdString(c.model)});
    }
    now.append(chosen_);
    if (now != volumes_)
        fill(now);
}

void CAquireDrivesPage::initializePage() {
    volumes_.clear();
    list_->clear();
    refresh();
    list_->setFocus();
}

void CAquireDrivesPage::showEvent(QShowEvent* event) {
    QWizardPage::showEvent(event);
    poll_->start();
}

void CAquireDrivesPage::hideEvent(QHideEvent* event) {
    poll_->stop();
    QWizardPage::hideEvent(event);
}

void CAquireDrivesPage::addFolder() {
    auto* w = static_cast<CAcquireWizard*>(wizard());
    const QString folder = w->chooseSource();
    if (folder.isEmpty())
        return;
    DeviceVolume v;
    v.path = QDir::cleanPath(folder);
    v.label = QDir::toNativeSeparators(v.path);
    chosen_.append({v, {}});
    refresh();
    list_->setCurrentItem(list_->topLevelItem(list_->topLevelItemCount() - 1));
    list_->setFocus();
}

bool CAquireDrivesPage::isComplete() const {
    return list_->currentItem() != nullptr;
}

bool CAquireDrivesPage::openCamera(const Listed& device) {
    auto* w = static_cast<CAcquireWizard*>(wizard());
    std::unique_ptr<GPhotoCamera> camera;
    int rc = GPhotoCamera::open(device.cameraModel.toStdString(), device.volume.path.toStdString(),
                                camera);
    std::vector<CameraPhoto> photos;
    std::shared_ptr<CameraSource> source;
    if (rc == 0) {
        source = std::make_shared<CameraSource>(std::move(camera));
        rc = source->list(photos);
    }
    if (rc != 0) {
        QMessageBox::warning(
            this, res::qtext(res::IDS_ACQUIRE_CAPTION),
            QString::fromStdString(res::format(res::IDS_ACQUIRE_CAMERA_OPEN_FAILED,
                                               GPhotoCamera::errorText(rc).c_str())));
        return false;
    }
    if (photos.empty()) {
        QMessageBox::information(this, res::qtext(res::IDS_ACQUIRE_CAPTION),
                                 res::qtext(res::IDS_ACQUIRE_NO_FILES));
        return false;
    }
    w->state().camera = std::move(source);
    w->state().cameraPhotos = std::move(photos);
    return true;
}

bool CAquireDrivesPage::validatePage() {
    auto* w = static_cast<CAcquireWizard*>(wizard());
    const QTreeWidgetItem* item = list_->currentItem();
    const int i = item ? item->data(0, kIndexRole).toInt() : -1;
    if (i < 0 || i >= volumes_.size())
        return false;
    const Listed device = volumes_[i];
    w->state().camera.reset();
    w->state().cameraPhotos.clear();
    if (device.isCamera()) {
        if (!openCamera(device))
            return false;
    } else if (!AcquireScan::hasAcceptedFile(device.volume.path.toStdString())) {
        QMessageBox::information(this, res::qtext(res::IDS_ACQUIRE_CAPTION),
                                 res::qtext(res::IDS_ACQUIRE_NO_FILES));
        return false;
    }
    w->state().device = device.volume;
    return true;
}

} // namespace kamelo::acquire
