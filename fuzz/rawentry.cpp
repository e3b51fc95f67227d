#include "modernentries.h"
#include "modernsupport.h"

#include "imaging/modern/rawcodec.h"
#include "imaging/modern/rawspot.h"

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
    // The viewer's quick picture from the IFDs alone.
    sum += decodeAt(bytes, 4, [](ByteView b, const LoadOptions& o, Bitmap& out) {
        return rawcodec::firstPictureFromIfds(rawcodec::RangeReader(b), o, out);
    });
    Bitmap stamp;
    if (rawcodec::readStamp(bytes, stamp) >= 1)
        sum += touch(stamp);
    checkOrientation(rawcodec::readOrientation, data, size);
    return int(sum & 1);
}

} // namespace kamelo::fuzz
