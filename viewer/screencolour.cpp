#include "screencolour.h"

#include "imaging/slideframe.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <atomic>

namespace kamelo::screencolour {

namespace {
std::atomic<uint64_t> converted{0};
}

int screenIndex(const QWidget* widget) {
    const QScreen* screen = widget ? widget->screen() : nullptr;
    const int index = screen ? int(QGuiApplication::screens().indexOf(screen)) : -1;
    return index > 0 ? index : 0;
}

void convertRect(QImage& image, const QRect& rect, const imaging::colour::ColourTransform& t) {
    const QRect r = rect & image.rect();
    if (r.isEmpty() || image.depth() != 32)
        return;
    // A view on the rectangle's rows in the image's own memory: the
    // transform works on it in place.
    uchar* first = image.bits() + qsizetype(r.y()) * image.bytesPerLine() + qsizetype(r.x()) * 4;
    QImage part(first, r.width(), r.height(), image.bytesPerLine(), image.format());
    t.apply(part);
    converted += uint64_t(r.width()) * uint64_t(r.height());
}

QImage slide(const imaging::Bitmap& picture, QSize view, QColor background,
             const imaging::colour::ColourTransform* toScreen) {
    QImage frame = imaging::SlideFrame::compose(picture, view, background);
    if (!toScreen || frame.isNull() || !picture.isAllocated())
        return frame;
    // Centred as the frame places it.
    const QSize fitted =
        imaging::SlideFrame::fitInside(QSize(picture.width(), picture.height()), view);
    const QPoint at((view.width() - fitted.width()) / 2, (view.height() - fitted.height()) / 2);
    convertRect(frame, QRect(at, fitted), *toScreen);
    return frame;
}

uint64_t convertedPixels() {
    return converted.load();
}

} // namespace kamelo::screencolour
