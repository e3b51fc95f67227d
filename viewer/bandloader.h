#pragma once

#include "imaging/bitmap.h"

#include <QPointer>
#include <QSize>

#include <functional>
#include <memory>
#include <string>

namespace kamelo {

// Decodes a picture band by band so the view can paint the rows as they
// arrive; between bands the user's input is looked at (navigation keys and
// wheel turns end the decode with their code, other input is dropped).
class BandLoader {
public:
    // A decode begun on a thread of its own before any view existed (the
    // program's command-line picture, while its window is being made): the
    // next load() follows it instead of decoding again when it is of the
    // same file at the same scale, and ends it otherwise.
    class HeadStart {
    public:
        // Stops the decode and waits for it.
        virtual ~HeadStart() = default;
        virtual bool matches(const std::string& path, int scale) const = 0;
        // Waits up to ms for more rows than seen. bitmap: the rows decoded
        // so far (null before the first band), kept until finish(); rows:
        // how many may be painted (the row after them is complete too, for
        // smoothing). True once the decode has ended.
        virtual bool wait(int seen, int ms, const imaging::Bitmap*& bitmap, int& rows) = 0;
        virtual void stop() = 0;
        // Waits for the end: the decode's code, the picture into out.
        virtual int finish(imaging::Bitmap& out) = 0;
    };
    // Kept for the next load() only; null drops the one kept.
    static void offerHeadStart(std::unique_ptr<HeadStart> headStart);

    bool active() const { return active_; }
    // The bitmap being filled (null before the first band), as stored; at
    // a decode scale it is that much smaller than size().
    const imaging::Bitmap* bitmap() const { return bitmap_; }
    QSize size() const { return size_; }
    // How the stored rows are turned for showing (EXIF orientation, 1 for
    // none), and the size of the picture so turned.
    int orientation() const { return orientation_; }
    QSize shownSize() const;
    int rows() const { return rows_; }

    // announced: the stored size from the header. orientation: how the
    // rows will be turned once decoded (the bands are painted turned).
    // boundary: 1 at the first picture, 2 at the last one when stepping past
    // them is off, else 0. onBand(pass) runs after each band with the state
    // above updated. owner guards against the view closing during the
    // decode; closeAsked tells whether a window was closed meanwhile.
    // Returns the library's code (a navigation code when a key ended it).
    // scale: a JPEG is decoded at 1/scale of its size (the bitmap is then
    // smaller than size(), which stays the announced one). spare: a picture
    // no longer shown whose memory the decode may take over.
    int load(const std::string& path, QSize announced, int orientation, int boundary, int scale,
             imaging::Bitmap* spare, const QPointer<QObject>& owner,
             const std::function<void(int pass)>& onBand, imaging::Bitmap& decoded,
             bool& closeAsked);

private:
    int follow(HeadStart& headStart, const QPointer<QObject>& owner,
               const std::function<void(int pass)>& onBand, imaging::Bitmap& decoded, int& code);

    bool active_ = false;
    const imaging::Bitmap* bitmap_ = nullptr;
    QSize size_;
    int rows_ = 0;
    int orientation_ = 1;
};

} // namespace kamelo
