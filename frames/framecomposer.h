#pragma once

#include "frames/core/decorationrecord.h"
#include "imaging/bitmap.h"

#include <string>

namespace kamelo::frames {

// Why a frame could not be put around a picture. Nothing is written in any
// of these cases.
enum class FrameError {
    None,
    InvalidSkin,    // a damaged or inconsistent INI (61472)
    BitmapMissing,  // the skin's bitmap is missing or unreadable (61473)
    BitmapTooLarge, // the skin's bitmap is there but too large to load
    TooLarge,       // the framed canvas would exceed the imaging limit
    NoPicture,      // there is no picture to frame
};

// The Korean sentence for an error (empty for None).
std::string frameErrorText(FrameError error);

// Checks a skin without a picture: its INI file, its bitmap and the
// numbers against the bitmap (a run checks its records' skins before it
// starts). An empty path is no frame and passes.
FrameError checkSkinFile(const std::string& skinIniPath);

// Whether a record asks for a frame: a list index past "no frame" and a skin.
bool framesPicture(const DecorationRecord& record);

// Puts picture inside the frame of the skin at skinIniPath; framed receives
// the canvas. An empty skin path copies the picture unframed.
FrameError frameBitmap(const imaging::Bitmap& picture, const std::string& skinIniPath,
                       imaging::Bitmap& framed);

// Draws the record's tag picture and text (each when switched on) onto
// canvas. A tag that cannot be loaded or text that falls outside draws
// nothing there; never fails.
void drawOverlays(imaging::Bitmap& canvas, const DecorationRecord& record);

// The whole decoration of one picture, in place: frame (when
// framesPicture), then tag, then text. Returns 1 or an error code, with
// reason set to a Korean sentence; the picture is unchanged on failure. A
// tag switched on that cannot be loaded fails here, unlike drawOverlays, so
// that a batch run reports the file instead of writing it without its tag.
int decorate(imaging::Bitmap& picture, const DecorationRecord& record, std::string& reason);

} // namespace kamelo::frames
