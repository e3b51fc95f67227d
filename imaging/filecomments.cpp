#include "filecomments.h"

#include "exivfile.h"
#include "result.h"

#include <exiv2/exiv2.hpp>

#include <cstring>

namespace kamelo::imaging {

namespace {

const char* keyFor(int type) {
    switch (type) {
    case comment::kDateTime:
        return "Exif.Image.DateTime";
    case comment::kMake:
        return "Exif.Image.Make";
    case comment::kModel:
        return "Exif.Image.Model";
    case comment::kSoftware:
        return "Exif.Image.Software";
    case comment::kOrientation:
        return "Exif.Image.Orientation";
    case comment::kExifVersion:
        return "Exif.Photo.ExifVersion";
    case comment::kDateTimeOriginal:
        return "Exif.Photo.DateTimeOriginal";
    case comment::kAperture:
        return "Exif.Photo.ApertureValue";
    case comment::kFocalLength:
        return "Exif.Photo.FocalLength";
    case comment::kExposureTime:
        return "Exif.Photo.ExposureTime";
    case comment::kFNumber:
        return "Exif.Photo.FNumber";
    case comment::kIsoSpeed:
        return "Exif.Photo.ISOSpeedRatings";
    default:
        return nullptr;
    }
}

template <typename T> void append(std::vector<uint8_t>& out, T v) {
    uint8_t b[sizeof(T)];
    std::memcpy(b, &v, sizeof(T));
    out.insert(out.end(), b, b + sizeof(T));
}

// Opens the file and reads its metadata; image() is null when the library
// cannot or the file is no regular file.
void openImage(const std::string& path, ExivFile& file) {
    exivReady();
    file.open(path);
}

} // namespace

namespace {

// One comment type from metadata already read; the size, or 0 when absent.
int commentFrom(const Exiv2::ExifData& exif, int type, std::vector<uint8_t>& out) {
    out.clear();
    try {
        auto it = exif.findKey(Exiv2::ExifKey(keyFor(type)));
        if (it == exif.end() || it->count() == 0)
            return 0;
        switch (it->typeId()) {
        case Exiv2::asciiString: {
            std::string s = it->toString();
            while (!s.empty() && s.back() == '\0')
                s.pop_back();
            out.assign(s.begin(), s.end());
            break;
        }
        case Exiv2::unsignedRational:
            for (long i = 0; i < it->count(); ++i) {
                const Exiv2::Rational r = it->toRational(i);
                append<uint32_t>(out, static_cast<uint32_t>(r.first));
                append<uint32_t>(out, static_cast<uint32_t>(r.second));
            }
            break;
        case Exiv2::signedRational:
            for (long i = 0; i < it->count(); ++i) {
                const Exiv2::Rational r = it->toRational(i);
                append<int32_t>(out, r.first);
                append<int32_t>(out, r.second);
            }
            break;
        case Exiv2::unsignedShort:
        case Exiv2::signedShort:
            for (long i = 0; i < it->count(); ++i)
                append<int16_t>(out, static_cast<int16_t>(it->toLong(i)));
            break;
        case Exiv2::unsignedLong:
        case Exiv2::signedLong:
            for (long i = 0; i < it->count(); ++i)
                append<int32_t>(out, static_cast<int32_t>(it->toLong(i)));
            break;
        default: {
            out.resize(static_cast<size_t>(it->size()));
            if (!out.empty())
                it->copy(out.data(), Exiv2::invalidByteOrder);
        }
        }
    } catch (const std::exception&) {
        out.clear();
        return 0;
    }
    return static_cast<int>(out.size());
}

} // namespace

int FileComments::read(const std::string& path, int type, std::vector<uint8_t>& out) {
    out.clear();
    if (!keyFor(type))
        return result::kInvalidParameter;
    ExivFile file;
    openImage(path, file);
    Exiv2::Image* image = file.image();
    if (!image)
        return 0;
    return commentFrom(image->exifData(), type, out);
}

std::map<int, std::vector<uint8_t>> FileComments::readMany(const std::string& path,
                                                           const std::vector<int>& types) {
    std::map<int, std::vector<uint8_t>> found;
    ExivFile file;
    openImage(path, file);
    Exiv2::Image* image = file.image();
    if (!image)
        return found;
    for (int type : types) {
        std::vector<uint8_t> bytes;
        if (keyFor(type) && commentFrom(image->exifData(), type, bytes) > 0)
            found[type] = std::move(bytes);
    }
    return found;
}

std::string FileComments::text(const std::string& path, int type) {
    std::vector<uint8_t> bytes;
    if (read(path, type, bytes) < 1)
        return {};
    return std::string(bytes.begin(), bytes.end());
}

int FileComments::readStampBytes(const std::string& path, std::vector<uint8_t>& out) {
    out.clear();
    ExivFile file;
    openImage(path, file);
    Exiv2::Image* image = file.image();
    if (!image)
        return result::kNoStamp;
    try {
        Exiv2::ExifThumbC thumb(image->exifData());
        const Exiv2::DataBuf buf = thumb.copy();
        if (buf.size_ > 0 && std::string(thumb.mimeType()) == "image/jpeg") {
            out.assign(buf.pData_, buf.pData_ + buf.size_);
        } else {
            // Some cameras leave out the thumbnail's compression tag; the
            // offset tag still carries the JPEG bytes.
            const Exiv2::ExifData& exif = image->exifData();
            auto it = exif.findKey(Exiv2::ExifKey("Exif.Thumbnail.JPEGInterchangeFormat"));
            if (it == exif.end())
                return result::kNoStamp;
            const Exiv2::DataBuf area = it->dataArea();
            if (area.size_ < 4 || area.pData_[0] != 0xFF || area.pData_[1] != 0xD8)
                return result::kNoStamp;
            out.assign(area.pData_, area.pData_ + area.size_);
        }
    } catch (const std::exception&) {
        return result::kNoStamp;
    }
    return result::kSuccess;
}

} // namespace kamelo::imaging
