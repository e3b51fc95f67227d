#include "heifcodec.h"

#include "imaging/result.h"

namespace kamelo::imaging::heifcodec {

// TEMPORARY: replaced by the reader itself.
int readInfo(ByteView, FileInfo&) { return result::kUnsupported; }
int decode(ByteView, const LoadOptions&, Bitmap&) { return result::kUnsupported; }
int readOrientation(const std::string&) { return 1; }
int readStamp(ByteView, Bitmap&) { return result::kNoStamp; }
int readMetadata(ByteView, std::vector<uint8_t>&, std::string&) { return result::kUnsupported; }
int encodeAvif(const Bitmap&, int, const EmbeddedMetadata&, std::vector<uint8_t>&) { return result::kUnsupported; }

} // namespace kamelo::imaging::heifcodec
