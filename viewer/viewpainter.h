#pragma once

#include "imaging/bitmap.h"
#include "imaging/colour/colourtransform.h"
#include "viewer/core/selectiongeometry.h"

#include <QColor>
#include <QImage>
#include <QRect>
#include <QString>

#include <functional>

class QPainter;

namespace kamelo {

class ScreenCanvas;

// Draws the viewer's client area: the background, the picture (only the
// rows decoded so far while it loads), the selection and the file name.
class ViewPainter {
public:
    struct Scene {
        QRect client;
        QColor background;
        bool emptyList = false;
        const imaging::Bitmap* bitmap = nullptr;
        QRect dest;
        int displayMode = 0; // 0 fast, 1 smooth, 2 best
        bool dragging = false;
        bool decoding = false;
        int decodedRows = 0;
        // While decoding: the bitmap holds the stored rows, dest is the
        // turned picture's place; the rows are drawn turned into it.
        int orientation = 1;
        // The picture already scaled to dest's size (and converted to the
        // screen's colours): drawn as it is.
        const QImage* screen = nullptr;
        // From the picture's colours to the screen's (null: drawn as they
        // are). Without a scaled copy only the painted part is converted,
        // kept in canvas between paints.
        imaging::colour::TransformPtr colour;
        uint64_t colourGeneration = 0;
        ScreenCanvas* canvas = nullptr;
        // The part of the view being painted; empty: all of it.
        QRect exposed;
        bool selectionActive = false;
        SelectionRect selection;
        bool showName = false;
        QString name;
        // Drawn over the picture, under the selection: the sharper parts
        // of a picture shown from a smaller decode of it.
        std::function<void(QPainter&, const Scene&)> detail;
    };
    static void paint(QPainter& p, const Scene& s);
    // Where stored rows [fromRow, toRow) of a picture storedHeight rows high
    // land in dest while it decodes (turned by orientation), so a band
    // repaints only its own part of the view.
    // The picture scaled to dest's size as paint() would draw it, for a view
    // that blits it until the picture or its place changes.
    // Whether such a copy pays: the picture is shrunk and fits the client.
    static bool wantsScreenCopy(QSize picture, const QRect& dest, QSize client) {
        return !dest.isEmpty() && dest.width() < picture.width() &&
               dest.height() <= picture.height() && dest.width() <= client.width() &&
               dest.height() <= client.height();
    }
    // toScreen: converted after scaling, when given (a view-sized copy
    // costs little to convert).
    static QImage screenCopy(const imaging::Bitmap& bitmap, QSize dest, int displayMode,
                             const imaging::colour::ColourTransform* toScreen = nullptr);
    static QRect bandArea(const QRect& dest, int orientation, int storedHeight, int fromRow,
                          int toRow);

private:
    // The picture (the rows decoded so far while it loads) into dest.
    static void drawPicture(QPainter& p, const Scene& s);
};

} // namespace kamelo
