#include "modernentries.h"
#include "modernsupport.h"

#include "imaging/modern/heifcodec.h"

namespace kamelo::fuzz {

using namespace kamelo::imaging;
using namespace kamelo::fuzz::modern;

int heif(const uint8_t* data, size_t size) {
    const ByteView bytes{data, size};
    unsigned sum = 0;
    if (readHeader(bytes, heifcodec::readInfo)) {
        sum += decodeAt(bytes, 1, heifcodec::decode);
        sum += decodeAt(bytes, 4, heifcodec::decode);
    }
    Bitmap stamp;
    if (heifcodec::readStamp(bytes, stamp) >= 1)
        sum += touch(stamp);
    std::vector<uint8_t> exif;
    std::string xmp;
    if (heifcodec::readMetadata(bytes, exif, xmp) >= 1)
        sum += sumBytes(exif) + unsigned(xmp.size());
    checkOrientation(heifcodec::readOrientation, data, size);
    return int(sum & 1);
}

} // namespace kamelo::fuzz
