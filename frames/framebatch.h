#pragma once

#include "edit/batchoperation.h"

#include <any>
#include <string>
#include <vector>

namespace kamelo::frames {

// The frame tool's batch run ("액자 넣기"): one DecorationRecord per file,
// decorate as the pixel step, the output written by its extension (JPEG at
// quality 96 with the source's camera information), and existing files in
// a destination folder asked about before they are replaced. The frame
// panel registers it with BatchHandOver for EditTool::Frame.
edit::BatchOperation frameBatchOperation();

// Checks every record's skin before a run starts: "" when all can be drawn,
// else the Korean reason of the first that cannot.
std::string checkRecordSkins(const std::vector<std::any>& records);

} // namespace kamelo::frames
