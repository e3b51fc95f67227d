#pragma once

#include "batchoperation.h"
#include "edit/core/rotatecode.h"
#include "imaging/bitmap.h"

#include <string>

namespace kamelo::edit {

// The rotate tool's operations on a picture in memory.
class RotateOps {
public:
    // Each returns 1 or an error code; on an error the picture is as it was.
    static int apply(imaging::Bitmap& picture, const std::vector<RotateStep>& steps);
    static int applyCode(imaging::Bitmap& picture, RotateCode code);
    static int undoCode(imaging::Bitmap& picture, RotateCode code);
    // Stands the picture upright for its EXIF orientation; *turned tells
    // whether anything turned (1 and values without a fixed turn: no).
    static int autoTurn(imaging::Bitmap& picture, int orientation, bool* turned = nullptr);
};

// The rotate tool's batch run: its record is a RotateCode per file, code
// Auto being stood upright by the run itself (BatchJob::uprightFor).
BatchOperation rotateBatchOperation();
void registerRotateBatch();

} // namespace kamelo::edit
