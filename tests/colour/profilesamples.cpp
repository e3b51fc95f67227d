#include "tests/colour/profilesamples.h"

#include <gtest/gtest.h>
#include <lcms2.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>

namespace fx = kamelo::testing::colour;

namespace kamelo::test::profiles {

namespace {

Bytes saved(cmsHPROFILE p) {
    cmsUInt32Number size = 0;
    cmsSaveProfileToMem(p, nullptr, &size);
    Bytes bytes(size);
    cmsSaveProfileToMem(p, bytes.data(), &size);
    cmsCloseProfile(p);
    return bytes;
}

} // namespace

// The fixture's profiles carry the time they were made: each is made once,
// so that a sample and its expectation hold the same bytes.
Bytes p3() {
    static const Bytes bytes = fx::p3Profile();
    return bytes;
}
Bytes adobeRgb() {
    static const Bytes bytes = fx::adobeRgbProfile();
    return bytes;
}
Bytes proPhoto() {
    static const Bytes bytes = fx::proPhotoProfile();
    return bytes;
}

// Display P3 with a large private tag: more than one APP2 segment holds.
Bytes bigP3() {
    static const Bytes bytes = [] {
        const Bytes base = p3();
        cmsHPROFILE p = cmsOpenProfileFromMem(base.data(), cmsUInt32Number(base.size()));
        Bytes filler(200000);
        for (size_t i = 0; i < filler.size(); ++i)
            filler[i] = uint8_t(i * 7);
        cmsWriteRawTag(p, cmsTagSignature(0x6B6D6C6F), filler.data(), cmsUInt32Number(200000));
        return saved(p);
    }();
    return bytes;
}

// sRGB's primaries with a pure 1.8 curve: what a lone gAMA chunk describes.
Bytes gamma18() {
    const cmsCIExyY white = {0.3127, 0.3290, 1};
    const cmsCIExyYTRIPLE primaries = {{0.64, 0.33, 1}, {0.30, 0.60, 1}, {0.15, 0.06, 1}};
    cmsToneCurve* curve = cmsBuildGamma(nullptr, 1.8);
    cmsToneCurve* curves[3] = {curve, curve, curve};
    cmsHPROFILE p = cmsCreateRGBProfile(&white, &primaries, curves);
    cmsFreeToneCurve(curve);
    return saved(p);
}

Bytes noise(size_t n, uint32_t seed) {
    Bytes b(n);
    for (auto& v : b) {
        seed = seed * 1103515245u + 12345u;
        v = uint8_t(seed >> 16);
    }
    return b;
}

// An EXIF block (after "Exif\0\0") holding ColorSpace and the
// interoperability index, in either byte order.
Bytes exifPayload(bool little, uint16_t colourSpace, const char* index) {
    Bytes b = {'E', 'x', 'i', 'f', 0, 0};
    const size_t base = b.size();
    auto put = [&](uint32_t v, int n) {
        for (int i = 0; i < n; ++i)
            b.push_back(uint8_t(v >> (8 * (little ? i : n - 1 - i))));
    };
    auto entry = [&](uint16_t tag, uint16_t type, uint32_t value, int valueBytes) {
        put(tag, 2);
        put(type, 2);
        put(1, 4);
        put(value, valueBytes);
        if (valueBytes == 2)
            put(0, 2);
    };
    b.push_back(little ? 'I' : 'M');
    b.push_back(little ? 'I' : 'M');
    put(42, 2);
    put(8, 4);
    put(1, 2); // IFD0 at 8: the Exif IFD's pointer
    entry(0x8769, 4, 26, 4);
    put(0, 4);
    put(2, 2); // Exif IFD at 26
    entry(0xA001, 3, colourSpace, 2);
    entry(0xA005, 4, 56, 4);
    put(0, 4);
    put(1, 2); // Interop IFD at 56: four ASCII bytes, in the entry
    put(0x0001, 2);
    put(2, 2);
    put(4, 4);
    for (int i = 0; i < 4; ++i)
        b.push_back(uint8_t(i < 3 ? index[i] : 0));
    put(0, 4);
    EXPECT_EQ(b.size() - base, 74u);
    return b;
}

// Rewrites the ICC_PROFILE segments: edit may change a chunk's number and
// count, or return false to drop it.
Bytes editChunks(Bytes jpeg, const std::function<bool(int, uint8_t&, uint8_t&)>& edit) {
    Bytes out(jpeg.begin(), jpeg.begin() + 2);
    size_t at = 2;
    int index = 0;
    while (at + 4 <= jpeg.size() && jpeg[at] == 0xFF && jpeg[at + 1] != 0xDA) {
        const size_t length = size_t(jpeg[at + 2]) << 8 | jpeg[at + 3];
        Bytes segment(jpeg.begin() + long(at), jpeg.begin() + long(at + 2 + length));
        bool keep = true;
        if (segment[1] == 0xE2 && std::memcmp(segment.data() + 4, "ICC_PROFILE", 11) == 0)
            keep = edit(index++, segment[16], segment[17]);
        if (keep)
            out.insert(out.end(), segment.begin(), segment.end());
        at += 2 + length;
    }
    out.insert(out.end(), jpeg.begin() + long(at), jpeg.end());
    return out;
}

Bytes pngChunk(const char* type, const Bytes& body) {
    Bytes c;
    c.reserve(body.size() + 12);
    for (int shift : {24, 16, 8, 0})
        c.push_back(uint8_t(body.size() >> shift));
    for (int i = 0; i < 4; ++i)
        c.push_back(uint8_t(type[i]));
    c.insert(c.end(), body.begin(), body.end());
    const uLong crc = crc32(crc32(0, nullptr, 0), c.data() + 4, uInt(c.size() - 4));
    for (int shift : {24, 16, 8, 0})
        c.push_back(uint8_t(crc >> shift));
    return c;
}

Bytes be32s(std::initializer_list<uint32_t> values) {
    Bytes b;
    for (uint32_t v : values)
        for (int shift : {24, 16, 8, 0})
            b.push_back(uint8_t(v >> shift));
    return b;
}

Bytes iccpBody(const Bytes& content) {
    uLongf size = compressBound(uLong(content.size()));
    Bytes packed(size);
    compress(packed.data(), &size, content.data(), uLong(content.size()));
    Bytes body = {'i', 'c', 'c', 0, 0};
    body.insert(body.end(), packed.begin(), packed.begin() + long(size));
    return body;
}

// Replaces 4 bytes found after the first occurrence of marker.
Bytes patched(Bytes b, const Bytes& marker, size_t after, const Bytes& value) {
    const auto it = std::search(b.begin(), b.end(), marker.begin(), marker.end());
    if (it == b.end())
        throw std::runtime_error("sample lacks the field to damage");
    std::copy(value.begin(), value.end(), it + long(marker.size() + after));
    return b;
}

} // namespace kamelo::test::profiles
