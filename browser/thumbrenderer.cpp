#include "thumbrenderer.h"

#include "browser/core/thumbfit.h"
#include "imaging/core/filebytes.h"
#include "imaging/filecomments.h"
#include "imaging/modern/rawcodec.h"
#include "imaging/orientation.h"
#include "imaging/picturefile.h"
#include "imaging/pictureformat.h"
#include "imaging/resize.h"

#include <QPainter>

#include <algorithm>
#include <map>
#include <vector>

namespace kamelo {

namespace {

// The largest JPEG scale 1/n whose result is still at least the fitted size,
// so that the picture is only ever shrunk afterwards. A picture that will be
// turned a quarter is fitted with its sides swapped.
int scaleFor(const std::string& path, const ThumbRecipe& recipe, bool swapSides) {
    imaging::FileInfo info;
    if (imaging::PictureFile::readInfo(path, info) < 1)
        return 1;
    const int w = swapSides ? info.height : info.width;
    const int h = swapSides ? info.width : info.height;
    const ThumbPlacement p = ThumbFit::place(w, h, recipe.width, recipe.height, recipe.border);
    if (!p.valid())
        return 1;
    for (int n : {8, 4, 2})
        if ((w + n - 1) / n >= p.width && (h + n - 1) / n >= p.height)
            return n;
    return 1;
}

// HEIF, AVIF, WebP, JPEG XL and RAW files: their orientation is the
// container's or codestream's own (a HEIF's rotation boxes, a RAW's value),
// not always an EXIF tag, and their stamps are images of any size.
bool isModern(const std::string& path) {
    switch (imaging::formatFromExtension(imaging::extensionOf(path))) {
    case imaging::PictureFormat::Heif:
    case imaging::PictureFormat::Avif:
    case imaging::PictureFormat::WebP:
    case imaging::PictureFormat::Jxl:
    case imaging::PictureFormat::Raw:
        return true;
    default:
        return false;
    }
}

// A RAW file's preview decoded only as large as the cell needs (a JPEG
// preview at 1/2, 1/4 or 1/8): a camera's previews are megapixels each.
int rawStamp(const std::string& path, const ThumbRecipe& recipe, bool swapSides,
             imaging::Bitmap& out) {
    std::vector<uint8_t> head;
    if (const int rc = imaging::readFileHead(path, 64, head); rc < 1)
        return rc;
    if (imaging::detectFormat(head.data(), head.size(), imaging::extensionOf(path)) !=
        imaging::PictureFormat::Raw)
        return imaging::PictureFile::readStamp(path, out);
    const int boxWidth = std::max(1, recipe.width - 2 * recipe.border);
    const int boxHeight = std::max(1, recipe.height - 2 * recipe.border - ThumbFit::kLabelHeight);
    return imaging::rawcodec::readStampCovering(path, swapSides ? boxHeight : boxWidth,
                                                swapSides ? boxWidth : boxHeight, out);
}

// A thumbnail image or preview that fills the cell without being enlarged.
bool coversCell(const imaging::Bitmap& stamp, const ThumbRecipe& recipe, bool swapSides) {
    const int w = swapSides ? stamp.height() : stamp.width();
    const int h = swapSides ? stamp.width() : stamp.height();
    const ThumbPlacement p = ThumbFit::place(w, h, recipe.width, recipe.height, recipe.border);
    return p.valid() && w >= p.width && h >= p.height;
}

} // namespace

ThumbResult ThumbRenderer::render(const std::string& path, const ThumbRecipe& recipe,
                                  const std::function<bool()>& stopRequested) {
    ThumbResult r;
    auto stop = [&] {
        if (stopRequested && stopRequested())
            r.stopped = true;
        return r.stopped;
    };

    // The orientation and the capture date come from one reading of the
    // camera information.
    const std::map<int, std::vector<uint8_t>> comments = imaging::FileComments::readMany(
        path, {imaging::comment::kDateTimeOriginal, imaging::comment::kOrientation});
    const bool modern = isModern(path);
    int orientation = imaging::Orientation::kUpright;
    if (recipe.upright && modern)
        orientation = imaging::Orientation::read(path);
    else if (recipe.upright)
        if (auto it = comments.find(imaging::comment::kOrientation); it != comments.end())
            orientation = imaging::Orientation::fromBytes(it->second);

    imaging::Bitmap picture;
    imaging::colour::ProfilePtr profile;
    const int colour = thumbcolour::settled(recipe.colour);
    bool loaded = false;
    if (recipe.useStamp && !stop()) {
        const bool swap = imaging::Orientation::swapsSides(orientation);
        loaded =
            (imaging::formatFromExtension(imaging::extensionOf(path)) == imaging::PictureFormat::Raw
                 ? rawStamp(path, recipe, swap, picture)
                 : imaging::PictureFile::readStamp(path, picture)) >= 1;
        // A phone's or camera's small thumbnail would be enlarged: the
        // picture (a RAW's preview) is decoded instead.
        if (loaded && modern && !coversCell(picture, recipe, swap)) {
            picture.free();
            loaded = false;
        }
        // A stamp was made in the file's colour space: the reader gives an
        // EXIF stamp the file's profile; a RAW's or HEIF's preview is looked
        // up, unless the values are kept.
        profile = picture.colourProfile();
        if (loaded && !profile && modern && colour != thumbcolour::kOwnValues)
            imaging::PictureFile::readProfile(path, profile);
    }
    if (!loaded && !stop()) {
        imaging::LoadOptions options;
        options.scaleDenominator =
            scaleFor(path, recipe, imaging::Orientation::swapsSides(orientation));
        options.mayReduce = true;
        loaded = imaging::PictureFile::load(path, picture, options) >= 1;
        profile = picture.colourProfile(); // turning and scaling make new bitmaps
    }
    if (!loaded || stop())
        return r;
    if (imaging::Orientation::makeUpright(picture, orientation) < 1)
        return r;

    const ThumbPlacement place = ThumbFit::place(picture.width(), picture.height(), recipe.width,
                                                 recipe.height, recipe.border);
    if (!place.valid())
        return r;
    if ((picture.width() != place.width || picture.height() != place.height) &&
        imaging::Resize::apply(picture, place.width, place.height, imaging::Resize::kResample) < 1)
        return r;
    if (stop())
        return r;
    // Converted at the cell's size: a few thousand pixels, not the picture's.
    if (const imaging::colour::TransformPtr t = thumbcolour::toSrgb(colour, profile))
        t->apply(picture);

    r.cell = recipe.cellTemplate.isNull()
                 ? QImage(recipe.width, recipe.height, QImage::Format_RGB32)
                 : recipe.cellTemplate.copy();
    if (recipe.cellTemplate.isNull())
        r.cell.fill(Qt::white);
    {
        QPainter p(&r.cell);
        p.drawImage(place.x, place.y, picture.view());
    }
    r.pictureRect = place.rect();
    r.decoded = true;

    int32_t taken = 0;
    const auto date = comments.find(imaging::comment::kDateTimeOriginal);
    if (date != comments.end() &&
        ThumbFit::captureTime(std::string(date->second.begin(), date->second.end()), taken)) {
        r.dateTakenKnown = true;
        r.dateTaken = taken;
    }
    return r;
}

} // namespace kamelo
