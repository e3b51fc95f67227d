#include "fuzzentries.h"

#include "imaging/bitmap.h"
#include "imaging/emfcodec.h"
#include "imaging/iffcodec.h"
#include "imaging/psdcodec.h"
#include "imaging/rascodec.h"
#include "imaging/sgicodec.h"

namespace kamelo::fuzz {

namespace {

template <typename ReadInfo, typename Decode>
int run(const uint8_t* data, size_t size, ReadInfo readInfo, Decode decode) {
    using namespace kamelo::imaging;
    const ByteView bytes{data, size};
    FileInfo info;
    readInfo(bytes, info);
    LoadOptions options;
    long rows = 0;
    options.onRows = [&rows](const Bitmap& b, int first, int count, int) {
        // Touch the reported rows so a sanitizer sees any bad band.
        for (int y = first; y < first + count; ++y)
            rows += b.row(y)[0] + b.row(y)[b.width() * 3 - 1];
        return 1;
    };
    Bitmap out;
    const int rc = decode(bytes, options, out);
    if (rc >= 1 && (!out.isAllocated() || out.width() <= 0))
        __builtin_trap(); // success must come with a picture
    return static_cast<int>(rows & 1);
}

} // namespace

int psd(const uint8_t* d, size_t n) {
    return run(d, n, imaging::psdcodec::readInfo, imaging::psdcodec::decode);
}
int iff(const uint8_t* d, size_t n) {
    return run(d, n, imaging::iffcodec::readInfo, imaging::iffcodec::decode);
}
int emf(const uint8_t* d, size_t n) {
    return run(d, n, imaging::emfcodec::readInfo, imaging::emfcodec::decode);
}
int ras(const uint8_t* d, size_t n) {
    return run(d, n, imaging::rascodec::readInfo, imaging::rascodec::decode);
}
int sgi(const uint8_t* d, size_t n) {
    return run(d, n, imaging::sgicodec::readInfo, imaging::sgicodec::decode);
}

} // namespace kamelo::fuzz
