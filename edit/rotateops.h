#pragma once

#include "batchoperation.h"
#include "edit/core/rotatecode.h"
#include "imaging/bitmap.h"
#include "imaging/planeturn.h"

#include <optional>
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

    // What a code's steps do, as one turn (none for None and Auto).
    static imaging::PlaneTurn turnFor(RotateCode code);
    // The same as a batch file: a JPEG source written as a JPEG is turned on
    // its compressed data (stood upright by its EXIF orientation first when
    // upright), losslessly when its edges allow, and note says when they did
    // not. nullopt when this does not apply (the file is decoded instead).
    static std::optional<int> writeTurned(const std::string& source, const std::string& destination,
                                          imaging::PlaneTurn turn, bool upright,
                                          std::string& reason, std::string& note);
};

// The rotate tool's batch run: its record is a RotateCode per file, code
// Auto being stood upright by the run itself (BatchJob::uprightFor).
BatchOperation rotateBatchOperation();
void registerRotateBatch();

} // namespace kamelo::edit
