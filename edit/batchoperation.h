#pragma once

#include "batchjob.h"

#include <any>
#include <functional>

namespace kamelo::edit {

// The tools a browser command opens on its selection in the viewer's edit
// panel; the values are the messages the panel is opened with.
enum class EditTool : int {
    Frame = 0x0400 + 25,
    Rotate = 0x0400 + 26,
    Colour = 0x0400 + 29,
};

// The messages a batch-mode panel answers with.
namespace handovermsg {
inline constexpr int kConfirmRotate = 0x0400 + 32;
inline constexpr int kConfirmFrame = 0x0400 + 33;
inline constexpr int kConfirmColour = 0x0400 + 34;
inline constexpr int kClosePanel = 0x0400 + 36;
} // namespace handovermsg

// What a tool brings to a batch run: the progress dialog's title, its
// pixel step, whether existing files are asked about, and the record every
// file starts with before the panel fills it in.
struct BatchOperation {
    int titleId = 0;
    PixelStep step;
    bool askBeforeOverwrite = true;
    std::function<std::any()> newRecord;
    // A record that asks for its file to be stood upright by its EXIF
    // orientation, whatever the run's own setting (see BatchJob).
    std::function<bool(const std::any* record)> uprightFor;
    // Files the tool writes without decoding them, when it can.
    DirectWrite directWrite;
};

} // namespace kamelo::edit
