#include "iccprofile.h"

#include "gridcolours.h"
#include "iccprofilefactory.h"
#include "lcmslock.h"

#include <lcms2.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <utility>

namespace kamelo::imaging::colour {

std::mutex& lcmsLock() {
    static std::mutex lock;
    return lock;
}

namespace {

constexpr size_t kHeaderBytes = 128;

std::string digest(const std::vector<uint8_t>& bytes) {
    // FNV-1a over the bytes, with the length: enough to tell profiles apart
    // in a cache.
    uint64_t h = 1469598103934665603ull;
    for (uint8_t b : bytes)
        h = (h ^ b) * 1099511628211ull;
    char text[40];
    std::snprintf(text, sizeof text, "%016llx-%zx", static_cast<unsigned long long>(h),
                  bytes.size());
    return text;
}

std::string descriptionOf(cmsHPROFILE profile) {
    const cmsUInt32Number size =
        cmsGetProfileInfoASCII(profile, cmsInfoDescription, "en", "US", nullptr, 0);
    if (size == 0 || size > 4096)
        return {};
    std::string text(size, '\0');
    cmsGetProfileInfoASCII(profile, cmsInfoDescription, "en", "US", text.data(), size);
    text.resize(text.find('\0') == std::string::npos ? text.size() : text.find('\0'));
    return text;
}

std::vector<uint8_t> save(cmsHPROFILE profile) {
    std::vector<uint8_t> bytes;
    cmsUInt32Number size = 0;
    if (profile && cmsSaveProfileToMem(profile, nullptr, &size) && size > 0) {
        bytes.resize(size);
        if (!cmsSaveProfileToMem(profile, bytes.data(), &size))
            bytes.clear();
    }
    return bytes;
}

void describe(cmsHPROFILE profile, const char* name) {
    cmsMLU* mlu = cmsMLUalloc(nullptr, 1);
    if (!mlu)
        return;
    cmsMLUsetASCII(mlu, "en", "US", name);
    cmsWriteTag(profile, cmsSigProfileDescriptionTag, mlu);
    cmsMLUfree(mlu);
}

// The sRGB profile used to judge others, opened once.
cmsHPROFILE srgbHandle() {
    static cmsHPROFILE handle = cmsCreate_sRGBProfile();
    return handle;
}

// Compares the conversion to sRGB with the values themselves over a 9x9x9
// grid and every grey: 1 when no value moves by more than 1, 0 when some
// do, -1 when lcms2 cannot convert from the profile at all.
int likeSrgb(cmsHPROFILE profile) {
    const std::vector<uint8_t> in = gridAndGreys();
    cmsHTRANSFORM t =
        cmsCreateTransform(profile, TYPE_RGB_8, srgbHandle(), TYPE_RGB_8,
                           INTENT_RELATIVE_COLORIMETRIC, cmsFLAGS_NOOPTIMIZE | cmsFLAGS_NOCACHE);
    if (!t)
        return -1;
    std::vector<uint8_t> out(in.size());
    cmsDoTransform(t, in.data(), out.data(), cmsUInt32Number(in.size() / 3));
    cmsDeleteTransform(t);
    for (size_t i = 0; i < in.size(); ++i)
        if (std::abs(int(in[i]) - int(out[i])) > 1)
            return 0;
    return 1;
}

// A grey profile passes RGB through its curve with sRGB's primaries, so
// that neutral values map as the grey profile maps them.
cmsHPROFILE rgbFromGrey(cmsHPROFILE grey) {
    const auto* trc = static_cast<const cmsToneCurve*>(cmsReadTag(grey, cmsSigGrayTRCTag));
    if (!trc)
        return nullptr;
    const cmsCIExyY white = {0.3127, 0.3290, 1.0};
    const cmsCIExyYTRIPLE primaries = {{0.64, 0.33, 1}, {0.30, 0.60, 1}, {0.15, 0.06, 1}};
    cmsToneCurve* curves[3] = {const_cast<cmsToneCurve*>(trc), const_cast<cmsToneCurve*>(trc),
                               const_cast<cmsToneCurve*>(trc)};
    return cmsCreateRGBProfile(&white, &primaries, curves);
}

// The header's class, colour space and connection space, read from the
// bytes: lcms2 hands them back as enums, and a file's value outside them
// would be undefined behaviour. Input, display, output or colour-space
// profiles of RGB or grey, connecting through XYZ or Lab.
bool usableHeader(const std::vector<uint8_t>& b, bool& grey) {
    auto is = [&](size_t at, const char* sig) { return std::memcmp(&b[at], sig, 4) == 0; };
    grey = is(16, "GRAY");
    return (is(12, "scnr") || is(12, "mntr") || is(12, "prtr") || is(12, "spac")) &&
           (is(16, "RGB ") || grey) && (is(20, "XYZ ") || is(20, "Lab "));
}

// The profiles made last: a folder of phone photos carries the same profile
// in every file, and opening and judging one takes about a millisecond.
class RecentProfiles {
public:
    ProfilePtr find(const std::string& key, const std::vector<uint8_t>& bytes,
                    IccProfile::Origin origin) {
        std::lock_guard guard(lock_);
        for (auto it = entries_.begin(); it != entries_.end(); ++it)
            if ((*it)->key() == key && (*it)->origin() == origin && (*it)->bytes() == bytes) {
                ProfilePtr found = *it;
                entries_.erase(it);
                entries_.insert(entries_.begin(), found);
                return found;
            }
        return nullptr;
    }
    void add(ProfilePtr p) {
        if (p->bytes().size() > kLargest)
            return; // not worth holding on to
        std::lock_guard guard(lock_);
        entries_.insert(entries_.begin(), std::move(p));
        if (entries_.size() > kCapacity)
            entries_.pop_back();
    }

private:
    static constexpr size_t kCapacity = 16;
    static constexpr size_t kLargest = size_t(512) << 10;
    std::mutex lock_;
    std::vector<ProfilePtr> entries_;
};

RecentProfiles& recentProfiles() {
    static RecentProfiles recent;
    return recent;
}

} // namespace

ProfilePtr IccProfileFactory::make(std::vector<uint8_t> bytes, IccProfile::Origin origin,
                                   bool knownSrgb) noexcept {
    try {
        if (bytes.size() < kHeaderBytes || bytes.size() > IccProfile::kMaxBytes)
            return nullptr;
        // The header's own size must not claim more than was given.
        const uint32_t declared = uint32_t(bytes[0]) << 24 | uint32_t(bytes[1]) << 16 |
                                  uint32_t(bytes[2]) << 8 | bytes[3];
        if (declared < kHeaderBytes || declared > bytes.size())
            return nullptr;
        bool grey = false;
        if (!usableHeader(bytes, grey))
            return nullptr;
        std::string key = digest(bytes);
        if (ProfilePtr known = recentProfiles().find(key, bytes, origin))
            return known;
        std::shared_ptr<IccProfile> p(new IccProfile);
        std::lock_guard lock(lcmsLock());
        cmsHPROFILE h = cmsOpenProfileFromMem(bytes.data(), cmsUInt32Number(bytes.size()));
        if (!h)
            return nullptr;
        p->handle_ = h; // closed by the destructor from here on
        if (grey) {
            p->grey_ = true;
            p->rgbHandle_ = rgbFromGrey(h);
            if (!p->rgbHandle_)
                return nullptr;
        }
        const int like = knownSrgb ? 1 : likeSrgb(p->transformHandle());
        if (like < 0)
            return nullptr;
        p->srgbLike_ = like == 1;
        p->description_ = descriptionOf(h);
        p->key_ = std::move(key);
        p->bytes_ = std::move(bytes);
        p->origin_ = origin;
        recentProfiles().add(p);
        return p;
    } catch (...) {
        return nullptr;
    }
}

ProfilePtr IccProfileFactory::build(void* profile, const char* name, IccProfile::Origin origin,
                                    bool knownSrgb) noexcept {
    auto* h = static_cast<cmsHPROFILE>(profile);
    if (!h)
        return nullptr;
    try {
        describe(h, name);
        std::vector<uint8_t> bytes = save(h);
        cmsCloseProfile(h);
        return make(std::move(bytes), origin, knownSrgb);
    } catch (...) {
        cmsCloseProfile(h);
        return nullptr;
    }
}

IccProfile::~IccProfile() {
    if (rgbHandle_)
        cmsCloseProfile(rgbHandle_);
    if (handle_)
        cmsCloseProfile(handle_);
}

std::shared_ptr<const IccProfile> IccProfile::fromBytes(std::vector<uint8_t> bytes, Origin origin) {
    return IccProfileFactory::make(std::move(bytes), origin);
}

} // namespace kamelo::imaging::colour
