#include "picturereader.h"

#include "base/uisettings.h"
#include "exif/jpegpropertyinfo.h"
#include "imaging/colour/displaycolour.h"
#include "imaging/geometryops.h"
#include "imaging/orientation.h"
#include "imaging/picturefile.h"
#include "print/core/captiontemplate.h"

#include <algorithm>
#include <cmath>

namespace kamelo {

namespace {
constexpr uint16_t kDateTimeOriginal = 36867;
}

std::string PictureReader::dateTaken(const std::string& path) {
    const JpegPropertyInfo info = JpegPropertyInfo::read(path);
    const JpegPropertyInfo::Item* item = info.item(kDateTimeOriginal);
    return item ? CaptionTemplate::formatDateTaken(item->text) : std::string();
}

bool FilePictureReader::size(const std::string& path, int& width, int& height) {
    imaging::FileInfo info;
    if (imaging::PictureFile::readInfo(path, info) < 1 || info.width <= 0 || info.height <= 0)
        return false;
    const bool swap =
        picturesUpright() && imaging::Orientation::swapsSides(imaging::Orientation::read(path));
    width = swap ? info.height : info.width;
    height = swap ? info.width : info.height;
    return true;
}

int FilePictureReader::reductionFor(int width, int height, int destWidth, int destHeight) {
    for (int n : {8, 4, 2})
        if (width / n >= destWidth && height / n >= destHeight)
            return n;
    return 1;
}

bool FilePictureReader::read(const std::string& path, const SourceRect& source, int destWidth,
                             int destHeight, QImage& out) {
    out = QImage();
    int fullW = 0, fullH = 0;
    if (destWidth <= 0 || destHeight <= 0 || !size(path, fullW, fullH))
        return false;
    imaging::LoadOptions options;
    options.scaleDenominator = reductionFor(source.width, source.height, destWidth, destHeight);
    options.mayReduce = true; // drawn at the page's resolution
    imaging::Bitmap picture;
    if (imaging::PictureFile::load(path, picture, options) < 1)
        return false;
    // Pages go out as sRGB; taken now, as turning and cutting make new bitmaps.
    const imaging::colour::TransformPtr toSrgb =
        imaging::colour::DisplayColour::toSrgb(picture.colourProfile());
    const int orientation = picturesUpright() ? imaging::Orientation::read(path) : 1;
    if (imaging::Orientation::makeUpright(picture, orientation) < 1)
        return false;
    const bool whole =
        source.x == 0 && source.y == 0 && source.width == fullW && source.height == fullH;
    if (!whole) {
        // The source rectangle is in full-size pixels; the picture may be reduced.
        const double fx = double(picture.width()) / fullW, fy = double(picture.height()) / fullH;
        imaging::Rect cut{int(std::floor(source.x * fx)), int(std::floor(source.y * fy)),
                          std::max(1, int(std::lround(source.width * fx))),
                          std::max(1, int(std::lround(source.height * fy)))};
        if (imaging::GeometryOps::trim(picture, cut) < 1)
            return false;
    }
    const QImage view = picture.view();
    if (view.width() > destWidth || view.height() > destHeight)
        out = view.scaled(std::min(view.width(), destWidth), std::min(view.height(), destHeight),
                          Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    else
        out = view.copy();
    // Converted as drawn: at most the printed size, never the whole file.
    if (toSrgb && !out.isNull())
        toSrgb->apply(out);
    return !out.isNull();
}

} // namespace kamelo
