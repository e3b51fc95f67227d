#include "fuzzentries.h"

#include "exif/core/jpegsectionreader.h"
#include "imaging/bitmap.h"
#include "imaging/emfcodec.h"
#include "imaging/iffcodec.h"

#include "imaging/psdcodec.h"
#include "imaging/rascodec.h"
#include "imaging/sgicodec.h"
#include <cstdio>

namespace kamelo::fuzz {

namespace {

template <typename ReadInfo, typename Decode>
int run(const uint8_t* data, size_t size, ReadInfo readInfo, Decode decode) {
    using namespace kamelo::imaging;
    const ByteView bytes{data, size};
    FileInfo info;
    if (readInfo(bytes, info) >= 1 && !withinPixelBudget(info.width, info.height))
        return 0;
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

int jpegsections(const uint8_t* d, size_t n) {
    std::FILE* f = fmemopen(const_cast<uint8_t*>(d), n, "rb");
    if (!f)
        return 0;
    JpegSectionReader reader;
    const bool ok = reader.readSections(f);
    std::fclose(f);
    uint32_t size = 0;
    const uint8_t* thumb = reader.thumbnail(size);
    // Touch every byte the reader says it holds.
    unsigned sum = 0;
    for (uint32_t i = 0; thumb && i < size; ++i)
        sum += thumb[i];
    for (const auto& s : reader.sections())
        sum += s.data.empty() ? 0 : s.data.back();
    return int(ok) + int(sum & 1);
}

} // namespace kamelo::fuzz
