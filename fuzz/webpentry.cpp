#include "modernentries.h"
#include "modernsupport.h"

#include "imaging/modern/webpcodec.h"

namespace kamelo::fuzz {

using namespace kamelo::imaging;
using namespace kamelo::fuzz::modern;

int webp(const uint8_t* data, size_t size) {
    const ByteView bytes{data, size};
    unsigned sum = 0;
    if (readHeader(bytes, webpcodec::readInfo)) {
        sum += decodeAt(bytes, 1, webpcodec::decode);
        sum += decodeAt(bytes, 4, webpcodec::decode);
        sum += playAnimation(bytes, webpcodec::decodeAnimation);
    }
    checkOrientation(webpcodec::readOrientation, data, size);
    return int(sum & 1);
}

} // namespace kamelo::fuzz
