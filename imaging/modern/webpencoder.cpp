#include "webpcodec.h"

#include "imaging/result.h"

#include <webp/encode.h>
#include <webp/mux.h>

namespace kamelo::imaging::webpcodec {

namespace {

struct Picture {
    WebPPicture picture;
    WebPMemoryWriter writer;
    Picture() {
        WebPPictureInit(&picture);
        WebPMemoryWriterInit(&writer);
    }
    ~Picture() {
        WebPPictureFree(&picture);
        WebPMemoryWriterClear(&writer);
    }
};

struct Mux {
    WebPMux* mux = nullptr;
    WebPData assembled;
    Mux() { WebPDataInit(&assembled); }
    ~Mux() {
        WebPDataClear(&assembled);
        if (mux)
            WebPMuxDelete(mux);
    }
};

int resultOfEncoder(WebPEncodingError error) {
    switch (error) {
    case VP8_ENC_ERROR_OUT_OF_MEMORY:
    case VP8_ENC_ERROR_BITSTREAM_OUT_OF_MEMORY:
        return result::kNoMemory;
    case VP8_ENC_ERROR_BAD_DIMENSION:
    case VP8_ENC_ERROR_PARTITION0_OVERFLOW:
    case VP8_ENC_ERROR_PARTITION_OVERFLOW:
    case VP8_ENC_ERROR_FILE_TOO_BIG:
        return result::kTooLarge;
    default:
        return result::kFileWrite;
    }
}

int resultOfMux(WebPMuxError error) {
    return error == WEBP_MUX_MEMORY_ERROR ? result::kNoMemory : result::kFileWrite;
}

// Adds one metadata chunk; libwebp sets the matching VP8X flag itself.
WebPMuxError addChunk(WebPMux* mux, const char* fourcc, const void* bytes, size_t size) {
    if (size == 0)
        return WEBP_MUX_OK;
    const WebPData data{static_cast<const uint8_t*>(bytes), size};
    return WebPMuxSetChunk(mux, fourcc, &data, 0);
}

// The bare bitstream wrapped with EXIF, XMP and ICC chunks.
int withMetadata(const WebPMemoryWriter& bitstream, const EmbeddedMetadata& metadata,
                 std::vector<uint8_t>& out) {
    Mux m;
    const WebPData image{bitstream.mem, bitstream.size};
    m.mux = WebPMuxCreate(&image, 0);
    if (!m.mux)
        return result::kNoMemory;
    WebPMuxError e = addChunk(m.mux, "ICCP", metadata.icc.data(), metadata.icc.size());
    if (e == WEBP_MUX_OK)
        e = addChunk(m.mux, "EXIF", metadata.exif.data(), metadata.exif.size());
    if (e == WEBP_MUX_OK)
        e = addChunk(m.mux, "XMP ", metadata.xmp.data(), metadata.xmp.size());
    if (e == WEBP_MUX_OK)
        e = WebPMuxAssemble(m.mux, &m.assembled);
    if (e != WEBP_MUX_OK)
        return resultOfMux(e);
    out.assign(m.assembled.bytes, m.assembled.bytes + m.assembled.size);
    return result::kSuccess;
}

} // namespace

int encode(const Bitmap& pixels, int quality, const EmbeddedMetadata& metadata,
           std::vector<uint8_t>& out) {
    return withoutThrowing([&]() -> int {
        out.clear();
        if (!pixels.isAllocated() || pixels.width() <= 0 || pixels.height() <= 0)
            return result::kNoBitmap;
        if (quality < 0 || quality > 100)
            return result::kInvalidParameter;
        if (pixels.width() > WEBP_MAX_DIMENSION || pixels.height() > WEBP_MAX_DIMENSION)
            return result::kTooLarge;
        const bool lossless = quality == 100;
        WebPConfig config;
        if (!WebPConfigInit(&config))
            return result::kUnsupported;
        config.lossless = lossless ? 1 : 0;
        // For lossless pictures the quality is the effort spent on size.
        config.quality = lossless ? 75.0f : float(quality);
        config.method = 4;
        config.thread_level = 1;
        if (!WebPValidateConfig(&config))
            return result::kInvalidParameter;

        Picture p;
        p.picture.width = pixels.width();
        p.picture.height = pixels.height();
        // Lossless keeps the pixels as they are; lossy goes through YUV.
        p.picture.use_argb = lossless ? 1 : 0;
        if (!WebPPictureImportBGR(&p.picture, pixels.bits(), pixels.stride()))
            return result::kNoMemory;
        p.picture.writer = WebPMemoryWrite;
        p.picture.custom_ptr = &p.writer;
        if (!WebPEncode(&config, &p.picture))
            return resultOfEncoder(p.picture.error_code);

        if (metadata.exif.empty() && metadata.xmp.empty() && metadata.icc.empty()) {
            out.assign(p.writer.mem, p.writer.mem + p.writer.size);
            return result::kSuccess;
        }
        return withMetadata(p.writer, metadata, out);
    });
}

} // namespace kamelo::imaging::webpcodec
