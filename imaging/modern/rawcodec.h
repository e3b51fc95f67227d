#pragma once

#include "imaging/bitmap.h"
#include "imaging/core/filebytes.h"
#include "imaging/fileinfo.h"
#include "imaging/loadoptions.h"

#include <atomic>
#include <string>

// Camera RAW files through LibRaw.
namespace kamelo::imaging::rawcodec {

// Size of the developed picture, "RAW (<camera format>)" as compression.
int readInfo(ByteView bytes, FileInfo& info);
// The same from a file on disk whose first bytes are head: LibRaw reads the
// parts it parses, not the tens of megabytes of sensor data.
int readInfo(const std::string& path, ByteView head, FileInfo& info);
// options.scaleDenominator > 1: the largest embedded preview (a quick first
// picture); 1: the full development (camera white balance, sRGB, 8 bits).
// Neither is turned by the orientation (readOrientation reports it).
int decode(ByteView bytes, const LoadOptions& options, Bitmap& out);
// The quick first picture of decode (options.scaleDenominator > 1) from a
// file on disk, when its IFDs hold the preview: only the headers and the
// preview are read, and a JPEG preview arrives band by band as a JPEG file's
// rows do. kUnsupported when the IFDs do not tell (decode then asks LibRaw).
int decodeFirstPicture(const std::string& path, const LoadOptions& options, Bitmap& out);
// The largest embedded preview, as stored; kNoStamp when none.
int readStamp(ByteView bytes, Bitmap& out);
// The same, decoded as small as still covers minWidth x minHeight where the
// preview is a JPEG (1/2, 1/4 or 1/8 of it): for thumbnails.
int readStampCovering(ByteView bytes, int minWidth, int minHeight, Bitmap& out);
// The same from a file on disk, reading only the headers and the preview
// (a camera's RAW file is tens of megabytes; its preview a fraction of that).
int readStampCovering(const std::string& path, int minWidth, int minHeight, Bitmap& out);
// The file's orientation (1-8).
int readOrientation(const std::string& path);

// While it lives, a development on this thread stops between LibRaw's steps
// once stop is set (decode then returns kAborted): a full development takes
// seconds, and a viewer that moved on to another picture should not wait
// for it to end.
class StopScope {
public:
    explicit StopScope(const std::atomic<bool>& stop);
    ~StopScope();
    StopScope(const StopScope&) = delete;
    StopScope& operator=(const StopScope&) = delete;

private:
    const std::atomic<bool>* previous_;
};
// Whether a StopScope on this thread has been told to stop.
bool stopAsked();

} // namespace kamelo::imaging::rawcodec
