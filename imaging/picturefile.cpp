#include "picturefile.h"

#include "core/filebytes.h"
#include "emfcodec.h"
#include "filecomments.h"
#include "gifcodec.h"
#include "headerinfo.h"
#include "iffcodec.h"
#include "imaging/colour/profilereader.h"
#include "imaging/colour/profilescan.h"
#include "imaging/large/largepicture.h"
#include "imaging/modern/avifcodec.h"
#include "imaging/modern/heifcodec.h"
#include "imaging/modern/jxlcodec.h"
#include "imaging/modern/rawcodec.h"
#include "imaging/modern/webpcodec.h"
#include "imaging/plausibility.h"
#include "jpegcodec.h"
#include "magickcodec.h"
#include "pngcodec.h"
#include "psdcodec.h"
#include "rascodec.h"
#include "result.h"
#include "sgicodec.h"
#include "tiffcodec.h"

#include <sys/stat.h>

namespace kamelo::imaging {

namespace {

int64_t fileSize(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? static_cast<int64_t>(st.st_size) : 0;
}

// A file named and made as a camera RAW (its signature, not only its name).
bool isRawOnDisk(const std::string& path) {
    if (formatFromExtension(extensionOf(path)) != PictureFormat::Raw)
        return false;
    std::vector<uint8_t> head;
    return readFileHead(path, 64, head) >= 1 &&
           detectFormat(head.data(), head.size(), extensionOf(path)) == PictureFormat::Raw;
}

// The formats whose colour space is found by scanning their headers; the
// newer formats' decoders report it themselves.
bool scansProfile(PictureFormat format) {
    return format == PictureFormat::Jpeg || format == PictureFormat::Png ||
           format == PictureFormat::Tiff || format == PictureFormat::Psd ||
           format == PictureFormat::WebP;
}

// Options whose bands reach the caller with the profile already on the
// bitmap, so that they can be painted converted as they arrive. Decoders
// report either the bitmap being loaded or one of their own that becomes
// it; neither is const, only the callback's view of it.
LoadOptions carryingProfile(const LoadOptions& options, const colour::ProfilePtr& profile) {
    LoadOptions carrying = options;
    carrying.onRows = [profile, inner = options.onRows](const Bitmap& bitmap, int first, int count,
                                                        int pass) {
        if (bitmap.colourProfile() != profile)
            const_cast<Bitmap&>(bitmap).setColourProfile(profile);
        return inner(bitmap, first, count, pass);
    };
    return carrying;
}

int decodeAs(PictureFormat format, ByteView bytes, const LoadOptions& options, Bitmap& out) {
    switch (format) {
    case PictureFormat::Jpeg:
        return jpegcodec::decode(bytes, options, out);
    case PictureFormat::Png:
        return pngcodec::decode(bytes, options, out);
    case PictureFormat::Tiff:
        return tiffcodec::decode(bytes, options, out);
    case PictureFormat::Gif:
        return gifcodec::decode(bytes, options, out);
    case PictureFormat::Psd:
        return psdcodec::decode(bytes, options, out);
    case PictureFormat::Iff:
        return iffcodec::decode(bytes, options, out);
    case PictureFormat::Emf:
        return emfcodec::decode(bytes, options, out);
    case PictureFormat::Ras:
        return rascodec::decode(bytes, options, out);
    case PictureFormat::Sgi:
        return sgicodec::decode(bytes, options, out);
    case PictureFormat::Heif:
        return heifcodec::decode(bytes, options, out);
    case PictureFormat::Avif:
        return avifcodec::decode(bytes, options, out);
    case PictureFormat::WebP:
        return webpcodec::decode(bytes, options, out);
    case PictureFormat::Jxl:
        return jxlcodec::decode(bytes, options, out);
    case PictureFormat::Raw:
        return rawcodec::decode(bytes, options, out);
    case PictureFormat::Unknown:
        return result::kUnknownFormat;
    default: {
        int rc = magickcodec::decode(bytes, format, options, out);
        if (rc >= 1) {
            FileInfo info;
            fillHeaderInfo(bytes, format, info);
            out.setSourceBitsPerPixel(info.bitsPerPixel);
        }
        return rc;
    }
    }
}

// A JPEG, PNG or TIFF too large for one bitmap at the asked scale is read
// scaled straight from its file, never whole into memory, when the caller
// may take it smaller (kTooLarge otherwise); kUnknownFormat leaves any
// other file to the usual path.
int loadLarge(const std::string& path, Bitmap& out, const LoadOptions& options) {
    // Only the JPEG decoder scales by itself: other formats are otherwise
    // decoded at full size whatever the denominator, so one beyond
    // kMaxScaledPixels asked for smaller (a thumbnail, a print) is read
    // scaled here rather than whole.
    // A camera RAW is a TIFF too, but its own reader's.
    large::PictureSize size;
    if (options.page > 0 || formatFromExtension(extensionOf(path)) == PictureFormat::Raw ||
        large::readSize(path, size) < 1)
        return result::kUnknownFormat;
    const bool jpeg = size.kind == large::Kind::Jpeg;
    const bool above = int64_t(size.width) * size.height > large::kMaxScaledPixels;
    const bool tooLarge =
        large::tooLargeWhole(size.width, size.height, jpeg ? options.scaleDenominator : 1);
    if (tooLarge && !options.mayReduce) {
        // A header its file cannot fill is a bomb, said as such; the most
        // any of the three formats packs into a byte judges it here.
        const int rc = plausibility::checkDeclared(size.width, size.height, size_t(fileSize(path)),
                                                   plausibility::kJpegPixelsPerByte);
        return rc < 1 ? rc : result::kTooLarge;
    }
    const bool scaled =
        tooLarge || (!jpeg && options.scaleDenominator > 1 && above && options.mayReduce);
    // A large TIFF at full size is streamed into its bitmap too: the usual
    // decoder holds the file and a 32-bit copy of the picture beside it.
    const bool streamed = !scaled && above && size.kind == large::Kind::Tiff;
    if (!scaled && !streamed)
        return result::kUnknownFormat;
    if (options.reuse)
        options.reuse->free();
    int rc = scaled ? large::decodeWithin(path, options.scaleDenominator, out)
                    : large::decodeScaled(path, 1, out);
    // A layout only the usual decoder reads is left to it.
    if (rc == result::kUnsupported)
        return result::kUnknownFormat;
    if (rc < 1)
        return rc;
    // A TIFF's profile sits in its directory, often after the pixels: read
    // where it lies rather than by the scan of the whole file.
    colour::ProfilePtr profile;
    if (size.kind == large::Kind::Tiff) {
        std::vector<uint8_t> icc;
        if (tiffcodec::readIccProfile(path, icc) >= 1 && !icc.empty())
            profile = colour::IccProfile::fromBytes(std::move(icc));
    } else if (PictureFile::readProfile(path, profile) < 1) {
        profile.reset();
    }
    out.setColourProfile(std::move(profile));
    if (options.onRows && (rc = options.onRows(out, 0, out.height(), 0)) < 1) {
        out.free();
        return rc;
    }
    return result::kSuccess;
}

} // namespace

int PictureFile::readInfo(const uint8_t* data, size_t size, const std::string& path,
                          FileInfo& info) {
    return withoutThrowing([&]() -> int {
        info = FileInfo{};
        if (size == 0)
            return result::kCorruptData;
        const PictureFormat format = detectFormat(data, size, extensionOf(path));
        const ByteView bytes{data, size};
        info.format = format;
        switch (format) {
        case PictureFormat::Jpeg:
            return jpegcodec::readInfo(bytes, info);
        case PictureFormat::Png:
            return pngcodec::readInfo(bytes, info);
        case PictureFormat::Tiff:
            return tiffcodec::readInfo(bytes, info);
        case PictureFormat::Gif:
            return gifcodec::readInfo(bytes, info);
        case PictureFormat::Psd:
            return psdcodec::readInfo(bytes, info);
        case PictureFormat::Iff:
            return iffcodec::readInfo(bytes, info);
        case PictureFormat::Emf:
            return emfcodec::readInfo(bytes, info);
        case PictureFormat::Ras:
            return rascodec::readInfo(bytes, info);
        case PictureFormat::Sgi:
            return sgicodec::readInfo(bytes, info);
        case PictureFormat::Heif:
            return heifcodec::readInfo(bytes, info);
        case PictureFormat::Avif:
            return avifcodec::readInfo(bytes, info);
        case PictureFormat::WebP:
            return webpcodec::readInfo(bytes, info);
        case PictureFormat::Jxl:
            return jxlcodec::readInfo(bytes, info);
        case PictureFormat::Raw:
            return rawcodec::readInfo(bytes, info);
        case PictureFormat::Unknown:
            return result::kUnknownFormat;
        default: {
            int rc = magickcodec::ping(bytes, format, info.width, info.height);
            if (rc < 1)
                return rc;
            fillHeaderInfo(bytes, format, info);
            return result::kSuccess;
        }
        }
    });
}

int PictureFile::readInfo(const std::string& path, FileInfo& info) {
    return withoutThrowing([&]() -> int {
        // Headers sit at the start of most files: try the first megabyte, and read
        // the rest only when the format keeps what is asked for further on.
        constexpr size_t kHead = size_t(1) << 20;
        std::vector<uint8_t> bytes;
        int rc = readFileHead(path, kHead, bytes);
        if (rc < 1) {
            info = FileInfo{};
            return rc;
        }
        const int64_t onDisk = fileSize(path);
        const bool whole = static_cast<int64_t>(bytes.size()) >= onDisk;
        const PictureFormat format = detectFormat(bytes.data(), bytes.size(), extensionOf(path));
        // Containers whose headers may sit anywhere in the file.
        const bool needsAll = format == PictureFormat::Gif || format == PictureFormat::Tiff ||
                              format == PictureFormat::Dcx || format == PictureFormat::Heif ||
                              format == PictureFormat::Avif || format == PictureFormat::WebP ||
                              format == PictureFormat::Jxl || format == PictureFormat::Raw;
        // A TIFF's directory is read where it lies, not after the whole
        // file: a scan may be gigabytes.
        if (!whole && format == PictureFormat::Tiff) {
            rc = tiffcodec::readInfo(path, info);
            info.sizeOnDisk = onDisk;
            return rc;
        }
        if (whole || !needsAll)
            rc = readInfo(bytes.data(), bytes.size(), path, info);
        else if (format == PictureFormat::Raw)
            rc = rawcodec::readInfo(path, {bytes.data(), bytes.size()}, info);
        if (!whole && format != PictureFormat::Raw && (needsAll || rc < 1)) {
            rc = readWholeFile(path, bytes);
            if (rc >= 1)
                rc = readInfo(bytes.data(), bytes.size(), path, info);
        }
        info.sizeOnDisk = onDisk;
        return rc;
    });
}

int PictureFile::load(const uint8_t* data, size_t size, const std::string& path, Bitmap& out,
                      const LoadOptions& options) {
    const int rc = loadFrom(data, size, path, out, options);
    if (options.reuse)
        options.reuse->free(); // lent or not, the spare is not held past the load
    return rc;
}

int PictureFile::loadFrom(const uint8_t* data, size_t size, const std::string& path, Bitmap& out,
                          const LoadOptions& options) {
    return withoutThrowing([&]() -> int {
        out.free();
        if (size == 0)
            return result::kCorruptData;
        const PictureFormat format = detectFormat(data, size, extensionOf(path));
        const ByteView bytes{data, size};
        // Only the JPEG decoder takes a spare's memory over: for any other
        // format it goes before the new picture is allocated beside it.
        if (format != PictureFormat::Jpeg && options.reuse)
            options.reuse->free();
        // The header scan costs microseconds beside the decode it precedes.
        // A spare's memory taken over brings its picture's profile along:
        // the file's own (none for sRGB) replaces it from the first band on.
        const bool scans = scansProfile(format);
        colour::ProfilePtr profile;
        if (scans)
            profile = colour::readEmbeddedProfile(data, size, format, options.page);
        const int rc = scans && options.onRows
                           ? decodeAs(format, bytes, carryingProfile(options, profile), out)
                           : decodeAs(format, bytes, options, out);
        if (rc >= 1 && scans)
            out.setColourProfile(std::move(profile));
        return rc;
    });
}

int PictureFile::load(const std::string& path, Bitmap& out, const LoadOptions& options) {
    return withoutThrowing([&]() -> int {
        // A camera RAW's quick picture is its preview: the headers and the
        // preview are read, not the sensor data beside them.
        if (options.scaleDenominator > 1 && isRawOnDisk(path)) {
            const int rc = rawcodec::decodeFirstPicture(path, options, out);
            if (rc != result::kUnsupported) {
                if (options.reuse)
                    options.reuse->free();
                return rc;
            }
        }
        if (const int large = loadLarge(path, out, options); large != result::kUnknownFormat)
            return large;
        std::vector<uint8_t> bytes;
        int rc = readWholeFile(path, bytes);
        if (rc < 1) {
            out.free();
            return rc;
        }
        return load(bytes.data(), bytes.size(), path, out, options);
    });
}

int PictureFile::loadAnimation(const std::string& path, AnimatedBitmap& out) {
    return withoutThrowing([&]() -> int {
        out.clear();
        std::vector<uint8_t> bytes;
        int rc = readWholeFile(path, bytes);
        if (rc < 1)
            return rc;
        switch (detectFormat(bytes.data(), bytes.size(), extensionOf(path))) {
        case PictureFormat::Gif:
            return gifcodec::decodeAnimation({bytes.data(), bytes.size()}, out);
        case PictureFormat::WebP:
            return webpcodec::decodeAnimation({bytes.data(), bytes.size()}, out);
        case PictureFormat::Jxl:
            return jxlcodec::decodeAnimation({bytes.data(), bytes.size()}, out);
        default:
            break;
        }
        AnimationFrame frame;
        rc = load(bytes.data(), bytes.size(), path, frame.bitmap);
        if (rc < 1)
            return rc;
        out.append(std::move(frame));
        return result::kSuccess;
    });
}

int PictureFile::readStamp(const std::string& path, Bitmap& out) {
    return withoutThrowing([&]() -> int {
        out.free();
        // The newer containers keep their thumbnails or previews as images
        // of their own.
        const PictureFormat format = formatFromExtension(extensionOf(path));
        if (format == PictureFormat::Raw && isRawOnDisk(path))
            return rawcodec::readStampCovering(path, 0, 0, out);
        if (format == PictureFormat::Heif || format == PictureFormat::Avif ||
            format == PictureFormat::Raw) {
            std::vector<uint8_t> bytes;
            int rc = readWholeFile(path, bytes);
            if (rc < 1)
                return rc;
            const PictureFormat real = detectFormat(bytes.data(), bytes.size(), extensionOf(path));
            const ByteView view{bytes.data(), bytes.size()};
            if (real == PictureFormat::Raw)
                return rawcodec::readStamp(view, out);
            if (real != PictureFormat::Heif && real != PictureFormat::Avif)
                return result::kNoStamp;
            rc = heifcodec::readStamp(view, out);
            // A phone makes the thumbnail in the picture's colour space.
            colour::ProfilePtr profile;
            if (rc >= 1 && heifcodec::readColourProfile(view, profile) >= 1)
                out.setColourProfile(std::move(profile));
            return rc;
        }
        std::vector<uint8_t> stamp;
        int rc = FileComments::readStampBytes(path, stamp);
        if (rc < 1)
            return rc;
        rc = jpegcodec::decode({stamp.data(), stamp.size()}, LoadOptions{}, out);
        if (rc < 1)
            return result::kNoStamp;
        // The thumbnail was made in the picture's colour space.
        colour::ProfilePtr profile;
        if (readProfile(path, profile) >= 1)
            out.setColourProfile(std::move(profile));
        return rc;
    });
}

int PictureFile::readProfile(const std::string& path, colour::ProfilePtr& out) {
    return withoutThrowing([&]() -> int {
        out.reset();
        // Profiles sit in the headers: the first megabyte first, the whole
        // file only when the scan ran out of bytes before its end.
        constexpr size_t kHead = size_t(1) << 20;
        std::vector<uint8_t> bytes;
        int rc = readFileHead(path, kHead, bytes);
        if (rc < 1)
            return rc;
        const bool whole =
            bytes.size() < kHead || static_cast<int64_t>(bytes.size()) >= fileSize(path);
        const PictureFormat format = detectFormat(bytes.data(), bytes.size(), extensionOf(path));
        const bool modern = format == PictureFormat::Heif || format == PictureFormat::Avif ||
                            format == PictureFormat::Jxl;
        if (format == PictureFormat::Unknown)
            return result::kUnknownFormat;
        if (modern) {
            // Their boxes may sit anywhere; their libraries read them.
            if (!whole && (rc = readWholeFile(path, bytes)) < 1)
                return rc;
            const ByteView view{bytes.data(), bytes.size()};
            return format == PictureFormat::Jxl ? jxlcodec::readColourProfile(view, out)
                                                : heifcodec::readColourProfile(view, out);
        }
        if (!scansProfile(format))
            return result::kSuccess; // no colour space of its own: sRGB
        bool needMore = false;
        out = colour::scan::readProfileFromHead(bytes.data(), bytes.size(), format, 0, needMore);
        if (!needMore || whole)
            return result::kSuccess;
        if ((rc = readWholeFile(path, bytes)) < 1)
            return rc;
        out = colour::readEmbeddedProfile(bytes.data(), bytes.size(), format);
        return result::kSuccess;
    });
}

} // namespace kamelo::imaging
