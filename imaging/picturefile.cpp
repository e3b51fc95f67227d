#include "picturefile.h"

#include "core/filebytes.h"
#include "emfcodec.h"
#include "filecomments.h"
#include "gifcodec.h"
#include "headerinfo.h"
#include "iffcodec.h"
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
        const bool needsAll = format == PictureFormat::Gif || format == PictureFormat::Tiff ||
                              format == PictureFormat::Dcx;
        if (whole || !needsAll)
            rc = readInfo(bytes.data(), bytes.size(), path, info);
        if (!whole && (needsAll || rc < 1)) {
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
    });
}

int PictureFile::load(const std::string& path, Bitmap& out, const LoadOptions& options) {
    return withoutThrowing([&]() -> int {
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
        if (detectFormat(bytes.data(), bytes.size(), extensionOf(path)) == PictureFormat::Gif)
            return gifcodec::decodeAnimation({bytes.data(), bytes.size()}, out);
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
        std::vector<uint8_t> stamp;
        int rc = FileComments::readStampBytes(path, stamp);
        if (rc < 1)
            return rc;
        rc = jpegcodec::decode({stamp.data(), stamp.size()}, LoadOptions{}, out);
        return rc < 1 ? result::kNoStamp : rc;
    });
}

} // namespace kamelo::imaging
