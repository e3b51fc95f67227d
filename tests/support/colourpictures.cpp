#include "colourpictures.h"

#include <lcms2.h>
#include <turbojpeg.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <stdexcept>

namespace kamelo::testing::colour {
namespace {

std::vector<uint8_t> save(cmsHPROFILE profile) {
    cmsUInt32Number size = 0;
    std::vector<uint8_t> bytes;
    if (profile && cmsSaveProfileToMem(profile, nullptr, &size)) {
        bytes.resize(size);
        cmsSaveProfileToMem(profile, bytes.data(), &size);
    }
    if (profile)
        cmsCloseProfile(profile);
    if (bytes.size() < 128)
        throw std::runtime_error("lcms2 could not write a profile");
    // lcms2 stamps the time of writing: without it, each call gives the
    // same bytes.
    std::fill(bytes.begin() + 24, bytes.begin() + 36, uint8_t(0));
    return bytes;
}

std::vector<uint8_t> rgbProfile(cmsCIExyY white, cmsCIExyYTRIPLE primaries, cmsToneCurve* curve,
                                const char* name) {
    cmsToneCurve* curves[3] = {curve, curve, curve};
    cmsHPROFILE p = cmsCreateRGBProfile(&white, &primaries, curves);
    cmsFreeToneCurve(curve);
    if (p) {
        cmsMLU* mlu = cmsMLUalloc(nullptr, 1);
        cmsMLUsetASCII(mlu, "en", "US", name);
        cmsWriteTag(p, cmsSigProfileDescriptionTag, mlu);
        cmsMLUfree(mlu);
    }
    return save(p);
}

cmsToneCurve* srgbCurve() {
    const cmsFloat64Number params[5] = {2.4, 1 / 1.055, 0.055 / 1.055, 1 / 12.92, 0.04045};
    return cmsBuildParametricToneCurve(nullptr, 4, params);
}

const cmsCIExyY kD65 = {0.3127, 0.3290, 1.0};

void append(std::vector<uint8_t>& out, const uint8_t* p, size_t n) {
    out.insert(out.end(), p, p + n);
}

void segment(std::vector<uint8_t>& out, uint8_t marker, const std::vector<uint8_t>& payload) {
    const size_t length = payload.size() + 2;
    const uint8_t head[4] = {0xFF, marker, uint8_t(length >> 8), uint8_t(length)};
    append(out, head, 4);
    append(out, payload.data(), payload.size());
}

} // namespace

std::vector<uint8_t> p3Profile() {
    return rgbProfile(kD65, {{0.680, 0.320, 1}, {0.265, 0.690, 1}, {0.150, 0.060, 1}}, srgbCurve(),
                      "Test Display P3");
}

std::vector<uint8_t> adobeRgbProfile() {
    return rgbProfile(kD65, {{0.64, 0.33, 1}, {0.21, 0.71, 1}, {0.15, 0.06, 1}},
                      cmsBuildGamma(nullptr, 563.0 / 256.0), "Test Adobe RGB (1998)");
}

std::vector<uint8_t> proPhotoProfile() {
    return rgbProfile({0.3457, 0.3585, 1},
                      {{0.7347, 0.2653, 1}, {0.1596, 0.8404, 1}, {0.0366, 0.0001, 1}},
                      cmsBuildGamma(nullptr, 1.8), "Test ProPhoto RGB");
}

std::vector<uint8_t> srgbProfile() {
    return save(cmsCreate_sRGBProfile());
}

std::vector<uint8_t> solidJpeg(int w, int h, uint32_t rgb, const std::vector<uint8_t>& icc,
                               const std::vector<uint8_t>& exifApp1Payload) {
    std::vector<uint8_t> pixels(size_t(w) * h * 3);
    for (size_t i = 0; i < pixels.size(); i += 3) {
        pixels[i] = uint8_t(rgb >> 16);
        pixels[i + 1] = uint8_t(rgb >> 8);
        pixels[i + 2] = uint8_t(rgb);
    }
    tjhandle tj = tjInitCompress();
    unsigned char* jpeg = nullptr;
    unsigned long size = 0;
    const int rc = tjCompress2(tj, pixels.data(), w, 0, h, TJPF_RGB, &jpeg, &size, TJSAMP_444, 100,
                               TJFLAG_ACCURATEDCT);
    std::vector<uint8_t> plain;
    if (rc == 0)
        plain.assign(jpeg, jpeg + size);
    tjFree(jpeg);
    tjDestroy(tj);
    if (plain.size() < 4)
        throw std::runtime_error("turbojpeg could not write the picture");

    std::vector<uint8_t> out(plain.begin(), plain.begin() + 2); // SOI
    if (!exifApp1Payload.empty())
        segment(out, 0xE1, exifApp1Payload);
    constexpr size_t kChunk = 65519 - 14;
    const size_t chunks = (icc.size() + kChunk - 1) / kChunk;
    for (size_t i = 0; i < chunks; ++i) {
        std::vector<uint8_t> payload = {'I', 'C', 'C', '_', 'P', 'R', 'O', 'F', 'I', 'L', 'E', 0};
        payload.push_back(uint8_t(i + 1));
        payload.push_back(uint8_t(chunks));
        const size_t at = i * kChunk;
        const size_t n = std::min(kChunk, icc.size() - at);
        append(payload, icc.data() + at, n);
        segment(out, 0xE2, payload);
    }
    out.insert(out.end(), plain.begin() + 2, plain.end());
    return out;
}

void writeBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    if (!f)
        throw std::runtime_error("cannot write " + path);
}

uint32_t expectedIn(const std::vector<uint8_t>& from, const std::vector<uint8_t>& to, uint32_t rgb,
                    int intent) {
    cmsHPROFILE in = cmsOpenProfileFromMem(from.data(), cmsUInt32Number(from.size()));
    cmsHPROFILE out = cmsOpenProfileFromMem(to.data(), cmsUInt32Number(to.size()));
    cmsHTRANSFORM t =
        in && out ? cmsCreateTransform(in, TYPE_RGB_DBL, out, TYPE_RGB_DBL, cmsUInt32Number(intent),
                                       cmsFLAGS_NOOPTIMIZE | cmsFLAGS_NOCACHE)
                  : nullptr;
    if (in)
        cmsCloseProfile(in);
    if (out)
        cmsCloseProfile(out);
    if (!t)
        throw std::runtime_error("lcms2 could not build the reference transform");
    const double src[3] = {((rgb >> 16) & 0xFF) / 255.0, ((rgb >> 8) & 0xFF) / 255.0,
                           (rgb & 0xFF) / 255.0};
    double dst[3] = {};
    cmsDoTransform(t, src, dst, 1);
    cmsDeleteTransform(t);
    uint32_t result = 0;
    for (double v : dst)
        result = result << 8 | uint32_t(std::lround(std::clamp(v, 0.0, 1.0) * 255.0));
    return result;
}

uint32_t expectedSrgb(const std::vector<uint8_t>& from, uint32_t rgb, int intent) {
    return expectedIn(from, srgbProfile(), rgb, intent);
}

bool near(uint32_t a, uint32_t b, int tolerance) {
    for (int shift : {16, 8, 0})
        if (std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)) > tolerance)
            return false;
    return true;
}

} // namespace kamelo::testing::colour
