#include "acquiredrivespage.h"

#include "acquirescan.h"
#include "acquirewizard.h"
#include "cameratask.h"
#include "import/camerasource.h"
#include "resources/qtstrings.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileIconProvider>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace kamelo::acquire {

namespace {
constexpr int kIndexRole = Qt::UserRole + 1;
// The count shown while reading is brought up to date at most this often,
// so thousands of files do not flood the window with events.
constexpr qint64 kProgressMs = 100;

} // namespace

CAquireDrivesPage::CAquireDrivesPage(QWidget* parent)
    : QWizardPage(parent), list_(new QTreeWidget(this)),
      chooseFolder_(new QPushButton(res::qtext(res::IDS_ACQUIRE_CHOOSE_FOLDER), this)),
      status_(new QLabel(this)), poll_(new QTimer(this)) {
    setTitle(res::qtext(res::IDS_ACQUIRE_DEVICE_TITLE));
    setSubTitle(res::qtext(res::IDS_ACQUIRE_DEVICE_SUBTITLE));
    list_->setColumnCount(1);
    list_->setHeaderLabels({res::qtext(res::IDS_ACQUIRE_DEVICE)});
    list_->setRootIsDecorated(false);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    status_->setWordWrap(true);
    connect(list_, &QTreeWidget::currentItemChanged, this, &CAquireDrivesPage::currentChanged);
    connect(chooseFolder_, &QPushButton::clicked, this, &CAquireDrivesPage::addFolder);
    poll_->setInterval(kPollMs);
    connect(poll_, &QTimer::timeout, this, &CAquireDrivesPage::detect);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(chooseFolder_);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list_);
    layout->addWidget(status_);
    layout->addLayout(buttons);
}

CAquireDrivesPage::~CAquireDrivesPage() {
    stopReading(true);
    stopDetecting(true);
}

void CAquireDrivesPage::fill(const QList<Listed>& devices) {
    // The selected device stays selected across a refresh.
    const Listed* was = current();
    const Listed selected = was ? *was : Listed{};
    const bool hadSelection = was != nullptr;
    volumes_ = devices;
    {
        // Rebuilding the list is no change of choice: a camera being read
        // goes on being read.
        const QSignalBlocker quiet(list_);
        list_->clear();
        QFileIconProvider icons;
        QTreeWidgetItem* keep = nullptr;
        for (int i = 0; i < volumes_.size(); ++i) {
            const DeviceVolume& v = volumes_[i].volume;
            auto* item = new QTreeWidgetItem(list_, {v.label});
            item->setIcon(0, icons.icon(QFileIconProvider::Drive));
            item->setData(0, kIndexRole, i);
            item->setToolTip(0, v.path);
            if (hadSelection && volumes_[i] == selected)
                keep = item;
        }
        if (keep)
            list_->setCurrentItem(keep);
        else if (list_->topLevelItemCount() > 0)
            list_->setCurrentItem(list_->topLevelItem(0));
    }
    const Listed* now = current();
    if (!hadSelection || !now || !(*now == selected))
        currentChanged();
}

void CAquireDrivesPage::showDevices() {
    auto* w = static_cast<CAcquireWizard*>(wizard());
    QList<Listed> now;
    for (const DeviceVolume& v : w->devices().volumes())
        now.append({v, {}});
    for (const GPhotoCamera::Found& c : cameras_) {
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

void CAquireDrivesPage::detect() {
    // One look at a time: a phone answering slowly is not asked again
    // before it has answered.
    if (detecting_ && !detecting_->finished())
        return;
    auto* w = static_cast<CAcquireWizard*>(wizard());
    CAcquireWizard::CameraLister lister = w->cameraLister();
    if (!lister)
        return;
    detecting_ = std::make_shared<CameraTaskControl>();
    auto found = std::make_shared<std::vector<GPhotoCamera::Found>>();
    CameraTask* task = CameraTask::create(
        detecting_, [lister, found](CameraTask&, const std::atomic<bool>&) { *found = lister(); });
    connect(task, &CameraTask::done, this, [this, control = detecting_, found] {
        if (control != detecting_ || control->stopped())
            return;
        cameras_ = *found;
        showDevices();
    });
    task->start();
}

void CAquireDrivesPage::refresh() {
    showDevices();
    detect();
}

void CAquireDrivesPage::initializePage() {
    connect(wizard(), &QDialog::finished, this, &CAquireDrivesPage::wizardClosed,
            Qt::UniqueConnection);
    volumes_.clear();
    list_->clear();
    refresh();
    list_->setFocus();
}

void CAquireDrivesPage::wizardClosed() {
    // Stopped now; the controls are kept so that the page, when it goes,
    // waits for what is still running.
    if (readControl_)
        readControl_->stop();
    if (detecting_)
        detecting_->stop();
    read_.reset();
    status_->clear();
}

void CAquireDrivesPage::cleanupPage() {
    // Coming here again reads the camera again: it may have changed.
    stopReading(false);
    read_.reset();
    status_->clear();
    QWizardPage::cleanupPage();
}

void CAquireDrivesPage::showEvent(QShowEvent* event) {
    QWizardPage::showEvent(event);
    poll_->start();
}

void CAquireDrivesPage::hideEvent(QHideEvent* event) {
    // The wizard also hides a page for a moment when it lays itself out
    // again: only going back or closing ends the camera work.
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
    showDevices();
    list_->setCurrentItem(list_->topLevelItem(list_->topLevelItemCount() - 1));
    list_->setFocus();
}

const CAquireDrivesPage::Listed* CAquireDrivesPage::current() const {
    const QTreeWidgetItem* item = list_->currentItem();
    const int i = item ? item->data(0, kIndexRole).toInt() : -1;
    return i >= 0 && i < volumes_.size() ? &volumes_[i] : nullptr;
}

void CAquireDrivesPage::currentChanged() {
    const Listed* device = current();
    if (device && device->isCamera()) {
        if (!read_ || read_->key != device->key())
            startReading(*device);
    } else {
        stopReading(false);
        read_.reset();
        status_->clear();
    }
    emit completeChanged();
}

void CAquireDrivesPage::startReading(const Listed& device) {
    stopReading(false);
    // The camera of an earlier reading is closed before this one opens it.
    static_cast<CAcquireWizard*>(wizard())->state().camera.reset();
    read_ = std::make_shared<Read>();
    read_->key = device.key();
    readControl_ = std::make_shared<CameraTaskControl>();
    status_->setText(QString::fromStdString(res::format(res::IDS_ACQUIRE_CAMERA_READING, 0)));
    CameraTask* task =
        CameraTask::create(readControl_, [read = read_, model = device.cameraModel.toStdString(),
                                          port = device.volume.path.toStdString(), pacer = pacer_](
                                             CameraTask& task, const std::atomic<bool>& stop) {
            std::unique_ptr<GPhotoCamera> camera;
            read->rc = GPhotoCamera::open(model, port, camera);
            if (read->rc != 0)
                return;
            read->source = std::make_shared<CameraSource>(std::move(camera));
            QElapsedTimer shown;
            shown.start();
            read->rc = read->source->list(read->photos, &stop, [&](size_t count) {
                if (count == 1 || shown.elapsed() >= kProgressMs) {
                    task.report(int(count));
                    shown.restart();
                }
                if (pacer)
                    pacer(count, stop);
            });
            read->gone = read->rc != 0 && !read->source->camera().present();
        });
    connect(task, &CameraTask::progress, this, [this, read = read_](int count) {
        if (read == read_ && !read->finished)
            status_->setText(
                QString::fromStdString(res::format(res::IDS_ACQUIRE_CAMERA_READING, count)));
    });
    connect(task, &CameraTask::done, this, [this, read = read_] { readingDone(read); });
    task->start();
}

void CAquireDrivesPage::readingDone(const std::shared_ptr<Read>& read) {
    if (read != read_)
        return;
    read->finished = true;
    readControl_.reset();
    if (read->rc != 0) {
        read->source.reset();
        status_->setText(failureText());
    } else {
        status_->setText(QString::fromStdString(
            res::format(res::IDS_ACQUIRE_CAMERA_READ, int(read->photos.size()))));
    }
    emit completeChanged();
}

QString CAquireDrivesPage::failureText() const {
    if (read_->gone)
        return res::qtext(res::IDS_ACQUIRE_CAMERA_GONE);
    return QString::fromStdString(res::format(res::IDS_ACQUIRE_CAMERA_OPEN_FAILED,
                                              GPhotoCamera::errorText(read_->rc).c_str()));
}

void CAquireDrivesPage::stopReading(bool wait) {
    if (!readControl_)
        return;
    readControl_->stop();
    // A reading stopped before it ended is no list: the camera is read
    // again when chosen again.
    if (read_ && !read_->finished)
        read_.reset();
    // The reading shares what it uses; past the wait it ends on its own.
    if (wait)
        readControl_->waitFinished(kStopWaitMs);
    readControl_.reset();
}

void CAquireDrivesPage::stopDetecting(bool wait) {
    if (!detecting_)
        return;
    detecting_->stop();
    if (wait)
        detecting_->waitFinished(kStopWaitMs);
    detecting_.reset();
}

bool CAquireDrivesPage::isComplete() const {
    const Listed* device = current();
    if (!device)
        return false;
    return !device->isCamera() || (read_ && read_->finished && read_->key == device->key());
}

bool CAquireDrivesPage::validatePage() {
    auto* w = static_cast<CAcquireWizard*>(wizard());
    const Listed* found = current();
    if (!found)
        return false;
    const Listed device = *found;
    w->state().camera.reset();
    w->state().cameraPhotos.clear();
    if (device.isCamera()) {
        if (!isComplete())
            return false;
        if (read_->rc != 0) {
            QMessageBox::warning(this, res::qtext(res::IDS_ACQUIRE_CAPTION), failureText());
            // Another try, as pressing Next did before.
            startReading(device);
            emit completeChanged();
            return false;
        }
        if (read_->photos.empty()) {
            QMessageBox::information(this, res::qtext(res::IDS_ACQUIRE_CAPTION),
                                     res::qtext(res::IDS_ACQUIRE_NO_FILES));
            return false;
        }
        w->state().camera = read_->source;
        w->state().cameraPhotos = read_->photos;
    } else if (!AcquireScan::hasAcceptedFile(device.volume.path.toStdString())) {
        QMessageBox::information(this, res::qtext(res::IDS_ACQUIRE_CAPTION),
                                 res::qtext(res::IDS_ACQUIRE_NO_FILES));
        return false;
    }
    w->state().device = device.volume;
    return true;
}

} // namespace kamelo::acquire
