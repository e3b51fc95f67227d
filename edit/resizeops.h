#pragma once

#include "batchjob.h"
#include "edit/core/resizerule.h"
#include "imaging/bitmap.h"

#include <string>

namespace kamelo::edit {

class ResizeOps {
public:
    // Resizes the picture by the settings' size rule and interpolation.
    // Returns 1, or an error code with reason set ("크기 변환에 실패했습니다."
    // and why); the picture is then as it was.
    static int apply(imaging::Bitmap& picture, const ResizeSettings& settings, std::string& reason);
    // The batch run's pixel step for the settings.
    static PixelStep step(const ResizeSettings& settings);
};

} // namespace kamelo::edit
