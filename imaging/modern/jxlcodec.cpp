#include "jxlcodec.h"

#include "imaging/result.h"

namespace kamelo::imaging::jxlcodec {

// TEMPORARY: replaced by the reader itself.
int readInfo(ByteView, FileInfo&) { return result::kUnsupported; }
int decode(ByteView, const LoadOptions&, Bitmap&) { return result::kUnsupported; }
int decodeAnimation(ByteView, AnimatedBitmap&) { return result::kUnsupported; }
int readOrientation(const std::string&) { return 1; }
int readExif(ByteView, std::vector<uint8_t>&) { return result::kUnsupported; }

} // namespace kamelo::imaging::jxlcodec
