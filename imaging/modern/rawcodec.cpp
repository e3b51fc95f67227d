#include "rawcodec.h"

#include "imaging/result.h"

namespace kamelo::imaging::rawcodec {

// TEMPORARY: replaced by the reader itself.
int readInfo(ByteView, FileInfo&) { return result::kUnsupported; }
int decode(ByteView, const LoadOptions&, Bitmap&) { return result::kUnsupported; }
int readStamp(ByteView, Bitmap&) { return result::kNoStamp; }
int readOrientation(const std::string&) { return 1; }

} // namespace kamelo::imaging::rawcodec
