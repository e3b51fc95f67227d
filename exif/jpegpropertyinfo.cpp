#include "jpegpropertyinfo.h"

#include "imaging/core/filebytes.h"
#include "imaging/exivfile.h"
#include "imaging/exivvalues.h"
#include "imaging/jpegcodec.h"
#include "imaging/orientation.h"
#include "imaging/pictureformat.h"
#include "imaging/result.h"
#include "resources/stringtable.h"

#include <exiv2/exiv2.hpp>

#include <algorithm>
#include <new>

namespace kamelo {

namespace {

using Kind = JpegPropertyInfo::Kind;

const std::map<uint16_t, Kind>& table() {
    static const std::map<uint16_t, Kind> t = {
        {256, Kind::Short},      {257, Kind::Short},      {270, Kind::Text},
        {271, Kind::Text},       {272, Kind::Text},       {274, Kind::Short},
        {282, Kind::Rational},   {283, Kind::Rational},   {296, Kind::Short},
        {305, Kind::Text},       {306, Kind::Text},       {315, Kind::Text},
        {33434, Kind::Rational}, {33437, Kind::Rational}, {34852, Kind::Text},
        {34855, Kind::Short},    {36864, Kind::Bytes4},   {36867, Kind::Text},
        {36868, Kind::Text},     {37121, Kind::Bytes4},   {37122, Kind::Rational},
        {37377, Kind::Rational}, {37378, Kind::Rational}, {37379, Kind::Rational},
        {37380, Kind::Rational}, {37381, Kind::Rational}, {37383, Kind::Short},
        {37384, Kind::Short},    {37385, Kind::Short},    {37386, Kind::Rational},
        {37520, Kind::Text},     {37521, Kind::Text},     {37522, Kind::Text},
        {40961, Kind::Short},    {40962, Kind::Short},    {40963, Kind::Short},
        {41483, Kind::Rational}, {41486, Kind::Rational}, {41487, Kind::Rational},
        {41488, Kind::Short},    {41495, Kind::Short},
    };
    return t;
}

constexpr uint16_t kSoftware = 305;
constexpr uint16_t kOrientation = 274;

bool isSignedRational(uint16_t tag) {
    return tag == 37377 || tag == 37379 || tag == 37380;
}

// The size tags describe the written picture, not the one the properties
// were read from; none of them can be larger than 16 bits in a JPEG.
std::optional<uint16_t> sizeTagValue(uint16_t tag, const imaging::Bitmap& bitmap) {
    int value;
    switch (tag) {
    case 256:   // ImageWidth
    case 40962: // PixelXDimension
        value = bitmap.width();
        break;
    case 257:   // ImageLength
    case 40963: // PixelYDimension
        value = bitmap.height();
        break;
    default:
        return std::nullopt;
    }
    return static_cast<uint16_t>(std::clamp(value, 0, 0xFFFF));
}

// IFD0 holds the tags below 0x8000 here; the rest live in the EXIF directory.
const char* groupOf(uint16_t tag) {
    return tag < 0x8000 ? "Image" : "Photo";
}

// Adds a record field under its tag and type; the size tags give bitmap's
// size when there is one.
void addItem(Exiv2::ExifData& exif, uint16_t tag, const JpegPropertyInfo::Item& item,
             const imaging::Bitmap* bitmap) {
    const Exiv2::ExifKey key(tag, groupOf(tag));
    switch (item.kind) {
    case Kind::Short:
        exif.add(key,
                 imaging::exivvalue::shorts(
                     (bitmap ? sizeTagValue(tag, *bitmap) : std::nullopt).value_or(item.shortValue))
                     .get());
        break;
    case Kind::Rational:
        if (isSignedRational(tag))
            exif.add(key, imaging::exivvalue::rational(item.numerator, item.denominator).get());
        else
            exif.add(key, imaging::exivvalue::unsignedRational(uint32_t(item.numerator),
                                                               uint32_t(item.denominator))
                              .get());
        break;
    case Kind::Text:
        if (tag != kSoftware)
            exif.add(key, imaging::exivvalue::ascii(item.text).get());
        break;
    case Kind::Bytes4:
        exif.add(key, imaging::exivvalue::undefined(item.bytes.data(), 4).get());
        break;
    }
}

// Formats whose stored pixels are turned by the container's or codestream's
// own orientation (a HEIF's rotation boxes, a JPEG XL's header, a RAW's
// value), which an EXIF tag inside may not match.
bool ownsOrientation(const std::string& path) {
    switch (imaging::formatFromExtension(imaging::extensionOf(path))) {
    case imaging::PictureFormat::Heif:
    case imaging::PictureFormat::Avif:
    case imaging::PictureFormat::Jxl:
    case imaging::PictureFormat::Raw:
        return true;
    default:
        return false;
    }
}

} // namespace

const Kind* JpegPropertyInfo::kindOf(uint16_t tag) {
    const auto it = table().find(tag);
    return it == table().end() ? nullptr : &it->second;
}

const JpegPropertyInfo::Item* JpegPropertyInfo::item(uint16_t tag) const {
    const auto it = items_.find(tag);
    return it == items_.end() ? nullptr : &it->second;
}

uint16_t JpegPropertyInfo::shortOr(uint16_t tag) const {
    const Item* i = item(tag);
    return i && i->kind == Kind::Short ? i->shortValue : 0xFFFF;
}

std::optional<uint16_t> JpegPropertyInfo::shortValue(uint16_t tag) const {
    const Item* i = item(tag);
    if (!i || i->kind != Kind::Short)
        return std::nullopt;
    return i->shortValue;
}

void JpegPropertyInfo::set(uint16_t tag, Item item) {
    if (kindOf(tag)) {
        items_[tag] = std::move(item);
        changed_.insert(tag);
    }
}

JpegPropertyInfo JpegPropertyInfo::read(const std::string& path) {
    JpegPropertyInfo info;
    imaging::exivReady();
    imaging::ExivFile file;
    if (file.open(path) < 1)
        return info;
    auto carrier = std::make_shared<imaging::MetadataCarrier>();
    carrier->readFrom(file);
    info.source_ = std::move(carrier);
    Exiv2::Image* image = file.image();
    try {
        for (const Exiv2::Exifdatum& d : image->exifData()) {
            const std::string group = d.groupName();
            if (group != "Image" && group != "Photo")
                continue; // the thumbnail's and the maker's directories
            const Kind* kind = kindOf(d.tag());
            if (!kind || d.count() == 0 || info.has(d.tag()))
                continue;
            Item item;
            item.kind = *kind;
            switch (*kind) {
            case Kind::Short:
                item.shortValue = static_cast<uint16_t>(d.toLong(0));
                break;
            case Kind::Rational: {
                const Exiv2::Rational r = d.toRational(0);
                item.numerator = r.first;
                item.denominator = r.second;
                break;
            }
            case Kind::Text: {
                std::string s = d.toString();
                const size_t nul = s.find('\0');
                item.text = nul == std::string::npos ? s : s.substr(0, nul);
                break;
            }
            case Kind::Bytes4: {
                Exiv2::DataBuf buf(d.size());
                d.copy(buf.pData_, Exiv2::littleEndian);
                for (long i = 0; i < 4 && i < buf.size_; ++i)
                    item.bytes[size_t(i)] = buf.pData_[i];
                break;
            }
            }
            info.items_[d.tag()] = item;
        }
    } catch (const std::exception&) {
        // Whatever could be read stays; the rest is absent.
    }
    if (ownsOrientation(path)) {
        // The record describes the stored pixels as the viewer turns them:
        // a picture written from them carries this orientation.
        const int orientation = imaging::Orientation::read(path);
        if (orientation != info.shortValue(kOrientation).value_or(1)) {
            Item item;
            item.kind = Kind::Short;
            item.shortValue = uint16_t(orientation);
            info.set(kOrientation, item);
        }
    }
    return info;
}

imaging::MetadataCarrier JpegPropertyInfo::carrier() const {
    imaging::MetadataCarrier carrier = source_ ? *source_ : imaging::MetadataCarrier();
    try {
        Exiv2::ExifData changed;
        for (uint16_t tag : changed_) {
            const Item* i = item(tag);
            if (tag == kOrientation && i && i->kind == Kind::Short)
                carrier.setOrientation(i->shortValue);
            else if (i && tag != kSoftware)
                addItem(changed, tag, *i, nullptr);
        }
        for (const Exiv2::Exifdatum& d : changed)
            carrier.setTag(d.key(), d.value());
    } catch (const std::exception&) {
        // A field Exiv2 cannot hold stays as the source had it.
    }
    carrier.setSoftware(std::string(res::text(res::IDS_SOFTWARE_NAME)));
    return carrier;
}

int JpegPropertyInfo::encodeJpeg(const imaging::Bitmap& bitmap, int quality,
                                 std::vector<uint8_t>& out) const {
    out.clear();
    if (!source_)
        return encodeRecordOnly(bitmap, quality, out);
    try {
        return carrier().encodeJpeg(bitmap, quality, out);
    } catch (const std::bad_alloc&) {
        return imaging::result::kNoMemory;
    }
}

int JpegPropertyInfo::encodeRecordOnly(const imaging::Bitmap& bitmap, int quality,
                                       std::vector<uint8_t>& out) const {
    imaging::exivReady();
    try {
        Exiv2::ExifData exif;
        for (const auto& [tag, item] : items_)
            addItem(exif, tag, item, &bitmap);
        // Saved by this program, whatever made it before.
        exif.add(Exiv2::ExifKey("Exif.Image.Software"),
                 imaging::exivvalue::ascii(std::string(res::text(res::IDS_SOFTWARE_NAME))).get());
        // The block goes into the JPEG as it is compressed, so the picture's
        // bytes are written once.
        Exiv2::Blob block;
        Exiv2::ExifParser::encode(block, Exiv2::littleEndian, exif);
        static constexpr uint8_t kHeader[6] = {'E', 'x', 'i', 'f', 0, 0};
        std::vector<uint8_t> app1(sizeof kHeader + block.size());
        std::copy(std::begin(kHeader), std::end(kHeader), app1.begin());
        std::copy(block.begin(), block.end(), app1.begin() + sizeof kHeader);
        if (app1.size() <= 65533)
            return imaging::jpegcodec::encode(bitmap, quality, out, &app1);
        // Too large for one segment: Exiv2 decides what to leave out.
        std::vector<uint8_t> jpeg;
        const int rc = imaging::jpegcodec::encode(bitmap, quality, jpeg);
        if (rc < 1)
            return rc;
        Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(jpeg.data(), long(jpeg.size()));
        image->setExifData(exif);
        image->writeMetadata();
        Exiv2::BasicIo& io = image->io();
        io.seek(0, Exiv2::BasicIo::beg);
        const Exiv2::DataBuf all = io.read(long(io.size()));
        if (all.size_ <= 0)
            return imaging::result::kFileWrite;
        out.assign(all.pData_, all.pData_ + all.size_);
        return imaging::result::kSuccess;
    } catch (const std::bad_alloc&) {
        return imaging::result::kNoMemory;
    } catch (const std::exception&) {
        return imaging::result::kFileWrite;
    }
}

int JpegPropertyInfo::saveJpeg(const imaging::Bitmap& bitmap, const std::string& path,
                               int quality) const {
    std::vector<uint8_t> bytes;
    const int rc = encodeJpeg(bitmap, quality, bytes);
    if (rc < 1)
        return rc;
    return imaging::writeFileAtomically(path, bytes.data(), bytes.size());
}

} // namespace kamelo
