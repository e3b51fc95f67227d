#include "acquirefilespage.h"

#include "acquirescan.h"
#include "acquirewizard.h"
#include "import/core/acquireformats.h"
#include "import/core/datecolumn.h"
#include "previewloader.h"
#include "resources/qtstrings.h"

#include <QDir>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <sys/stat.h>

namespace kamelo::acquire {

namespace {
constexpr int kPathRole = Qt::UserRole + 1;
constexpr int kCameraRole = Qt::UserRole + 2;

QString sizeText(uint64_t bytes) {
    constexpr uint64_t kMaxKb = 2000000000;
    return QString::fromStdString(
        res::format(res::IDS_BROWSER_STATUS_FILE_SIZE, int(std::min(kMaxKb, bytes / 1024 + 1))));
}

// The capture date as a time of this computer, else the camera's file time.
time_t cameraTime(const CameraPhoto& p) {
    struct tm t {};
    if (p.date.size() == 19 &&
        std::sscanf(p.date.c_str(), "%d:%d:%d %d:%d:%d", &t.tm_year, &t.tm_mon, &t.tm_mday,
                    &t.tm_hour, &t.tm_min, &t.tm_sec) == 6) {
        t.tm_year -= 1900;
        t.tm_mon -= 1;
        t.tm_isdst = -1;
        const time_t made = std::mktime(&t);
        if (made != time_t(-1))
            return made;
    }
    return time_t(p.mtime);
}
const QSize kPreviewBox(160, 120);
} // namespace

CAquireFilesPage::CAquireFilesPage(QWidget* parent)
    : QWizardPage(parent), list_(new QTreeWidget(this)), preview_(new QLabel(this)),
      selectAll_(new QPushButton(res::qtext(res::IDS_ACQUIRE_SELECT_ALL), this)),
      clearAll_(new QPushButton(res::qtext(res::IDS_ACQUIRE_DESELECT_ALL), this)),
      loader_(new PreviewLoader(kPreviewBox, this)) {
    setTitle(res::qtext(res::IDS_ACQUIRE_FILES_TITLE));
    setSubTitle(res::qtext(res::IDS_ACQUIRE_FILES_SUBTITLE));
    list_->setColumnCount(4);
    // The folder on the device tells apart two files of one name.
    list_->setHeaderLabels({res::qtext(res::IDS_ACQUIRE_FILE_NAME), res::qtext(res::IDS_EXIF_DATE),
                            res::qtext(res::IDS_ACQUIRE_FOLDER_COLUMN),
                            res::qtext(res::IDS_COLUMN_SIZE)});
    list_->setRootIsDecorated(false);
    preview_->setFixedSize(kPreviewBox);
    preview_->setAlignment(Qt::AlignCenter);
    preview_->setFrameShape(QFrame::StyledPanel);
    auto* side = new QVBoxLayout;
    side->addWidget(preview_);
    side->addStretch();
    auto* top = new QHBoxLayout;
    top->addWidget(list_, 1);
    top->addLayout(side);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(selectAll_);
    buttons->addWidget(clearAll_);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(buttons);
    connect(selectAll_, &QPushButton::clicked, this, [this] { setAllChecked(true); });
    connect(clearAll_, &QPushButton::clicked, this, [this] { setAllChecked(false); });
    connect(list_, &QTreeWidget::currentItemChanged, this, &CAquireFilesPage::showPreview);
    connect(loader_, &PreviewLoader::ready, this, [this](const QString& path, const QImage& image) {
        const QTreeWidgetItem* item = list_->currentItem();
        if (!item || item->data(0, kPathRole).toString() != path)
            return;
        if (image.isNull())
            preview_->setPixmap(item->icon(0).pixmap(48, 48));
        else
            preview_->setPixmap(QPixmap::fromImage(image));
    });
}

void CAquireFilesPage::initializePage() {
    auto* w = static_cast<CAcquireWizard*>(wizard());
    // Coming back from the options page keeps the user's choices.
    const AcquireState& st = w->state();
    const QString device = st.device.path;
    if (listedDevice_ == device && list_->topLevelItemCount() > 0 && !st.camera == !listedCamera_)
        return;
    listedDevice_ = device;
    listedCamera_ = st.camera != nullptr;
    list_->clear();
    preview_->clear();
    QFileIconProvider icons;
    if (st.camera) {
        // A camera's files: its own dates and folders, nothing read yet.
        for (size_t i = 0; i < st.cameraPhotos.size(); ++i) {
            const CameraPhoto& p = st.cameraPhotos[i];
            const QString date = p.mtime > 0 || !p.date.empty()
                                     ? QString::fromStdString(dateColumnText(cameraTime(p)))
                                     : QString();
            auto* item = new QTreeWidgetItem(
                list_,
                {QString::fromStdString(p.name), date,
                 QString::fromStdString(p.folder == "/" ? std::string() : p.folder.substr(1))});
            item->setIcon(0, icons.icon(QFileIconProvider::File));
            item->setData(0, kPathRole, QString::fromStdString(p.path()));
            item->setData(0, kCameraRole, qulonglong(i));
            item->setText(3, sizeText(p.size));
            item->setCheckState(0, Qt::Checked);
        }
        list_->resizeColumnToContents(0);
        if (list_->topLevelItemCount() > 0)
            list_->setCurrentItem(list_->topLevelItem(0));
        list_->setFocus();
        return;
    }
    const AcquireScan::Result scan = AcquireScan::scan(listedDevice_.toStdString());
    const QDir root(listedDevice_);
    for (const std::string& path : scan.files) {
        const QString p = QString::fromStdString(path);
        struct stat st;
        const QString date = ::stat(path.c_str(), &st) == 0
                                 ? QString::fromStdString(dateColumnText(st.st_mtime))
                                 : QString();
        const QString folder = root.relativeFilePath(QFileInfo(p).path());
        auto* item =
            new QTreeWidgetItem(list_, {QFileInfo(p).fileName(), date,
                                        folder == QLatin1String(".") ? QString() : folder});
        item->setIcon(0, icons.icon(QFileInfo(p)));
        item->setData(0, kPathRole, p);
        item->setText(3, sizeText(uint64_t(QFileInfo(p).size())));
        item->setCheckState(0, Qt::Checked);
    }
    list_->resizeColumnToContents(0);
    if (list_->topLevelItemCount() > 0)
        list_->setCurrentItem(list_->topLevelItem(0));
    list_->setFocus();
}

void CAquireFilesPage::setAllChecked(bool checked) {
    for (int i = 0; i < list_->topLevelItemCount(); ++i)
        list_->topLevelItem(i)->setCheckState(0, checked ? Qt::Checked : Qt::Unchecked);
}

void CAquireFilesPage::showPreview() {
    const QTreeWidgetItem* item = list_->currentItem();
    preview_->clear();
    // A camera's path names nothing on this computer: its files are read
    // only for the copy.
    if (item && item->data(0, kCameraRole).isValid())
        preview_->setPixmap(item->icon(0).pixmap(48, 48));
    else if (item)
        loader_->request(item->data(0, kPathRole).toString());
}

bool CAquireFilesPage::validatePage() {
    auto* w = static_cast<CAcquireWizard*>(wizard());
    std::vector<std::string> files;
    std::vector<CameraPhoto> chosen;
    AcquireState& st = w->state();
    for (int i = 0; i < list_->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = list_->topLevelItem(i);
        if (item->checkState(0) != Qt::Checked)
            continue;
        files.push_back(item->data(0, kPathRole).toString().toStdString());
        const size_t k = size_t(item->data(0, kCameraRole).toULongLong());
        if (st.camera && k < st.cameraPhotos.size())
            chosen.push_back(st.cameraPhotos[k]);
    }
    if (files.empty()) {
        QMessageBox::information(this, res::qtext(res::IDS_ACQUIRE_CAPTION),
                                 res::qtext(res::IDS_ACQUIRE_NO_FILE_CHECKED));
        return false;
    }
    st.files = std::move(files);
    st.cameraChosen = std::move(chosen);
    return true;
}

} // namespace kamelo::acquire
