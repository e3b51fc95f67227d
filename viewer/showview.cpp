#include "showview.h"

#include "app/core/uisettings.h"
#include "imaging/bitmappainter.h"
#include "imaging/picturefile.h"
#include "resources/qtstrings.h"
#include "viewer/eyedoc.h"

#include <QPainter>
#include <QTimer>

namespace kamelo {

CShowView::CShowView(CEyeDoc& doc, QWidget* parent) : QWidget(parent), doc_(doc) {
    setObjectName(QStringLiteral("CShowView"));
    const CUiSettings* s = uiSettings();
    const uint32_t bgr = s ? s->viewerBackgroundColor : 0x808080;
    background_ = QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CShowView::startSoon() {
    QTimer::singleShot(10, this, [this] {
        if (loadPicture(doc_.list().current()) == kNoPicture)
            emit nothingToShow();
    });
}

bool CShowView::hasPicture() const {
    return doc_.displayed().isAllocated();
}

int CShowView::loadPicture(int index) {
    if (index < 0 || index >= doc_.list().count())
        return kNoPicture;
    const std::string path = doc_.list().pathAt(index);
    imaging::Bitmap& shown = doc_.displayed();
    const int rc = imaging::PictureFile::load(path, shown);
    if (rc < 1) {
        shown.free();
        update();
        emit loadFailed(QString::fromUtf8(res::format(res::IDS_MSG_LOAD_FAILED_CODE, rc)));
        return kFailedAndReported;
    }
    updateZoom();
    update();
    emit pictureChanged(QString::fromStdString(path), index + 1, doc_.list().count());
    return kLoaded;
}

void CShowView::updateZoom() {
    const imaging::Bitmap& b = doc_.displayed();
    zoom_ = 1.0;
    if (!b.isAllocated() || width() <= 0 || height() <= 0)
        return;
    // Automatic fit: only pictures larger than the window shrink.
    if (b.width() > width() || b.height() > height())
        zoom_ = std::min(double(width()) / b.width(), double(height()) / b.height());
}

QRect CShowView::displayRect() const {
    const imaging::Bitmap& b = doc_.displayed();
    if (!b.isAllocated())
        return {};
    const int w = static_cast<int>(b.width() * zoom_), h = static_cast<int>(b.height() * zoom_);
    return QRect(w < width() ? (width() - w) / 2 : 0, h < height() ? (height() - h) / 2 : 0, w, h);
}

void CShowView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    updateZoom();
}

void CShowView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), background_);
    const imaging::Bitmap& b = doc_.displayed();
    if (!b.isAllocated()) {
        // The empty text in the inverse of the background.
        p.setPen(
            QColor(255 - background_.red(), 255 - background_.green(), 255 - background_.blue()));
        p.drawText(rect(), Qt::AlignCenter, res::qtext(res::IDS_VIEWER_EMPTY));
        return;
    }
    imaging::BitmapPainter::paint(p, b, QRect(0, 0, b.width(), b.height()), displayRect(),
                                  imaging::PaintQuality::Smooth);
}

} // namespace kamelo
