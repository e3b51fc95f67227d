#include "framecomposer.h"

#include "frames/core/skindefinition.h"
#include "frames/core/skinlayout.h"
#include "imaging/geometryops.h"
#include "imaging/picturefile.h"
#include "imaging/result.h"
#include "overlays.h"
#include "resources/stringtable.h"

namespace kamelo::frames {

namespace {

FrameError fromFault(SkinFault fault) {
    switch (fault) {
    case SkinFault::None:
        return FrameError::None;
    case SkinFault::TooLarge:
        return FrameError::TooLarge;
    case SkinFault::Invalid:
        break;
    }
    return FrameError::InvalidSkin;
}

// The INI and the bitmap of a skin, as far as they read.
FrameError loadSkin(const std::string& iniPath, SkinDefinition& definition,
                    imaging::Bitmap& bitmap) {
    if (!readSkin(iniPath, definition))
        return FrameError::InvalidSkin;
    const int rc = imaging::PictureFile::load(skinBitmapPath(iniPath), bitmap);
    if (rc == imaging::result::kTooLarge || rc == imaging::result::kNoMemory)
        return FrameError::BitmapTooLarge;
    if (rc < 1)
        return FrameError::BitmapMissing;
    return FrameError::None;
}

int codeOf(FrameError error) {
    switch (error) {
    case FrameError::None:
        return imaging::result::kSuccess;
    case FrameError::InvalidSkin:
        return imaging::result::kCorruptData;
    case FrameError::BitmapMissing:
        return imaging::result::kFileNotFound;
    case FrameError::BitmapTooLarge:
        return imaging::result::kTooLarge;
    case FrameError::TooLarge:
        return imaging::result::kTooLarge;
    case FrameError::NoPicture:
        break;
    }
    return imaging::result::kNoBitmap;
}

} // namespace

std::string frameErrorText(FrameError error) {
    switch (error) {
    case FrameError::None:
        return {};
    case FrameError::InvalidSkin:
        return std::string(res::text(res::IDS_MSG_FRAME_SKIN_INVALID));
    case FrameError::BitmapMissing:
        return std::string(res::text(res::IDS_MSG_FRAME_BITMAP_MISSING));
    case FrameError::BitmapTooLarge:
        return std::string(res::text(res::IDS_MSG_FRAME_BITMAP_TOO_LARGE));
    case FrameError::TooLarge:
        return std::string(res::text(res::IDS_FRAME_TOO_LARGE));
    case FrameError::NoPicture:
        break;
    }
    return std::string(res::text(res::IDS_FRAME_NO_PICTURE));
}

FrameError checkSkinFile(const std::string& skinIniPath) {
    if (skinIniPath.empty())
        return FrameError::None;
    SkinDefinition definition;
    imaging::Bitmap bitmap;
    if (const FrameError error = loadSkin(skinIniPath, definition, bitmap);
        error != FrameError::None)
        return error;
    return fromFault(checkSkin(definition, bitmap.width(), bitmap.height()));
}

bool framesPicture(const DecorationRecord& record) {
    return record.frameIndex > 0 && !record.skinPath.empty();
}

FrameError frameBitmap(const imaging::Bitmap& picture, const std::string& skinIniPath,
                       imaging::Bitmap& framed) {
    if (!picture.isAllocated())
        return FrameError::NoPicture;
    if (skinIniPath.empty()) {
        framed = picture;
        return FrameError::None;
    }
    SkinDefinition definition;
    imaging::Bitmap skin;
    if (const FrameError error = loadSkin(skinIniPath, definition, skin); error != FrameError::None)
        return error;
    FrameLayout layout;
    const SkinFault fault = layOut(definition, skin.width(), skin.height(), picture.width(),
                                   picture.height(), imaging::kMaxPixels, layout);
    if (fault != SkinFault::None)
        return fromFault(fault);
    imaging::Bitmap canvas;
    // Margins the pieces leave uncovered stay white, as transparent pictures do.
    if (canvas.create(layout.canvasWidth, layout.canvasHeight) < 1)
        return FrameError::TooLarge;
    for (const PieceCopy& c : layout.copies) {
        const imaging::Bitmap& from = c.kind == PieceCopy::Kind::Picture ? picture : skin;
        imaging::GeometryOps::combine(canvas, from, c.dx, c.dy, c.width, c.height, c.sx, c.sy);
    }
    canvas.setResolution(picture.xResolution(), picture.yResolution());
    framed = std::move(canvas);
    return FrameError::None;
}

void drawOverlays(imaging::Bitmap& canvas, const DecorationRecord& record) {
    if (record.drawTag)
        drawTag(canvas, record);
    if (record.drawText)
        drawText(canvas, record);
}

int decorate(imaging::Bitmap& picture, const DecorationRecord& record, std::string& reason) {
    if (!picture.isAllocated()) {
        reason = frameErrorText(FrameError::NoPicture);
        return imaging::result::kNoBitmap;
    }
    // The tag is read first, so that nothing is composed for a file that
    // fails anyway.
    imaging::Bitmap tag;
    if (record.drawTag) {
        const int rc = record.tagPath.empty() ? imaging::result::kFileNotFound
                                              : imaging::PictureFile::load(record.tagPath, tag);
        if (rc < 1) {
            reason = res::format(res::IDS_FRAME_TAG_UNREADABLE, imaging::resultText(rc).c_str());
            return rc;
        }
    }
    imaging::Bitmap framed;
    imaging::Bitmap* canvas = &picture;
    if (framesPicture(record)) {
        if (const FrameError error = frameBitmap(picture, record.skinPath, framed);
            error != FrameError::None) {
            reason = frameErrorText(error);
            return codeOf(error);
        }
        canvas = &framed;
    }
    if (record.drawTag)
        placeTag(*canvas, record, tag);
    if (record.drawText)
        drawText(*canvas, record);
    if (canvas == &framed)
        picture = std::move(framed);
    return imaging::result::kSuccess;
}

} // namespace kamelo::frames
