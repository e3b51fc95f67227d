#pragma once

#include "imaging/bitmap.h"
#include "imaging/colour/colourtransform.h"

#include <QImage>
#include <QSize>

#include <cstdint>

namespace kamelo {

// The fitted screen copy of a picture made band by band while its full
// decode runs, on the thread that is idle by then, so that the sharp frame
// is one blit when the decode ends instead of a scaling of the whole
// picture. Every row equals ViewPainter::screenCopy's.
class BandedScreenCopy {
public:
    struct Target {
        QSize dest;
        int displayMode = -1;
        imaging::colour::TransformPtr colour;
        uint64_t generation = 0;
        bool operator==(const Target& o) const {
            return dest == o.dest && displayMode == o.displayMode && colour == o.colour &&
                   generation == o.generation;
        }
    };

    void reset() { *this = BandedScreenCopy(); }
    // Scales in what rows [0, rows) of picture (upright, being decoded top
    // to bottom) settle of the copy for target; a new target starts over.
    void extend(const imaging::Bitmap& picture, int rows, const Target& target);
    // The copy for target of the whole picture, its last rows made now.
    QImage finish(const imaging::Bitmap& picture, const Target& target);
    int rowsDone() const { return done_; }

private:
    void scaleRows(const imaging::Bitmap& picture, int to);
    Target target_;
    QImage image_;
    int done_ = 0;
};

} // namespace kamelo
