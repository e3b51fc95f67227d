#include "slideframe.h"

#include "resize.h"

#include <QPainter>

#include <algorithm>

#include <cstdint>

namespace kamelo::imaging {

QSize SlideFrame::fitInside(QSize picture, QSize box) {
    const int64_t w = picture.width(), h = picture.height();
    const int64_t W = box.width(), H = box.height();
    if (w <= 0 || h <= 0 || W <= 0 || H <= 0)
        return {};
    if (w <= W && h <= H)
        return picture;
    // The full width when the box is relatively taller than the picture.
    if (H * w >= h * W)
        return {int(W), int(std::max<int64_t>(1, W * h / w))};
    return {int(std::max<int64_t>(1, H * w / h)), int(H)};
}

QImage SlideFrame::compose(const QImage& picture, QSize view, QColor background) {
    if (view.isEmpty() || int64_t(view.width()) * view.height() > kMaxPixels)
        return {};
    QImage frame(view, QImage::Format_RGB32);
    if (frame.isNull())
        return {};
    frame.fill(background.rgb());
    if (picture.isNull())
        return frame;
    const QSize fitted = fitInside(picture.size(), view);
    QPainter p(&frame);
    const QPoint at((view.width() - fitted.width()) / 2, (view.height() - fitted.height()) / 2);
    if (fitted == picture.size())
        p.drawImage(at, picture);
    else
        p.drawImage(at, picture.scaled(fitted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    return frame;
}

QImage SlideFrame::compose(const Bitmap& picture, QSize view, QColor background) {
    if (!picture.isAllocated())
        return compose(QImage(), view, background);
    const QSize fitted = fitInside(QSize(picture.width(), picture.height()), view);
    if (fitted == QSize(picture.width(), picture.height()) || fitted.isEmpty())
        return compose(picture.view(), view, background);
    // Shrunk by area averaging: every source pixel counts, as on screen.
    Bitmap small;
    if (Resize::scaled(picture, fitted.width(), fitted.height(), Resize::kResample, small) < 1)
        return {};
    return compose(small.view(), view, background);
}

} // namespace kamelo::imaging
