#include "avifcodec.h"

#include "heifboxes.h"

#include "imaging/colour/iccprofile.h"
#include "imaging/memorybudget.h"
#include "imaging/plausibility.h"
#include "imaging/result.h"
#include "imaging/rowbands.h"

#include <avif/avif.h>

#include <algorithm>
#include <memory>
#include <thread>
#include <vector>

namespace kamelo::imaging::avifcodec {

namespace {

// As for HEIF (heiflib): AV1 codes a flat 12-megapixel picture in about 450
// bytes; a header declaring eight times that is forged.
constexpr int64_t kPixelsPerByte = 200000;
constexpr uint32_t kMaxSide = 32768;
// dav1d's threads; a still picture gains little beyond a few.
constexpr unsigned kMaxThreads = 8;

struct DecoderFree {
    void operator()(avifDecoder* d) const { avifDecoderDestroy(d); }
};
using Decoder = std::unique_ptr<avifDecoder, DecoderFree>;

int codeOf(avifResult r) {
    switch (r) {
    case AVIF_RESULT_OK:
        return result::kSuccess;
    case AVIF_RESULT_TRUNCATED_DATA:
    case AVIF_RESULT_IO_ERROR:
        return result::kTruncated;
    case AVIF_RESULT_OUT_OF_MEMORY:
        return result::kNoMemory;
    case AVIF_RESULT_INVALID_FTYP:
    case AVIF_RESULT_NO_CODEC_AVAILABLE:
    case AVIF_RESULT_NOT_IMPLEMENTED:
    case AVIF_RESULT_UNSUPPORTED_DEPTH:
        return result::kUnsupported;
    default:
        return result::kCorruptData;
    }
}

int threads() {
    const unsigned cores = std::thread::hardware_concurrency();
    return int(std::clamp(cores, 1u, kMaxThreads));
}

// Reads the file's boxes (no pixels). The bytes must outlive the decoder.
int parse(ByteView bytes, Decoder& decoder) {
    if (!bytes.data || bytes.size < 12)
        return result::kTruncated;
    // The same refusal of extents outside the file as the HEIF path makes,
    // so both readers answer alike.
    if (const int rc = heifboxes::checkExtents(bytes); rc < 1)
        return rc;
    Decoder made(avifDecoderCreate());
    if (!made)
        return result::kNoMemory;
    made->maxThreads = threads();
    made->imageSizeLimit = uint32_t(kMaxPixels);
    made->imageDimensionLimit = kMaxSide;
    // Files libheif reads (older writers left out pixi and the like) are
    // read here too.
    made->strictFlags = AVIF_STRICT_DISABLED;
    made->ignoreExif = AVIF_TRUE;
    made->ignoreXMP = AVIF_TRUE;
    if (const int rc = codeOf(avifDecoderSetSource(made.get(), AVIF_DECODER_SOURCE_PRIMARY_ITEM));
        rc < 1)
        return rc;
    if (const int rc = codeOf(avifDecoderSetIOMemory(made.get(), bytes.data, bytes.size)); rc < 1)
        return rc;
    if (const int rc = codeOf(avifDecoderParse(made.get())); rc < 1)
        return rc;
    if (!made->image || made->image->width == 0 || made->image->height == 0)
        return result::kCorruptData;
    decoder = std::move(made);
    return result::kSuccess;
}

bool fits(const heifboxes::Crop& crop, int width, int height) {
    return crop.width > 0 && crop.height > 0 && crop.x >= 0 && crop.y >= 0 &&
           crop.x <= width - crop.width && crop.y <= height - crop.height;
}

// The declared size against the limits, the file's length and the memory
// budget, before libavif and dav1d spend on it.
int checkSize(const avifDecoder& decoder, size_t fileBytes) {
    const avifImage& image = *decoder.image;
    if (image.width > kMaxSide || image.height > kMaxSide ||
        int64_t(image.width) * image.height > kMaxPixels)
        return result::kTooLarge;
    if (!plausibility::plausible(image.width, image.height, fileBytes, kPixelsPerByte))
        return result::kCorruptData; // more pixels than the file can encode
    // dav1d's planes (two bytes a sample above 8 bits), a grid's joined
    // copy of them, our bitmap and, with alpha, the BGRA picture flattened
    // from.
    const uint64_t pixels = uint64_t(image.width) * image.height;
    const uint64_t sample = image.depth > 8 ? 2 : 1;
    const uint64_t planes = (3 + (decoder.alphaPresent ? 1 : 0)) * sample * 2;
    const uint64_t total = pixels * (planes + 3 + (decoder.alphaPresent ? 4 : 0));
    if (total >= memorybudget::kHugePictureBytes && total > memorybudget::hugeBudget())
        return result::kNoMemory;
    return result::kSuccess;
}

uint8_t premultipliedOverWhite(unsigned value, unsigned alpha) {
    return uint8_t(std::min(255u, value + 255u - std::min(alpha, 255u)));
}

// One row of 8-bit BGRA (or BGR) onto out's row, alpha flattened on white.
void flattenRow(const uint8_t* src, uint8_t* dst, int width, bool alpha, bool premultiplied) {
    if (!alpha) {
        std::copy(src, src + size_t(width) * 3, dst);
        return;
    }
    for (int x = 0; x < width; ++x, src += 4, dst += 3)
        for (int c = 0; c < 3; ++c)
            dst[c] =
                premultiplied ? premultipliedOverWhite(src[c], src[3]) : overWhite(src[c], src[3]);
}

// Converts the decoded planes into out (region of the picture), straight
// into its rows when nothing is to be cut or flattened.
int convert(const avifImage& image, bool alpha, const heifboxes::Crop& region, Bitmap& out) {
    avifRGBImage rgb;
    avifRGBImageSetDefaults(&rgb, &image);
    rgb.depth = 8;
    rgb.format = alpha ? AVIF_RGB_FORMAT_BGRA : AVIF_RGB_FORMAT_BGR;
    // Premultiplied colours are kept as stored and laid over white as they are.
    rgb.alphaPremultiplied = image.alphaPremultiplied;
    const bool whole = region.x == 0 && region.y == 0 && uint32_t(region.width) == image.width &&
                       uint32_t(region.height) == image.height;
    if (whole && !alpha) {
        rgb.pixels = out.bits();
        rgb.rowBytes = uint32_t(out.stride());
        return codeOf(avifImageYUVToRGB(&image, &rgb));
    }
    const size_t pixelBytes = alpha ? 4 : 3;
    rgb.rowBytes = uint32_t(size_t(image.width) * pixelBytes);
    std::vector<uint8_t> buffer(size_t(rgb.rowBytes) * image.height);
    rgb.pixels = buffer.data();
    if (const int rc = codeOf(avifImageYUVToRGB(&image, &rgb)); rc < 1)
        return rc;
    for (int y = 0; y < region.height; ++y) {
        const uint8_t* src =
            buffer.data() + size_t(region.y + y) * rgb.rowBytes + size_t(region.x) * pixelBytes;
        flattenRow(src, out.row(y), region.width, alpha, image.alphaPremultiplied);
    }
    return result::kSuccess;
}

// The ICC profile, or one made from the nclx values: the colour space the
// HEIF path gives the same file.
colour::ProfilePtr profileOf(const avifImage& image) {
    if (image.icc.data && image.icc.size > 0) {
        if (image.icc.size > colour::IccProfile::kMaxBytes)
            return nullptr;
        return colour::IccProfile::fromBytes(
            std::vector<uint8_t>(image.icc.data, image.icc.data + image.icc.size));
    }
    const int primaries = int(image.colorPrimaries);
    const int transfer = int(image.transferCharacteristics);
    // BT.709 primaries with the sRGB curve (or none stated) are sRGB.
    if ((primaries == AVIF_COLOR_PRIMARIES_BT709 ||
         primaries == AVIF_COLOR_PRIMARIES_UNSPECIFIED) &&
        (transfer == AVIF_TRANSFER_CHARACTERISTICS_SRGB ||
         transfer == AVIF_TRANSFER_CHARACTERISTICS_UNSPECIFIED))
        return nullptr;
    return colour::IccProfile::fromCicp(primaries, transfer);
}

int decodeParsed(avifDecoder& decoder, ByteView bytes, Bitmap& out) {
    if (const int rc = checkSize(decoder, bytes.size); rc < 1)
        return rc;
    const int declaredWidth = int(decoder.image->width),
              declaredHeight = int(decoder.image->height);
    const heifboxes::Crop crop = heifboxes::factsOf(bytes).crop;
    // Ours first: the budget refuses a picture before dav1d spends on it.
    const bool cropped = fits(crop, declaredWidth, declaredHeight);
    if (const int rc = cropped ? out.allocate(crop.width, crop.height)
                               : out.allocate(declaredWidth, declaredHeight);
        rc < 1)
        return rc;
    if (const int rc = codeOf(avifDecoderNextImage(&decoder)); rc < 1)
        return rc;
    const avifImage& image = *decoder.image;
    const int width = int(image.width), height = int(image.height);
    // A coded picture a little off its declared size is taken as decoded,
    // never larger than what was checked.
    if (width <= 0 || height <= 0 ||
        int64_t(width) * height > int64_t(declaredWidth) * declaredHeight)
        return result::kCorruptData;
    const heifboxes::Crop region =
        fits(crop, width, height) ? crop : heifboxes::Crop{0, 0, width, height};
    if (region.width != out.width() || region.height != out.height())
        if (const int rc = out.allocate(region.width, region.height); rc < 1)
            return rc;
    const bool alpha = image.alphaPlane != nullptr && image.alphaRowBytes > 0;
    if (const int rc = convert(image, alpha, region, out); rc < 1)
        return rc;
    out.setSourceBitsPerPixel(int(std::max(image.depth, 8u)) * (alpha ? 4 : 3));
    out.setColourProfile(profileOf(image));
    return result::kSuccess;
}

} // namespace

int readInfo(ByteView bytes, FileInfo& info) {
    return withoutThrowing([&]() -> int {
        Decoder decoder;
        if (const int rc = parse(bytes, decoder); rc < 1)
            return rc;
        const avifImage& image = *decoder->image;
        const int width = int(std::min(image.width, kMaxSide + 1));
        const int height = int(std::min(image.height, kMaxSide + 1));
        const heifboxes::Crop crop = heifboxes::factsOf(bytes).crop;
        const bool cropped = fits(crop, width, height);
        info.width = cropped ? crop.width : width;
        info.height = cropped ? crop.height : height;
        info.bitsPerPixel = int(std::max(image.depth, 8u)) * (decoder->alphaPresent ? 4 : 3);
        info.compression = "AVIF";
        info.pageCount = 1;
        return result::kSuccess;
    });
}

int decode(ByteView bytes, const LoadOptions& options, Bitmap& out) {
    return withoutThrowing([&]() -> int {
        out.free();
        Decoder decoder;
        int rc = parse(bytes, decoder);
        if (rc >= 1)
            rc = decodeParsed(*decoder, bytes, out);
        if (rc < 1) {
            out.free();
            return rc;
        }
        // A stop asked for by the caller keeps what was delivered.
        rc = reportBands(out, options);
        return rc;
    });
}

} // namespace kamelo::imaging::avifcodec
