#include "modernentries.h"
#include "modernsupport.h"

#include "imaging/modern/avifcodec.h"

namespace kamelo::fuzz {

using namespace kamelo::imaging;
using namespace kamelo::fuzz::modern;

int avif(const uint8_t* data, size_t size) {
    const ByteView bytes{data, size};
    unsigned sum = 0;
    if (readHeader(bytes, avifcodec::readInfo))
        sum += decodeAt(bytes, 1, avifcodec::decode);
    return int(sum & 1);
}

} // namespace kamelo::fuzz
