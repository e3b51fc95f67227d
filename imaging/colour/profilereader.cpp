#include "profilereader.h"

#include "profilescan.h"

#include <list>
#include <mutex>

namespace kamelo::imaging::colour {

namespace scan {

namespace {

// Adobe RGB, marked as known from EXIF rather than from the file's own
// profile; made once.
ProfilePtr dcfAdobeRgb() {
    static const ProfilePtr profile = [] {
        const ProfilePtr builtin = IccProfile::adobeRgb();
        return builtin ? IccProfile::fromBytes(builtin->bytes(), IccProfile::Origin::DcfAdobeRgb)
                       : ProfilePtr();
    }();
    return profile;
}

// Pictures from one camera or phone carry the same profile, and opening
// and judging one costs lcms2 milliseconds: the last few distinct ones are
// kept, refused ones as their bytes, most recent first.
ProfilePtr embedded(std::vector<uint8_t>&& icc) {
    struct Kept {
        std::vector<uint8_t> refused; // empty when profile is set
        ProfilePtr profile;
        const std::vector<uint8_t>& bytes() const { return profile ? profile->bytes() : refused; }
    };
    constexpr size_t kKept = 16;
    constexpr size_t kLargestKept = size_t(1) << 20;
    static std::mutex lock;
    static std::list<Kept> kept;
    {
        std::lock_guard guard(lock);
        for (auto it = kept.begin(); it != kept.end(); ++it) {
            if (it->bytes() == icc) {
                kept.splice(kept.begin(), kept, it);
                return kept.front().profile;
            }
        }
    }
    if (icc.size() > kLargestKept)
        return IccProfile::fromBytes(std::move(icc), IccProfile::Origin::Embedded);
    std::vector<uint8_t> copy = icc;
    ProfilePtr profile = IccProfile::fromBytes(std::move(icc), IccProfile::Origin::Embedded);
    std::lock_guard guard(lock);
    kept.push_front(profile ? Kept{{}, profile} : Kept{std::move(copy), nullptr});
    if (kept.size() > kKept)
        kept.pop_back();
    return profile;
}

Found scanFormat(const uint8_t* data, size_t size, PictureFormat format, int page) {
    switch (format) {
    case PictureFormat::Jpeg:
        return jpeg(data, size);
    case PictureFormat::Png:
        return png(data, size);
    case PictureFormat::Tiff:
        return tiff(data, size, page);
    case PictureFormat::Psd:
        return psd(data, size);
    case PictureFormat::WebP:
        return webp(data, size);
    default:
        // HEIF, AVIF and JPEG XL decoders report their colour themselves.
        return {};
    }
}

} // namespace

ProfilePtr profileOf(Found&& found) {
    switch (found.kind) {
    case Found::Kind::Icc:
        if (!plausibleIcc(found.icc))
            return nullptr;
        return embedded(std::move(found.icc));
    case Found::Kind::Described:
        return IccProfile::fromDescription(found.primaries, found.curve);
    case Found::Kind::Cicp:
        return IccProfile::fromCicp(found.cicpPrimaries, found.cicpTransfer);
    case Found::Kind::DcfAdobeRgb:
        return dcfAdobeRgb();
    case Found::Kind::None:
    case Found::Kind::Srgb:
        break;
    }
    return nullptr;
}

ProfilePtr readProfileFromHead(const uint8_t* data, size_t size, PictureFormat format, int page,
                               bool& needMore) {
    needMore = false;
    try {
        Found found = scanFormat(data, size, format, page);
        needMore = found.needMore;
        return profileOf(std::move(found));
    } catch (...) {
        // Out of memory for a copy of the profile: the picture shows as sRGB.
        return nullptr;
    }
}

} // namespace scan

ProfilePtr readEmbeddedProfile(const uint8_t* data, size_t size, PictureFormat format, int page) {
    bool needMore = false;
    return scan::readProfileFromHead(data, size, format, page, needMore);
}

} // namespace kamelo::imaging::colour
