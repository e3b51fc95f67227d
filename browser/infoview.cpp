#include "infoview.h"

#include "base/uisettings.h"
#include "browser/core/thumbfit.h"
#include "exif/exiflist.h"
#include "imaging/orientation.h"
#include "imaging/picturefile.h"
#include "imaging/resize.h"
#include "resources/qtstrings.h"

#include <QCoreApplication>
#include <QPainter>
#include <QPointer>
#include <QThreadPool>

namespace kamelo {

PreviewPage::PreviewPage(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("previewPage"));
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void PreviewPage::clear() {
    path_.clear();
    image_ = QImage();
    pictureSize_ = QSize();
    orientation_ = imaging::Orientation::kUpright;
    ++generation_;
    update();
}

void PreviewPage::load(const QString& path) {
    path_ = path;
    image_ = QImage();
    pictureSize_ = QSize();
    orientation_ = picturesUpright() ? imaging::Orientation::read(path.toStdString())
                                     : imaging::Orientation::kUpright;
    imaging::FileInfo info;
    if (imaging::PictureFile::readInfo(path.toStdString(), info) >= 1)
        pictureSize_ = imaging::Orientation::swapsSides(orientation_)
                           ? QSize(info.height, info.width)
                           : QSize(info.width, info.height);
    startLoad();
    update();
}

QRect PreviewPage::displayRect() const {
    if (!pictureSize_.isValid())
        return {};
    const ThumbPlacement p =
        ThumbFit::fitInside(pictureSize_.width(), pictureSize_.height(), width(), height());
    return p.valid() ? QRect(p.x, p.y, p.width, p.height) : QRect();
}

void PreviewPage::startLoad() {
    const quint64 generation = ++generation_;
    const QRect target = displayRect();
    if (path_.isEmpty() || target.isEmpty())
        return;
    const std::string path = path_.toStdString();
    const int orientation = orientation_;
    // The decoder works on the stored picture: sizes as stored.
    const bool swap = imaging::Orientation::swapsSides(orientation);
    const QSize full = swap ? pictureSize_.transposed() : pictureSize_;
    const QSize stored = swap ? target.size().transposed() : target.size();
    QPointer<PreviewPage> self(this);
    QThreadPool::globalInstance()->start(
        [self, generation, path, full, stored, target, orientation] {
            imaging::LoadOptions options;
            for (int n : {8, 4, 2})
                if ((full.width() + n - 1) / n >= stored.width() &&
                    (full.height() + n - 1) / n >= stored.height()) {
                    options.scaleDenominator = n;
                    break;
                }
            imaging::Bitmap picture;
            QImage result;
            if (imaging::PictureFile::load(path, picture, options) >= 1 &&
                imaging::Orientation::makeUpright(picture, orientation) >= 1 &&
                (picture.width() == target.width() ||
                 imaging::Resize::apply(picture, target.width(), target.height(),
                                        imaging::Resize::kResample) >= 1))
                result = picture.view().copy();
            // Back on the window's thread; a newer request wins.
            QMetaObject::invokeMethod(
                qApp,
                [self, generation, result] {
                    if (self && self->generation_ == generation) {
                        self->image_ = result;
                        self->update();
                    }
                },
                Qt::QueuedConnection);
        });
}

void PreviewPage::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (!path_.isEmpty())
        startLoad();
}

void PreviewPage::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    if (!image_.isNull())
        p.drawImage(displayRect(), image_);
}

CInfoView::CInfoView(QWidget* parent)
    : QTabWidget(parent), preview_(new PreviewPage(this)), info_(new ExifList(this)) {
    setObjectName(QStringLiteral("CInfoView"));
    addTab(preview_, res::qtext(res::IDS_TAB_PREVIEW));
    addTab(info_, res::qtext(res::IDS_TAB_IMAGE_INFO));
    setMinimumSize(0, 0);
    setCurrentIndex(0); // every start on the preview
    connect(this, &QTabWidget::currentChanged, this, [this](int tab) {
        if (CUiSettings* s = uiSettings())
            s->infoTab = tab;
        refresh();
    });
}

void CInfoView::showItem(const QString& path) {
    path_ = path;
    refresh();
}

void CInfoView::refresh() {
    if (currentIndex() == 0) {
        info_->clearValues();
        path_.isEmpty() ? preview_->clear() : preview_->load(path_);
    } else {
        preview_->clear();
        path_.isEmpty() ? info_->clearValues() : info_->showFile(path_);
    }
}

} // namespace kamelo
