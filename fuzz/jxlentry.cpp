#include "modernentries.h"
#include "modernsupport.h"

#include "imaging/modern/jxlcodec.h"

namespace kamelo::fuzz {

using namespace kamelo::imaging;
using namespace kamelo::fuzz::modern;

int jxl(const uint8_t* data, size_t size) {
    const ByteView bytes{data, size};
    unsigned sum = 0;
    if (readHeader(bytes, jxlcodec::readInfo)) {
        sum += decodeAt(bytes, 1, jxlcodec::decode);
        sum += decodeAt(bytes, 4, jxlcodec::decode);
        sum += playAnimation(bytes, jxlcodec::decodeAnimation);
    }
    std::vector<uint8_t> exif;
    if (jxlcodec::readExif(bytes, exif) >= 1)
        sum += sumBytes(exif);
    checkOrientation(jxlcodec::readOrientation, data, size);
    return int(sum & 1);
}

} // namespace kamelo::fuzz
