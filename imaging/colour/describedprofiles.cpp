#include "iccprofile.h"

#include "iccprofilefactory.h"

#include <lcms2.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <mutex>
#include <utility>
#include <vector>

// Profiles made from descriptions: the program's own, and those of files
// that name their primaries and curve instead of embedding a profile.
namespace kamelo::imaging::colour {

namespace {

// Curves given by files as code values to linear light, relative to the
// reference white, with a soft knee into 1 for HDR values above it: an
// approximation good enough for showing HDR stills on an SDR display.
double kneed(double v) {
    constexpr double kKnee = 0.8;
    if (v <= kKnee)
        return v;
    return kKnee + (1 - kKnee) * (1 - std::exp(-(v - kKnee) / (1 - kKnee)));
}

double pqToRelative(double e) {
    constexpr double m1 = 2610.0 / 16384, m2 = 2523.0 / 4096 * 128, c1 = 3424.0 / 4096,
                     c2 = 2413.0 / 4096 * 32, c3 = 2392.0 / 4096 * 32;
    const double p = std::pow(std::clamp(e, 0.0, 1.0), 1 / m2);
    const double y = std::pow(std::max(p - c1, 0.0) / (c2 - c3 * p), 1 / m1);
    return y * 10000.0 / 203.0; // reference white at 203 cd/m2
}

double hlgToRelative(double e) {
    constexpr double a = 0.17883277, b = 0.28466892, c = 0.55991073;
    e = std::clamp(e, 0.0, 1.0);
    const double scene = e <= 0.5 ? e * e / 3 : (std::exp((e - c) / a) + b) / 12;
    // The system gamma of a 1000 cd/m2 display, reference white at 203.
    return std::pow(scene, 1.2) * 1000.0 / 203.0;
}

cmsToneCurve* tabulated(double (*toRelative)(double)) {
    constexpr int kEntries = 4096;
    std::vector<cmsUInt16Number> table(kEntries);
    for (int i = 0; i < kEntries; ++i) {
        const double v = kneed(toRelative(double(i) / (kEntries - 1)));
        table[size_t(i)] = cmsUInt16Number(std::lround(std::clamp(v, 0.0, 1.0) * 65535));
    }
    return cmsBuildTabulatedToneCurve16(nullptr, kEntries, table.data());
}

cmsToneCurve* curveFor(const IccProfile::Curve& curve) {
    using Kind = IccProfile::Curve::Kind;
    switch (curve.kind) {
    case Kind::Srgb: {
        const cmsFloat64Number p[5] = {2.4, 1 / 1.055, 0.055 / 1.055, 1 / 12.92, 0.04045};
        return cmsBuildParametricToneCurve(nullptr, 4, p);
    }
    case Kind::Gamma:
        if (!std::isfinite(curve.gamma) || curve.gamma < 0.1 || curve.gamma > 10)
            return nullptr;
        return cmsBuildGamma(nullptr, curve.gamma);
    case Kind::Linear:
        return cmsBuildGamma(nullptr, 1.0);
    case Kind::Rec709: {
        const cmsFloat64Number p[5] = {1 / 0.45, 1 / 1.099, 0.099 / 1.099, 1 / 4.5, 0.081};
        return cmsBuildParametricToneCurve(nullptr, 4, p);
    }
    case Kind::Pq:
        return tabulated(pqToRelative);
    case Kind::Hlg:
        return tabulated(hlgToRelative);
    }
    return nullptr;
}

bool plausible(const IccProfile::Chromaticities& c) {
    const double xy[8] = {c.whiteX, c.whiteY, c.redX, c.redY, c.greenX, c.greenY, c.blueX, c.blueY};
    for (int i = 0; i < 8; i += 2) {
        const double x = xy[i], y = xy[i + 1];
        if (!std::isfinite(x) || !std::isfinite(y) || x < 0 || x > 1 || y <= 0 || y > 1 ||
            x + y > 1.0001)
            return false;
    }
    // Twice the triangle's area in xy: a thin or collinear one is nonsense.
    const double area =
        (c.greenX - c.redX) * (c.blueY - c.redY) - (c.blueX - c.redX) * (c.greenY - c.redY);
    return std::abs(area) > 0.01;
}

const char* curveName(IccProfile::Curve::Kind kind) {
    using Kind = IccProfile::Curve::Kind;
    switch (kind) {
    case Kind::Srgb:
        return "sRGB curve";
    case Kind::Gamma:
        return "gamma";
    case Kind::Linear:
        return "linear";
    case Kind::Rec709:
        return "BT.709 curve";
    case Kind::Pq:
        return "PQ";
    case Kind::Hlg:
        return "HLG";
    }
    return "";
}

ProfilePtr rgb(const IccProfile::Chromaticities& c, const IccProfile::Curve& curve,
               const char* name, IccProfile::Origin origin) noexcept {
    if (!plausible(c))
        return nullptr;
    cmsToneCurve* tone = curveFor(curve);
    if (!tone)
        return nullptr;
    const cmsCIExyY white = {c.whiteX, c.whiteY, 1.0};
    const cmsCIExyYTRIPLE primaries = {
        {c.redX, c.redY, 1.0}, {c.greenX, c.greenY, 1.0}, {c.blueX, c.blueY, 1.0}};
    cmsToneCurve* curves[3] = {tone, tone, tone};
    cmsHPROFILE h = cmsCreateRGBProfile(&white, &primaries, curves);
    cmsFreeToneCurve(tone);
    return IccProfileFactory::build(h, name, origin);
}

} // namespace

std::shared_ptr<const IccProfile> IccProfile::fromDescription(const Chromaticities& primaries,
                                                              const Curve& curve) {
    char name[64];
    std::snprintf(name, sizeof name, "RGB, %s", curveName(curve.kind));
    return rgb(primaries, curve, name, Origin::Described);
}

namespace {

constexpr IccProfile::Chromaticities kBt709 = {0.3127, 0.3290, 0.64, 0.33, 0.30, 0.60, 0.15, 0.06};
constexpr IccProfile::Chromaticities kAdobe = {0.3127, 0.3290, 0.64, 0.33, 0.21, 0.71, 0.15, 0.06};
constexpr IccProfile::Chromaticities kP3 = {0.3127, 0.3290, 0.680, 0.320,
                                            0.265,  0.690,  0.150, 0.060};
constexpr IccProfile::Chromaticities kDciP3 = {0.314, 0.351, 0.680, 0.320,
                                               0.265, 0.690, 0.150, 0.060};
constexpr IccProfile::Chromaticities kProPhoto = {0.3457, 0.3585, 0.7347, 0.2653,
                                                  0.1596, 0.8404, 0.0366, 0.0001};
constexpr IccProfile::Chromaticities kBt2020 = {0.3127, 0.3290, 0.708, 0.292,
                                                0.170,  0.797,  0.131, 0.046};
constexpr IccProfile::Chromaticities kBt601Pal = {0.3127, 0.3290, 0.64, 0.33,
                                                  0.29,   0.60,   0.15, 0.06};
constexpr IccProfile::Chromaticities kBt601Ntsc = {0.3127, 0.3290, 0.630, 0.340,
                                                   0.310,  0.595,  0.155, 0.070};

using Kind = IccProfile::Curve::Kind;

} // namespace

std::shared_ptr<const IccProfile> IccProfile::srgb() {
    static const ProfilePtr p =
        IccProfileFactory::build(cmsCreate_sRGBProfile(), "sRGB", Origin::Builtin, true);
    return p;
}

std::shared_ptr<const IccProfile> IccProfile::adobeRgb() {
    static const ProfilePtr p =
        rgb(kAdobe, {Kind::Gamma, 563.0 / 256.0}, "Adobe RGB (1998)", Origin::Builtin);
    return p;
}

std::shared_ptr<const IccProfile> IccProfile::displayP3() {
    static const ProfilePtr p = rgb(kP3, {Kind::Srgb, 2.2}, "Display P3", Origin::Builtin);
    return p;
}

std::shared_ptr<const IccProfile> IccProfile::proPhoto() {
    static const ProfilePtr p = rgb(kProPhoto, {Kind::Gamma, 1.8}, "ProPhoto RGB", Origin::Builtin);
    return p;
}

std::shared_ptr<const IccProfile> IccProfile::fromCicp(int primaries, int transfer) {
    const Chromaticities* c = nullptr;
    const char* primariesName = "";
    switch (primaries) {
    case 1:
        c = &kBt709, primariesName = "BT.709";
        break;
    case 5:
        c = &kBt601Pal, primariesName = "BT.601 (625)";
        break;
    case 6:
    case 7:
        c = &kBt601Ntsc, primariesName = "BT.601 (525)";
        break;
    case 9:
        c = &kBt2020, primariesName = "BT.2020";
        break;
    case 11:
        c = &kDciP3, primariesName = "DCI-P3";
        break;
    case 12:
        c = &kP3, primariesName = "Display P3";
        break;
    default:
        return nullptr;
    }
    Curve curve;
    switch (transfer) {
    case 1:
    case 6:
    case 14:
    case 15:
        curve.kind = Kind::Rec709;
        break;
    case 13:
        curve.kind = Kind::Srgb;
        break;
    case 8:
        curve.kind = Kind::Linear;
        break;
    case 4:
        curve = {Kind::Gamma, 2.2};
        break;
    case 5:
        curve = {Kind::Gamma, 2.8};
        break;
    case 16:
        curve.kind = Kind::Pq;
        break;
    case 18:
        curve.kind = Kind::Hlg;
        break;
    case 2: // unspecified: only sRGB's primaries suggest a curve
        if (primaries != 1)
            return nullptr;
        curve.kind = Kind::Srgb;
        break;
    default:
        return nullptr;
    }
    if (primaries == 1 && curve.kind == Kind::Srgb)
        return srgb();
    if (primaries == 12 && curve.kind == Kind::Srgb)
        return displayP3();

    // Every HEIF picture asks again: keep what was made. The code points
    // are few, so this stays small.
    static std::mutex lock;
    static std::map<std::pair<int, int>, ProfilePtr> made;
    const std::pair<int, int> key(primaries, int(curve.kind) * 100 + int(curve.gamma * 10));
    {
        std::lock_guard guard(lock);
        if (auto it = made.find(key); it != made.end())
            return it->second;
    }
    char name[64];
    std::snprintf(name, sizeof name, "%s, %s", primariesName, curveName(curve.kind));
    ProfilePtr p = rgb(*c, curve, name, Origin::Described);
    std::lock_guard guard(lock);
    made.emplace(key, p);
    return p;
}

} // namespace kamelo::imaging::colour
