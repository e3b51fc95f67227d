#include "webpcodec.h"

#include "imaging/result.h"
#include "webpanimation.h"
#include "webpsupport.h"

#include <algorithm>
#include <cstring>
#include <webp/decode.h>
#include <webp/demux.h>

namespace kamelo::imaging::webpcodec {

namespace {

bool startsLikeWebP(ByteView bytes) {
    return bytes.data && bytes.size >= 12 && std::memcmp(bytes.data, "RIFF", 4) == 0 &&
           std::memcmp(bytes.data + 8, "WEBP", 4) == 0;
}

int featuresOf(ByteView bytes, WebPBitstreamFeatures& f) {
    if (!startsLikeWebP(bytes))
        return bytes.data && bytes.size >= 4 && std::memcmp(bytes.data, "RIFF", 4) == 0
                   ? result::kTruncated
                   : result::kUnknownFormat;
    const int rc = webpsupport::resultOf(WebPGetFeatures(bytes.data, bytes.size, &f));
    if (rc < 1)
        return rc;
    if (f.width <= 0 || f.height <= 0)
        return result::kCorruptData;
    if (int64_t(f.width) * f.height > kMaxPixels)
        return result::kTooLarge;
    return result::kSuccess;
}

// Hands rows to the caller in bands of options.bandRows as they become
// final; flushing hands over the last, shorter band too.
class BandReporter {
public:
    BandReporter(const LoadOptions& options, const Bitmap& picture)
        : options_(options), picture_(picture), band_(std::max(1, options.bandRows)) {}

    int reportUpTo(int rows, bool flush) {
        if (!options_.onRows) {
            reported_ = rows;
            return result::kSuccess;
        }
        while (rows - reported_ >= band_ || (flush && rows > reported_)) {
            const int count = std::min(band_, rows - reported_);
            const int rc = options_.onRows(picture_, reported_, count, 0);
            if (rc < 1)
                return rc;
            reported_ += count;
        }
        return result::kSuccess;
    }

private:
    const LoadOptions& options_;
    const Bitmap& picture_;
    int band_;
    int reported_ = 0;
};

// Owns an incremental decoder; its output buffer lives in the config.
struct Incremental {
    WebPDecoderConfig config;
    WebPIDecoder* decoder = nullptr;
    ~Incremental() {
        if (decoder)
            WebPIDelete(decoder);
        WebPFreeDecBuffer(&config.output);
    }
};

// A still picture fed to libwebp a slice at a time, so finished rows reach
// the caller while the rest decodes and a caller may stop it. Opaque
// pictures are decoded straight into the bitmap; transparent ones into a
// buffer of four bytes a pixel, flattened onto white as rows arrive.
int decodeStill(ByteView bytes, const WebPBitstreamFeatures& f, const LoadOptions& options,
                Bitmap& out) {
    if (!webpsupport::acceptable(f.width, f.height, bytes.size))
        return result::kCorruptData;
    const int n = options.scaleDenominator;
    const bool scaled = n == 2 || n == 4 || n == 8;
    const int width = scaled ? (f.width + n - 1) / n : f.width;
    const int height = scaled ? (f.height + n - 1) / n : f.height;
    Bitmap picture;
    int rc = picture.allocate(width, height);
    if (rc < 1)
        return rc;
    picture.setSourceBitsPerPixel(f.has_alpha ? 32 : 24);
    PixelBuffer withAlpha;
    if (f.has_alpha)
        withAlpha.resize(size_t(width) * size_t(height) * 4);

    Incremental inc;
    if (!WebPInitDecoderConfig(&inc.config))
        return result::kUnsupported;
    WebPDecoderOptions& o = inc.config.options;
    o.use_threads = 1;
    if (scaled) {
        o.use_scaling = 1;
        o.scaled_width = width;
        o.scaled_height = height;
    }
    WebPDecBuffer& output = inc.config.output;
    output.is_external_memory = 1;
    output.colorspace = f.has_alpha ? MODE_BGRA : MODE_BGR;
    if (f.has_alpha) {
        output.u.RGBA.rgba = withAlpha.data();
        output.u.RGBA.stride = width * 4;
        output.u.RGBA.size = withAlpha.size();
    } else {
        output.u.RGBA.rgba = picture.bits();
        output.u.RGBA.stride = picture.stride();
        output.u.RGBA.size = picture.byteCount();
    }
    inc.decoder = WebPIDecode(nullptr, 0, &inc.config);
    if (!inc.decoder)
        return result::kNoMemory;

    BandReporter bands(options, picture);
    int flattened = 0;
    // About sixty slices: bands come often enough to show progress, and
    // each call costs libwebp little.
    const size_t slice = std::clamp<size_t>(bytes.size / 64, size_t(16) << 10, size_t(1) << 20);
    for (size_t fed = 0; fed < bytes.size;) {
        fed = std::min(bytes.size, fed + slice);
        const VP8StatusCode status = WebPIUpdate(inc.decoder, bytes.data, fed);
        if (status != VP8_STATUS_OK && status != VP8_STATUS_SUSPENDED)
            return webpsupport::resultOf(status);
        int rows = 0;
        if (!WebPIDecGetRGB(inc.decoder, &rows, nullptr, nullptr, nullptr))
            rows = 0;
        if (status == VP8_STATUS_OK)
            rows = height;
        rows = std::clamp(rows, flattened, height);
        if (f.has_alpha)
            for (; flattened < rows; ++flattened)
                webpsupport::flattenRow(withAlpha.data() + size_t(flattened) * width * 4,
                                        picture.row(flattened), width);
        flattened = rows;
        if ((rc = bands.reportUpTo(rows, status == VP8_STATUS_OK)) < 1)
            return rc;
        if (status == VP8_STATUS_OK) {
            out = std::move(picture);
            return result::kSuccess;
        }
    }
    return result::kTruncated;
}

} // namespace

int readInfo(ByteView bytes, FileInfo& info) {
    return withoutThrowing([&]() -> int {
        WebPBitstreamFeatures f;
        int rc = featuresOf(bytes, f);
        if (rc < 1)
            return rc;
        int frames = 1;
        if (f.has_animation) {
            // Frames counted from the chunks alone; a cut file counts the
            // ones that arrived whole.
            const WebPData data{bytes.data, bytes.size};
            WebPDemuxState state = WEBP_DEMUX_PARSE_ERROR;
            WebPDemuxer* demux = WebPDemuxPartial(&data, &state);
            if (!demux)
                return state == WEBP_DEMUX_PARSE_ERROR ? result::kCorruptData : result::kTruncated;
            frames = static_cast<int>(
                std::min<uint32_t>(WebPDemuxGetI(demux, WEBP_FF_FRAME_COUNT), 1 << 30));
            WebPDemuxDelete(demux);
            if (frames < 1)
                return state == WEBP_DEMUX_DONE ? result::kCorruptData : result::kTruncated;
        }
        info.format = PictureFormat::WebP;
        info.width = f.width;
        info.height = f.height;
        info.bitsPerPixel = f.has_alpha ? 32 : 24;
        info.compression = "WebP";
        info.pageCount = frames;
        return result::kSuccess;
    });
}

int decode(ByteView bytes, const LoadOptions& options, Bitmap& out) {
    return withoutThrowing([&]() -> int {
        WebPBitstreamFeatures f;
        int rc = featuresOf(bytes, f);
        if (rc < 1)
            return rc;
        if (!f.has_animation) {
            if (options.page != 0)
                return result::kInvalidParameter;
            return decodeStill(bytes, f, options, out);
        }
        Bitmap picture;
        if ((rc = webpanimation::decodeFrame(bytes, options.page, picture)) < 1)
            return rc;
        BandReporter bands(options, picture);
        if ((rc = bands.reportUpTo(picture.height(), true)) < 1)
            return rc;
        out = std::move(picture);
        return result::kSuccess;
    });
}

int decodeAnimation(ByteView bytes, AnimatedBitmap& out) {
    return withoutThrowing([&]() -> int {
        out.clear();
        WebPBitstreamFeatures f;
        int rc = featuresOf(bytes, f);
        if (rc < 1)
            return rc;
        if (f.has_animation)
            return webpanimation::decodeAll(bytes, out);
        AnimationFrame frame;
        if ((rc = decodeStill(bytes, f, LoadOptions{}, frame.bitmap)) < 1)
            return rc;
        out.append(std::move(frame));
        return result::kSuccess;
    });
}

int readLoopCount(ByteView bytes, int& loops) {
    return withoutThrowing([&]() -> int {
        loops = 0;
        WebPBitstreamFeatures f;
        const int rc = featuresOf(bytes, f);
        if (rc < 1 || !f.has_animation)
            return rc;
        return webpanimation::loopCount(bytes, loops);
    });
}

} // namespace kamelo::imaging::webpcodec
