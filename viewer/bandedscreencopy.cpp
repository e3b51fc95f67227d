#include "bandedscreencopy.h"

#include "screencolour.h"
#include "viewpainter.h"

#include "imaging/bitmappainter.h"

#include <QPainter>

#include <algorithm>

namespace kamelo {

namespace {

// Source rows a smoothly scaled row may read below its own position:
// the filter's second row and fixed-point rounding.
constexpr int kFilterRows = 3;

// The copy's rows that only read picture rows below rows.
int settledRows(int rows, int pictureHeight, int destHeight) {
    if (rows >= pictureHeight)
        return destHeight;
    // Row y reads around (y + 0.5) * h / d; solve for the last y whose
    // rows stay below rows - kFilterRows.
    const int64_t usable = int64_t(rows) - kFilterRows;
    if (usable <= 0)
        return 0;
    const int64_t y = (usable * destHeight) / pictureHeight - 1;
    return static_cast<int>(std::clamp<int64_t>(y, 0, destHeight));
}

} // namespace

void BandedScreenCopy::extend(const imaging::Bitmap& picture, int rows, const Target& target) {
    // The best quality resamples the whole picture at once.
    if (target.displayMode == 2 || target.dest.isEmpty() || !picture.isAllocated())
        return;
    if (!(target == target_) || image_.isNull()) {
        target_ = target;
        done_ = 0;
        image_ = QImage(target.dest, QImage::Format_RGB32);
        if (image_.isNull())
            return;
    }
    scaleRows(picture, settledRows(rows, picture.height(), target.dest.height()));
}

QImage BandedScreenCopy::finish(const imaging::Bitmap& picture, const Target& target) {
    if (!(target == target_) || image_.isNull() || target.displayMode == 2) {
        reset();
        return ViewPainter::screenCopy(picture, target.dest, target.displayMode,
                                       target.colour.get());
    }
    scaleRows(picture, target.dest.height());
    QImage done = std::move(image_);
    reset();
    return done;
}

void BandedScreenCopy::scaleRows(const imaging::Bitmap& picture, int to) {
    if (to <= done_ || image_.isNull())
        return;
    const QRect band(0, done_, image_.width(), to - done_);
    {
        QPainter p(&image_);
        // The whole picture into the whole copy, clipped to the band: each
        // row is sampled exactly as in one paint of everything.
        p.setClipRect(band);
        imaging::BitmapPainter::paint(
            p, picture, QRect(0, 0, picture.width(), picture.height()), image_.rect(),
            target_.displayMode == 1 ? imaging::PaintQuality::Smooth : imaging::PaintQuality::Fast);
    }
    if (target_.colour)
        screencolour::convertRect(image_, band, *target_.colour);
    done_ = to;
}

} // namespace kamelo
