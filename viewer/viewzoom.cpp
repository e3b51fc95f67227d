#include "viewzoom.h"

#include "core/zoomrules.h"

#include <algorithm>

namespace kamelo {

QRect ViewZoom::layout(QSize picture, QSize client) const {
    const ViewRect r = ZoomRules::layout(picture.width(), picture.height(), client.width(),
                                         client.height(), factor_, fitting(), pan_.x(), pan_.y());
    return QRect(r.x, r.y, r.width, r.height);
}

void ViewZoom::startPicture() {
    userZoom_ = false;
}

void ViewZoom::prepare(QSize picture, QSize client) {
    pan_ = QPoint();
    if (mode_ == kActualSize)
        factor_ = 1.0;
    else if (mode_ == kAutoFit)
        factor_ = ZoomRules::fitFactor(picture.width(), picture.height(), client.width(),
                                       client.height());
    // Fixed ratio keeps the factor for the following pictures.
}

void ViewZoom::fitLoaded(QSize picture, QSize client) {
    if (mode_ == kAutoFit)
        factor_ = ZoomRules::fitFactor(picture.width(), picture.height(), client.width(),
                                       client.height());
}

void ViewZoom::zoomTo(double newFactor, QSize picture, QSize client) {
    const QRect before = layout(picture, client);
    const double cx = ZoomRules::relativeCentre(before.width(), client.width(), pan_.x());
    const double cy = ZoomRules::relativeCentre(before.height(), client.height(), pan_.y());
    factor_ = newFactor;
    userZoom_ = true;
    const int dw = std::max(1, int(picture.width() * factor_)),
              dh = std::max(1, int(picture.height() * factor_));
    pan_ = QPoint(ZoomRules::panAfterZoom(dw, client.width(), cx),
                  ZoomRules::panAfterZoom(dh, client.height(), cy));
}

bool ViewZoom::setMode(int mode, QSize picture, QSize client) {
    mode_ = mode;
    if (mode == kFixedRatio)
        return false; // keeps the factor and the picture as they are
    userZoom_ = false;
    pan_ = QPoint();
    factor_ = mode == kActualSize ? 1.0
                                  : ZoomRules::fitFactor(picture.width(), picture.height(),
                                                         client.width(), client.height());
    return true;
}

bool ViewZoom::followWindow(QSize picture, QSize client) {
    if (!fitting())
        return false;
    factor_ =
        ZoomRules::fitFactor(picture.width(), picture.height(), client.width(), client.height());
    return true;
}

void ViewZoom::keepPanInside(QSize picture, QSize client) {
    const QRect r = layout(picture, client);
    pan_ = QPoint(ZoomRules::panAfterResize(pan_.x(), r.width(), client.width()),
                  ZoomRules::panAfterResize(pan_.y(), r.height(), client.height()));
}

QPoint ViewZoom::panBy(QPoint delta, QSize picture, QSize client) {
    const QRect r = layout(picture, client);
    const QPoint before = pan_;
    pan_ = QPoint(ZoomRules::panBy(pan_.x(), delta.x(), r.width(), client.width()),
                  ZoomRules::panBy(pan_.y(), delta.y(), r.height(), client.height()));
    return pan_ - before;
}

} // namespace kamelo
