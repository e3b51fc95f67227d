#include "thumbrenderer.h"

#include "browser/core/thumbfit.h"
#include "imaging/filecomments.h"
#include "imaging/picturefile.h"
#include "imaging/resize.h"

#include <QPainter>

namespace kamelo {

namespace {

// The largest JPEG scale 1/n whose result is still at least the fitted size,
// so that the picture is only ever shrunk afterwards.
int scaleFor(const std::string& path, const ThumbRecipe& recipe) {
    imaging::FileInfo info;
    if (imaging::PictureFile::readInfo(path, info) < 1)
        return 1;
    const ThumbPlacement p =
        ThumbFit::place(info.width, info.height, recipe.width, recipe.height, recipe.border);
    if (!p.valid())
        return 1;
    for (int n : {8, 4, 2})
        if ((info.width + n - 1) / n >= p.width && (info.height + n - 1) / n >= p.height)
            return n;
    return 1;
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

    imaging::Bitmap picture;
    bool loaded = false;
    if (recipe.useStamp && !stop())
        loaded = imaging::PictureFile::readStamp(path, picture) >= 1;
    if (!loaded && !stop()) {
        imaging::LoadOptions options;
        options.scaleDenominator = scaleFor(path, recipe);
        loaded = imaging::PictureFile::load(path, picture, options) >= 1;
    }
    if (!loaded || stop())
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
    if (ThumbFit::captureTime(
            imaging::FileComments::text(path, imaging::comment::kDateTimeOriginal), taken)) {
        r.dateTakenKnown = true;
        r.dateTaken = taken;
    }
    return r;
}

} // namespace kamelo
