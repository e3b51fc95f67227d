#include "infoview.h"

#include "base/uisettings.h"
#include "browser/core/thumbfit.h"
#include "exif/exiflist.h"
#include "imaging/colour/displaycolour.h"
#include "imaging/orientation.h"
#include "imaging/picturefile.h"
#include "imaging/resize.h"
#include "resources/qtstrings.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QPainter>
#include <QPointer>
#include <QScreen>
#include <QThreadPool>

namespace kamelo {

namespace {
int screenOf(const QWidget* widget) {
    const QScreen* screen = widget->screen();
    return screen ? std::max(0, int(QGuiApplication::screens().indexOf(screen))) : 0;
}
} // namespace

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
    colourGeneration_ = imaging::colour::DisplayColour::generation();
    screen_ = screenOf(this);
    if (path_.isEmpty() || target.isEmpty())
        return;
    const int screen = screen_;
    const std::string path = path_.toStdString();
    const int orientation = orientation_;
    // The decoder works on the stored picture: sizes as stored.
    const bool swap = imaging::Orientation::swapsSides(orientation);
    const QSize full = swap ? pictureSize_.transposed() : pictureSize_;
    const QSize stored = swap ? target.size().transposed() : target.size();
    QPointer<PreviewPage> self(this);
    QThreadPool::globalInstance()->start(
        [self, generation, path, full, stored, target, orientation, screen] {
            imaging::LoadOptions options;
            options.mayReduce = true;
            for (int n : {8, 4, 2})
                if ((full.width() + n - 1) / n >= stored.width() &&
                    (full.height() + n - 1) / n >= stored.height()) {
                    options.scaleDenominator = n;
                    break;
                }
            imaging::Bitmap picture;
            QImage result;
            const bool loaded = imaging::PictureFile::load(path, picture, options) >= 1;
            // Taken before turning and scaling, which make new bitmaps.
            const imaging::colour::ProfilePtr profile = picture.colourProfile();
            if (loaded && imaging::Orientation::makeUpright(picture, orientation) >= 1 &&
                (picture.width() == target.width() ||
                 imaging::Resize::apply(picture, target.width(), target.height(),
                                        imaging::Resize::kResample) >= 1)) {
                // Converted at the shown size only.
                if (const auto t = imaging::colour::DisplayColour::toScreen(profile, screen))
                    t->apply(picture);
                result = picture.view().copy();
            }
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
    // The colour settings or the screen's profile changed, or the window
    // moved to another screen: the picture is converted anew.
    if (!path_.isEmpty() && (colourGeneration_ != imaging::colour::DisplayColour::generation() ||
                             screen_ != screenOf(this)))
        startLoad();
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
