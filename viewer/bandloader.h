#pragma once

#include "imaging/bitmap.h"

#include <QPointer>
#include <QSize>

#include <functional>
#include <string>

namespace kamelo {

// Decodes a picture band by band so the view can paint the rows as they
// arrive; between bands the user's input is looked at (navigation keys and
// wheel turns end the decode with their code, other input is dropped).
class BandLoader {
public:
    bool active() const { return active_; }
    // The bitmap being filled (null before the first band).
    const imaging::Bitmap* bitmap() const { return bitmap_; }
    QSize size() const { return size_; }
    int rows() const { return rows_; }

    // boundary: 1 at the first picture, 2 at the last one when stepping past
    // them is off, else 0. onBand(pass) runs after each band with the state
    // above updated. owner guards against the view closing during the
    // decode; closeAsked tells whether a window was closed meanwhile.
    // Returns the library's code (a navigation code when a key ended it).
    int load(const std::string& path, QSize announced, int boundary, const QPointer<QObject>& owner,
             const std::function<void(int pass)>& onBand, imaging::Bitmap& decoded,
             bool& closeAsked);

private:
    bool active_ = false;
    const imaging::Bitmap* bitmap_ = nullptr;
    QSize size_;
    int rows_ = 0;
};

} // namespace kamelo
