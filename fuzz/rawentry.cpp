#include "modernentries.h"
#include "modernsupport.h"

#include "imaging/modern/rawcodec.h"

namespace kamelo::fuzz {

using namespace kamelo::imaging;
using namespace kamelo::fuzz::modern;

int raw(const uint8_t* data, size_t size) {
    const ByteView bytes{data, size};
    unsigned sum = 0;
    // The developed size decides the full decode; the preview is decoded
    // whatever it is, as a listing does.
    if (readHeader(bytes, rawcodec::readInfo))
        sum += decodeAt(bytes, 1, rawcodec::decode);
    sum += decodeAt(bytes, 4, rawcodec::decode);
    Bitmap stamp;
    if (rawcodec::readStamp(bytes, stamp) >= 1)
        sum += touch(stamp);
    checkOrientation(rawcodec::readOrientation, data, size);
    return int(sum & 1);
}

} // namespace kamelo::fuzz
