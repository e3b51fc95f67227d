#pragma once

#include "imaging/bitmap.h"

namespace kamelo::imaging::rawcodec {

class RawSession;

// Develops an opened file's sensor data: the camera's white balance, sRGB
// primaries and tone curve, 8 bits, not turned by the orientation. halfSize:
// at half size without interpolation (quick). Returns 1 or an error code.
int develop(RawSession& session, bool halfSize, Bitmap& out);

} // namespace kamelo::imaging::rawcodec
