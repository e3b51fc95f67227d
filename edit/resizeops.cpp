#include "resizeops.h"

#include "imaging/resize.h"
#include "imaging/result.h"
#include "resources/stringtable.h"

namespace kamelo::edit {

int ResizeOps::apply(imaging::Bitmap& picture, const ResizeSettings& settings,
                     std::string& reason) {
    const std::string failed(res::text(res::IDS_MSG_RESIZE_FAILED));
    if (!picture.isAllocated()) {
        reason = failed;
        return imaging::result::kNoBitmap;
    }
    const int flag = ResizeRule::flagForIndex(settings.interpolation);
    if (flag < 0) {
        reason = std::string(res::text(res::IDS_MSG_RESIZE_METHOD_FAILED));
        return imaging::result::kInvalidParameter;
    }
    const PixelSize size = ResizeRule::targetSize(settings, picture.width(), picture.height());
    if (!ResizeRule::makeable(size)) {
        reason =
            failed + " (" + std::to_string(size.width) + " x " + std::to_string(size.height) + ")";
        return imaging::result::kInvalidParameter;
    }
    const int rc = imaging::Resize::apply(picture, size.width, size.height, flag);
    if (rc < 1)
        reason = failed + " " + imaging::resultText(rc);
    return rc;
}

PixelStep ResizeOps::step(const ResizeSettings& settings) {
    return [settings](imaging::Bitmap& picture, const std::any*, std::string& reason) {
        return apply(picture, settings, reason);
    };
}

} // namespace kamelo::edit
