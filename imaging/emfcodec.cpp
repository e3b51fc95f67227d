#include "emfcodec.h"
#include "emfplayer.h"

#include "bitmap.h"
#include "byteorder.h"
#include "result.h"

#include <cmath>
#include <cstring>

namespace kamelo::imaging::emfcodec {

namespace {

constexpr int kMaxSide = 4096;
// Bounds are in the reference device's pixels: a metre-wide poster at
// 1200 dpi is 47,000. A side beyond 2^20 is a forged header, not a picture.
constexpr int64_t kMaxBoundsSide = int64_t(1) << 20;
constexpr uint32_t kHeaderRecord = 1;

int readHeader(ByteView bytes, HeaderInfo& h) {
    ByteReader r(bytes.data, bytes.size);
    if (r.le32() != kHeaderRecord)
        return result::kUnknownFormat;
    const uint32_t size = r.le32();
    h.left = r.le32s();
    h.top = r.le32s();
    h.right = r.le32s();
    h.bottom = r.le32s();
    h.frameLeft = r.le32s();
    h.frameTop = r.le32s();
    h.frameRight = r.le32s();
    h.frameBottom = r.le32s();
    const bool signature = r.has(4) && std::memcmp(r.here(), " EMF", 4) == 0;
    r.skip(8);
    h.bytes = r.le32();
    r.seek(72);
    h.deviceW = r.le32s();
    h.deviceH = r.le32s();
    h.mmW = r.le32s();
    h.mmH = r.le32s();
    if (!signature)
        return result::kUnknownFormat;
    if (!r.ok() || size < 88 || size > bytes.size)
        return result::kCorruptData;
    return result::kSuccess;
}

// The picture rectangle in device pixels.
bool canvasRect(const HeaderInfo& h, int64_t& x, int64_t& y, int64_t& w, int64_t& hh) {
    x = h.left;
    y = h.top;
    w = int64_t(h.right) - h.left + 1;
    hh = int64_t(h.bottom) - h.top + 1;
    if (w > 0 && hh > 0)
        return true;
    // No drawing bounds: fall back to the frame, kept in hundredths of a millimetre.
    if (h.mmW <= 0 || h.mmH <= 0 || h.deviceW <= 0 || h.deviceH <= 0)
        return false;
    const double sx = double(h.deviceW) / (h.mmW * 100.0), sy = double(h.deviceH) / (h.mmH * 100.0);
    x = std::llround(h.frameLeft * sx);
    y = std::llround(h.frameTop * sy);
    w = std::llround((double(h.frameRight) - h.frameLeft) * sx) + 1;
    hh = std::llround((double(h.frameBottom) - h.frameTop) * sy) + 1;
    return w > 0 && hh > 0;
}

} // namespace

int readInfo(ByteView bytes, FileInfo& fi) {
    HeaderInfo h;
    int rc = readHeader(bytes, h);
    if (rc < 1)
        return rc;
    int64_t x, y, w, hh;
    if (!canvasRect(h, x, y, w, hh))
        return result::kCorruptData;
    if (w > kMaxBoundsSide || hh > kMaxBoundsSide)
        return result::kTooLarge;
    fi.format = PictureFormat::Emf;
    fi.width = static_cast<int>(std::min<int64_t>(w, INT32_MAX));
    fi.height = static_cast<int>(std::min<int64_t>(hh, INT32_MAX));
    fi.bitsPerPixel = 24;
    fi.compression = "없음";
    fi.pageCount = 1;
    return result::kSuccess;
}

int decode(ByteView bytes, const LoadOptions& options, Bitmap& out) {
    HeaderInfo h;
    int rc = readHeader(bytes, h);
    if (rc < 1)
        return rc;
    int64_t x, y, w, hh;
    if (!canvasRect(h, x, y, w, hh))
        return result::kCorruptData;
    if (w > kMaxBoundsSide || hh > kMaxBoundsSide)
        return result::kTooLarge;
    const double scale = std::min(1.0, double(kMaxSide) / double(std::max(w, hh)));
    const int cw = std::max(1, static_cast<int>(std::floor(w * scale)));
    const int ch = std::max(1, static_cast<int>(std::floor(hh * scale)));
    QImage canvas(cw, ch, QImage::Format_RGB32);
    if (canvas.isNull())
        return result::kNoMemory;
    canvas.fill(Qt::white);
    rc = playRecords(bytes, h, canvas, double(x), double(y), scale);
    if (rc < 1)
        return rc;
    out = Bitmap::fromImage(canvas);
    if (!out.isAllocated())
        return result::kNoMemory;
    if (options.onRows) {
        rc = options.onRows(out, 0, out.height(), 0);
        if (rc < 1)
            return rc;
    }
    return result::kSuccess;
}

} // namespace kamelo::imaging::emfcodec
