#include "picturesaver.h"

#include "bmpwriter.h"
#include "core/filebytes.h"
#include "iffcodec.h"
#include "imaging/modern/heifcodec.h"
#include "imaging/modern/webpcodec.h"
#include "jpegcodec.h"
#include "magickcodec.h"
#include "metadatacarrier.h"
#include "pictureformat.h"
#include "pngcodec.h"
#include "pngwriter.h"
#include "psdcodec.h"
#include "result.h"

#include <algorithm>
#include <cmath>

namespace kamelo::imaging {

int PictureSaver::jpegQualityFor(int qualityFactor) {
    const int qf = std::clamp(qualityFactor, 2, 255);
    return static_cast<int>(std::lround(100.0 - (qf - 2) * 99.0 / 253.0));
}

int PictureSaver::formatForExtension(const std::string& extension) {
    switch (formatFromExtension(extension)) {
    case PictureFormat::Pcx:
        return saveformat::kPcx;
    case PictureFormat::Gif:
        return saveformat::kGif;
    case PictureFormat::Tga:
        return saveformat::kTga;
    case PictureFormat::Bmp:
        return saveformat::kBmp;
    case PictureFormat::Jpeg:
        return saveformat::kJpeg;
    case PictureFormat::Tiff:
        return saveformat::kTiff;
    case PictureFormat::Ras:
        return saveformat::kSun;
    case PictureFormat::Pict:
        return saveformat::kPict;
    case PictureFormat::Png:
        return saveformat::kPng;
    case PictureFormat::Psd:
        return saveformat::kPsd;
    case PictureFormat::Iff:
        return saveformat::kIff;
    case PictureFormat::Sgi:
        return saveformat::kSgi;
    case PictureFormat::WebP:
        return saveformat::kWebp;
    case PictureFormat::Avif:
        return saveformat::kAvif;
    default:
        return 0;
    }
}

namespace {

// A PNG goes to its temporary file band by band as it is compressed: a
// large picture is never held a second time as a file in memory.
int savePng(const Bitmap& bitmap, const std::string& path, const MetadataCarrier* keep) {
    pngwriter::Metadata metadata;
    if (keep) {
        const int rc = keep->pngMetadata(bitmap, metadata);
        if (rc < 1)
            return rc;
    }
    AtomicFile file(path);
    const int rc = pngwriter::write(
        bitmap, metadata, [&](const uint8_t* data, size_t size) { return file.write(data, size); });
    return rc < 1 ? rc : file.commit();
}

} // namespace

bool PictureSaver::takesQuality(int format) {
    return format == saveformat::kJpeg || format == saveformat::kWebp ||
           format == saveformat::kAvif;
}

int PictureSaver::encode(const Bitmap& bitmap, int format, int qualityFactor,
                         std::vector<uint8_t>& out, const MetadataCarrier* keep) {
    return encodeAtQuality(bitmap, format, jpegQualityFor(qualityFactor), out, keep);
}

int PictureSaver::encodeAtQuality(const Bitmap& bitmap, int format, int quality,
                                  std::vector<uint8_t>& out, const MetadataCarrier* keep) {
    quality = std::clamp(quality, 0, 100);
    return withoutThrowing([&]() -> int {
        if (!bitmap.isAllocated())
            return result::kNoBitmap;
        switch (format) {
        case saveformat::kJpeg:
            if (keep)
                return keep->encodeJpeg(bitmap, quality, out);
            return jpegcodec::encode(bitmap, quality, out);
        case saveformat::kWebp:
        case saveformat::kAvif: {
            EmbeddedMetadata metadata;
            if (keep) {
                const int rc = keep->embeddedMetadata(bitmap, metadata);
                if (rc < 1)
                    return rc;
            }
            return format == saveformat::kWebp
                       ? webpcodec::encode(bitmap, quality, metadata, out)
                       : heifcodec::encodeAvif(bitmap, quality, metadata, out);
        }
        case saveformat::kPng: {
            pngwriter::Metadata metadata;
            if (keep) {
                const int rc = keep->pngMetadata(bitmap, metadata);
                if (rc < 1)
                    return rc;
            }
            return pngwriter::encode(bitmap, out, metadata);
        }
        case saveformat::kPsd:
            return psdcodec::encode(bitmap, out);
        case saveformat::kIff:
            return iffcodec::encode(bitmap, out);
        case saveformat::kPcx:
            return magickcodec::encode(bitmap, "PCX", out);
        case saveformat::kGif:
            return magickcodec::encode(bitmap, "GIF", out);
        case saveformat::kTga:
            return magickcodec::encode(bitmap, "TGA", out);
        case saveformat::kBmp:
            return bmpwriter::encode(bitmap, out);
        case saveformat::kTiff: {
            const int rc = magickcodec::encode(bitmap, "TIFF", out);
            if (rc < 1 || !keep)
                return rc;
            return keep->embedInTiff(bitmap, out);
        }
        case saveformat::kSun:
            return magickcodec::encode(bitmap, "SUN", out);
        case saveformat::kPict:
            return magickcodec::encode(bitmap, "PICT", out);
        case saveformat::kSgi:
            return magickcodec::encode(bitmap, "SGI", out);
        default:
            return result::kSaveFormat;
        }
    });
}

int PictureSaver::save(const Bitmap& bitmap, const std::string& path, int format, int qualityFactor,
                       const MetadataCarrier* keep) {
    return saveAtQuality(bitmap, path, format, jpegQualityFor(qualityFactor), keep);
}

int PictureSaver::saveAtQuality(const Bitmap& bitmap, const std::string& path, int format,
                                int quality, const MetadataCarrier* keep) {
    return withoutThrowing([&]() -> int {
        if (format == saveformat::kPng && bitmap.isAllocated())
            return savePng(bitmap, path, keep);
        std::vector<uint8_t> bytes;
        int rc = encodeAtQuality(bitmap, format, quality, bytes, keep);
        if (rc < 1)
            return rc;
        return writeFileAtomically(path, bytes.data(), bytes.size());
    });
}

int PictureSaver::saveJpeg(const Bitmap& bitmap, const std::string& path, int quality) {
    return withoutThrowing([&]() -> int {
        std::vector<uint8_t> bytes;
        int rc = jpegcodec::encode(bitmap, quality, bytes);
        if (rc < 1)
            return rc;
        return writeFileAtomically(path, bytes.data(), bytes.size());
    });
}

} // namespace kamelo::imaging
