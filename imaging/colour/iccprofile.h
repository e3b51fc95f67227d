#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kamelo::imaging::colour {

// The colour space a picture's values are in, as an ICC profile that lcms2
// has accepted. Shared and immutable: a picture, its copies and the caches
// of transforms hold the same one. A picture without one is sRGB.
class IccProfile {
public:
    // Where the profile came from, for the information pane and tests.
    enum class Origin {
        Embedded,    // the file's own ICC profile, as stored
        DcfAdobeRgb, // no profile, but EXIF says Adobe RGB by the DCF rule
        Described,   // made from the file's description (nclx, gAMA/cHRM, ...)
        Builtin,     // one of the profiles below
    };

    // CIE xy chromaticities of a white point and three primaries.
    struct Chromaticities {
        double whiteX, whiteY, redX, redY, greenX, greenY, blueX, blueY;
    };
    // A transfer curve as files describe it.
    struct Curve {
        enum class Kind { Srgb, Gamma, Linear, Rec709, Pq, Hlg } kind = Kind::Srgb;
        double gamma = 2.2; // for Kind::Gamma: the exponent that decodes values
    };

    ~IccProfile();
    IccProfile(const IccProfile&) = delete;
    IccProfile& operator=(const IccProfile&) = delete;

    // The profile in bytes when lcms2 accepts it as an RGB (or grey) input
    // profile; null for anything else (refused, truncated, a CMYK or Lab
    // profile, larger than kMaxBytes). Never throws.
    static std::shared_ptr<const IccProfile> fromBytes(std::vector<uint8_t> bytes,
                                                       Origin origin = Origin::Embedded);
    // A matrix/curve profile made from a description; null when the
    // chromaticities are not a plausible triangle.
    static std::shared_ptr<const IccProfile> fromDescription(const Chromaticities& primaries,
                                                             const Curve& curve);
    // From ISO/IEC 23091-2 code points (HEIF/AVIF nclx): colour primaries
    // and transfer characteristics. Null when unknown or unspecified.
    static std::shared_ptr<const IccProfile> fromCicp(int primaries, int transfer);

    // Profiles the program itself knows (made once, shared).
    static std::shared_ptr<const IccProfile> srgb();
    static std::shared_ptr<const IccProfile> adobeRgb();
    static std::shared_ptr<const IccProfile> displayP3();
    static std::shared_ptr<const IccProfile> proPhoto();

    // A profile larger than this is refused whatever the file.
    static constexpr size_t kMaxBytes = size_t(8) << 20;

    const std::vector<uint8_t>& bytes() const { return bytes_; }
    Origin origin() const { return origin_; }
    // Whether converting from this profile to sRGB would change no 8-bit
    // value by more than 1 (sRGB itself, or a copy of it under another name).
    bool isSrgb() const { return srgbLike_; }
    // Identifies the profile's content (a digest of its bytes), for caches.
    const std::string& key() const { return key_; }
    // Its description tag, empty when it has none.
    const std::string& description() const { return description_; }
    // The lcms2 handle (cmsHPROFILE), opened once, valid as long as this.
    void* handle() const { return handle_; }
    // The handle transforms are built with: the profile itself, or for a
    // grey profile an RGB one with its curve and sRGB's primaries, so that
    // RGB pixels can pass through it.
    void* transformHandle() const { return rgbHandle_ ? rgbHandle_ : handle_; }
    // Grey profiles describe one channel; converted pictures are RGB.
    bool isGrey() const { return grey_; }

private:
    IccProfile() = default;
    friend struct IccProfileFactory;

    std::vector<uint8_t> bytes_;
    Origin origin_ = Origin::Embedded;
    bool srgbLike_ = false;
    bool grey_ = false;
    std::string key_;
    std::string description_;
    void* handle_ = nullptr;
    void* rgbHandle_ = nullptr; // grey profiles only
};

using ProfilePtr = std::shared_ptr<const IccProfile>;

} // namespace kamelo::imaging::colour
