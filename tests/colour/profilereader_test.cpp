#include "imaging/colour/iccprofile.h"
#include "imaging/colour/profilereader.h"
#include "imaging/core/filebytes.h"
#include "imaging/picturefile.h"
#include "imaging/pictureformat.h"
#include "tests/support/colourpictures.h"
#include "tests/support/metadatadump.h"
#include "tests/support/scratchdir.h"

#include <gtest/gtest.h>
#include <lcms2.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

using namespace kamelo::imaging;
using namespace kamelo::imaging::colour;
namespace fx = kamelo::testing::colour;
using kamelo::test::quoted;
using kamelo::test::ScratchDir;

namespace {

using Bytes = std::vector<uint8_t>;
using Origin = IccProfile::Origin;

// ---- Profiles -------------------------------------------------------------

Bytes saved(cmsHPROFILE p) {
    cmsUInt32Number size = 0;
    cmsSaveProfileToMem(p, nullptr, &size);
    Bytes bytes(size);
    cmsSaveProfileToMem(p, bytes.data(), &size);
    cmsCloseProfile(p);
    return bytes;
}

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

// ---- Samples written by code ----------------------------------------------

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

// ---- The scratch folder and the tools --------------------------------------

struct Lab {
    ScratchDir dir;

    std::string put(const std::string& name, const Bytes& bytes) {
        const std::string path = dir.file(name);
        fx::writeBytes(path, bytes);
        return path;
    }
    Bytes get(const std::string& name) {
        Bytes b;
        if (readWholeFile(dir.file(name), b) < 1)
            throw std::runtime_error("no " + name);
        return b;
    }
    // Runs a Debian tool in the folder; a missing tool fails the row.
    void run(const char* tool, const std::string& args) {
        if (!kamelo::test::haveTool(tool))
            throw std::runtime_error(std::string(tool) + " is not installed");
        const std::string cmd =
            "cd " + quoted(dir.path()) + " && " + tool + " " + args + " >/dev/null 2>&1";
        if (std::system(cmd.c_str()) != 0)
            throw std::runtime_error("failed: " + cmd);
    }
    // An 8x8 PNG of one colour with no colour chunks, and a P3-tagged one.
    std::string plainPng() {
        run("convert", "-size 8x8 xc:'#E03020' -define png:exclude-chunks=all PNG24:plain.png");
        return dir.file("plain.png");
    }
    std::string p3Png() {
        put("p3.icc", p3());
        plainPng();
        run("convert", "plain.png -profile p3.icc -define png:exclude-chunks=gAMA,cHRM,sRGB "
                       "PNG24:p3.png");
        return dir.file("p3.png");
    }
    // plain.png with chunks put after IHDR.
    std::string pngWith(const std::vector<Bytes>& chunks) {
        plainPng();
        Bytes png = get("plain.png");
        const size_t afterHeader = 8 + 12 + 13;
        Bytes extra;
        for (const Bytes& c : chunks)
            extra.insert(extra.end(), c.begin(), c.end());
        png.insert(png.begin() + long(afterHeader), extra.begin(), extra.end());
        return put("chunks.png", png);
    }
};

// ---- The table -------------------------------------------------------------

// A sample a Debian tool makes in the folder from the plain PNG, or from
// the P3-tagged one (p3.icc beside it).
std::function<std::string(Lab&)> byTool(bool tagged, const char* tool, std::string args,
                                        std::string out) {
    return [=](Lab& l) {
        tagged ? l.p3Png() : l.plainPng();
        l.run(tool, args);
        return l.dir.file(out);
    };
}

struct Want {
    enum class Kind { Srgb, Exact, Like } kind = Kind::Srgb;
    Bytes (*profile)() = nullptr; // Exact: these bytes; Like: converts as this does
    bool anyOrigin = false;
    Origin origin = Origin::Embedded;
};

Want srgb() {
    return {};
}
Want exact(Bytes (*profile)()) {
    return {Want::Kind::Exact, profile, false, Origin::Embedded};
}
Want like(Bytes (*profile)(), Origin origin) {
    return {Want::Kind::Like, profile, false, origin};
}
Want likeFromAnywhere(Bytes (*profile)()) {
    return {Want::Kind::Like, profile, true, Origin::Embedded};
}

struct Row {
    const char* name;
    std::function<std::string(Lab&)> make; // the sample's path
    Want want;
    int page = 0;
    bool decodes = true;
    // Only the scanner reads it: the format's detection does not know it.
    PictureFormat scanAs = PictureFormat::Unknown;
    bool stamp = false; // its EXIF thumbnail is read too
};

void expectProfile(const ProfilePtr& got, const Want& want, const char* where) {
    SCOPED_TRACE(where);
    if (want.kind == Want::Kind::Srgb) {
        // None, or one that converts nothing.
        EXPECT_TRUE(!got || got->isSrgb()) << "got " << got->description();
        return;
    }
    ASSERT_TRUE(got);
    if (!want.anyOrigin) {
        EXPECT_EQ(int(got->origin()), int(want.origin));
    }
    const Bytes reference = want.profile();
    if (want.kind == Want::Kind::Exact) {
        EXPECT_TRUE(got->bytes() == reference) << got->bytes().size() << " bytes";
        return;
    }
    for (uint32_t rgb : {0xFF0000u, 0x20C040u, 0x3050E0u, 0x808080u}) {
        EXPECT_TRUE(fx::near(fx::expectedSrgb(got->bytes(), rgb), fx::expectedSrgb(reference, rgb)))
            << std::hex << rgb << ": " << fx::expectedSrgb(got->bytes(), rgb) << " against "
            << fx::expectedSrgb(reference, rgb);
    }
}

Bytes p3Jpeg(const Bytes& icc) {
    return fx::solidJpeg(16, 16, 0xE03020, icc);
}

const IccProfile::Chromaticities kP3 = {0.3127, 0.3290, 0.680, 0.320, 0.265, 0.690, 0.150, 0.060};
const IccProfile::Chromaticities kProPhoto = {0.3457, 0.3585, 0.7347, 0.2653,
                                              0.1596, 0.8404, 0.0366, 0.0001};

Bytes chrm(const IccProfile::Chromaticities& c) {
    auto u = [](double v) { return uint32_t(v * 100000 + 0.5); };
    return be32s({u(c.whiteX), u(c.whiteY), u(c.redX), u(c.redY), u(c.greenX), u(c.greenY),
                  u(c.blueX), u(c.blueY)});
}

std::vector<Row> rows() {
    using L = Lab;
    std::vector<Row> r;
    // JPEG: APP2 chunks and the DCF rule.
    r.push_back({"JpegOneChunk", [](L& l) { return l.put("a.jpg", p3Jpeg(p3())); }, exact(p3)});
    r.push_back(
        {"JpegFourChunks", [](L& l) { return l.put("a.jpg", p3Jpeg(bigP3())); }, exact(bigP3)});
    // The thumbnail was made in the picture's colour space.
    Row stamp = {"JpegStampOfATaggedPicture",
                 [](L& l) {
                     l.put("thumb.jpg", fx::solidJpeg(8, 8, 0xE03020, {}));
                     l.put("a.jpg", p3Jpeg(p3()));
                     l.run("exiftool", "-q -overwrite_original '-ThumbnailImage<=thumb.jpg' a.jpg");
                     return l.dir.file("a.jpg");
                 },
                 exact(p3)};
    stamp.stamp = true;
    r.push_back(stamp);
    r.push_back({"JpegChunkMissing",
                 [](L& l) {
                     return l.put("a.jpg",
                                  editChunks(p3Jpeg(bigP3()),
                                             [](int i, uint8_t&, uint8_t&) { return i != 1; }));
                 },
                 srgb()});
    r.push_back({"JpegChunkTwice",
                 [](L& l) {
                     return l.put("a.jpg",
                                  editChunks(p3Jpeg(bigP3()), [](int i, uint8_t& seq, uint8_t&) {
                                      if (i == 1)
                                          seq = 1;
                                      return true;
                                  }));
                 },
                 srgb()});
    r.push_back({"JpegCountsDisagree",
                 [](L& l) {
                     return l.put("a.jpg",
                                  editChunks(p3Jpeg(bigP3()), [](int i, uint8_t&, uint8_t& count) {
                                      if (i == 2)
                                          count = 9;
                                      return true;
                                  }));
                 },
                 srgb()});
    r.push_back({"JpegChunkNumberedZero",
                 [](L& l) {
                     return l.put("a.jpg",
                                  editChunks(p3Jpeg(p3()), [](int, uint8_t& seq, uint8_t&) {
                                      seq = 0;
                                      return true;
                                  }));
                 },
                 srgb()});
    r.push_back({"JpegDcfByExiftool",
                 [](L& l) {
                     l.put("a.jpg", p3Jpeg({}));
                     l.run("exiftool",
                           "-q -overwrite_original -ColorSpace#=65535 -InteropIndex=R03 a.jpg");
                     return l.dir.file("a.jpg");
                 },
                 like(adobeRgb, Origin::DcfAdobeRgb)});
    r.push_back({"JpegDcfLittleEndian",
                 [](L& l) {
                     return l.put("a.jpg", fx::solidJpeg(16, 16, 0xE03020, {},
                                                         exifPayload(true, 0xFFFF, "R03")));
                 },
                 like(adobeRgb, Origin::DcfAdobeRgb)});
    r.push_back({"JpegDcfBigEndianR98",
                 [](L& l) {
                     return l.put("a.jpg", fx::solidJpeg(16, 16, 0xE03020, {},
                                                         exifPayload(false, 0xFFFF, "R98")));
                 },
                 srgb()});
    r.push_back({"JpegR03ButColourSpaceSrgb",
                 [](L& l) {
                     return l.put("a.jpg",
                                  fx::solidJpeg(16, 16, 0xE03020, {}, exifPayload(true, 1, "R03")));
                 },
                 srgb()});
    // A profile that cannot be put together is not replaced by a guess.
    r.push_back({"JpegDamagedProfileBesideDcf",
                 [](L& l) {
                     const Bytes jpeg =
                         fx::solidJpeg(16, 16, 0xE03020, bigP3(), exifPayload(true, 0xFFFF, "R03"));
                     return l.put("a.jpg", editChunks(jpeg, [](int i, uint8_t&, uint8_t&) {
                                      return i != 0;
                                  }));
                 },
                 srgb()});
    r.push_back({"JpegTruncatedProfile",
                 [](L& l) {
                     Bytes cut = p3();
                     cut.resize(300);
                     return l.put("a.jpg", p3Jpeg(cut));
                 },
                 srgb()});
    r.push_back({"JpegProfileClaimsMoreThanTheFile",
                 [](L& l) {
                     Bytes icc = p3();
                     icc[0] = 0x7F;
                     return l.put("a.jpg", p3Jpeg(icc));
                 },
                 srgb()});
    r.push_back({"JpegNonsenseProfile", [](L& l) { return l.put("a.jpg", p3Jpeg(noise(3000, 7))); },
                 srgb()});
    // PNG: iCCP, sRGB, gAMA and cHRM, cICP.
    r.push_back({"PngIccpByImageMagick", [](L& l) { return l.p3Png(); }, exact(p3)});
    r.push_back({"PngSrgbChunkWinsOverChrm",
                 [](L& l) {
                     return l.pngWith({pngChunk("sRGB", {0}), pngChunk("cHRM", chrm(kP3))});
                 },
                 srgb()});
    r.push_back({"PngChrmOfP3", [](L& l) { return l.pngWith({pngChunk("cHRM", chrm(kP3))}); },
                 like(p3, Origin::Described)});
    r.push_back({"PngGammaAndChrmOfProPhoto",
                 [](L& l) {
                     return l.pngWith(
                         {pngChunk("gAMA", be32s({55556})), pngChunk("cHRM", chrm(kProPhoto))});
                 },
                 like(proPhoto, Origin::Described)});
    r.push_back({"PngGammaOfSrgbAlone",
                 [](L& l) { return l.pngWith({pngChunk("gAMA", be32s({45455}))}); }, srgb()});
    r.push_back({"PngGammaAlone",
                 [](L& l) { return l.pngWith({pngChunk("gAMA", be32s({55556}))}); },
                 like(gamma18, Origin::Described)});
    r.push_back({"PngCicpOfP3",
                 [](L& l) {
                     return l.pngWith({pngChunk("cICP", {12, 13, 0, 1})});
                 },
                 likeFromAnywhere(p3)});
    r.push_back({"PngIccpOfNonsense",
                 [](L& l) { return l.pngWith({pngChunk("iCCP", iccpBody(noise(4000, 3)))}); },
                 srgb()});
    r.push_back({"PngIccpUnpackingToTwentyMegabytes",
                 [](L& l) {
                     Bytes huge = p3();
                     huge.resize(20 << 20);
                     return l.pngWith({pngChunk("iCCP", iccpBody(huge))});
                 },
                 srgb()});
    // TIFF, classic and BigTIFF, and the page read.
    r.push_back({"TiffByImageMagick", byTool(true, "convert", "p3.png a.tif", "a.tif"), exact(p3)});
    r.push_back({"BigTiffByImageMagick", byTool(true, "convert", "p3.png TIFF64:a.tif", "a.tif"),
                 exact(p3), 0, false, PictureFormat::Tiff});
    for (int page : {0, 1})
        r.push_back({page == 0 ? "TiffUntaggedFirstPage" : "TiffTaggedSecondPage",
                     [](L& l) {
                         l.p3Png();
                         l.run("convert", "plain.png p3.png -adjoin a.tif");
                         return l.dir.file("a.tif");
                     },
                     page == 0 ? srgb() : exact(p3), page});
    r.push_back({"TiffProfileBeyondTheFile",
                 [](L& l) {
                     l.p3Png();
                     l.run("convert", "p3.png a.tif");
                     return l.put("a.tif", patched(l.get("a.tif"), {0x73, 0x87, 0x07, 0x00}, 0,
                                                   {0x00, 0x00, 0x00, 0x10}));
                 },
                 srgb()});
    // PSD resource 1039, WebP ICCP.
    r.push_back({"PsdByImageMagick", byTool(true, "convert", "p3.png a.psd", "a.psd"), exact(p3)});
    r.push_back({"PsdResourceBeyondItsSection",
                 [](L& l) {
                     l.p3Png();
                     l.run("convert", "p3.png a.psd");
                     return l.put("a.psd", patched(l.get("a.psd"), {'8', 'B', 'I', 'M', 0x04, 0x0F},
                                                   2, {0x00, 0x10, 0x00, 0x00}));
                 },
                 srgb()});
    r.push_back({"WebpByCwebp",
                 byTool(true, "cwebp", "-quiet -metadata icc p3.png -o a.webp", "a.webp"),
                 exact(p3)});
    r.push_back({"WebpChunkBeyondTheContainer",
                 [](L& l) {
                     l.p3Png();
                     l.run("cwebp", "-quiet -metadata icc p3.png -o a.webp");
                     return l.put("a.webp", patched(l.get("a.webp"), {'I', 'C', 'C', 'P'}, 0,
                                                    {0xF0, 0xFF, 0xFF, 0x0F}));
                 },
                 srgb(), 0, false});
    // HEIF, AVIF and JPEG XL: their decoders say it.
    Row heic = {"HeicFromTaggedPng",
                [](L& l) {
                    l.p3Png();
                    l.run("heif-enc", "-q 90 -t 4 p3.png -o a.heic");
                    return l.dir.file("a.heic");
                },
                exact(p3)};
    heic.stamp = true;
    r.push_back(heic);
    r.push_back({"AvifWithIcc",
                 byTool(true, "avifenc", "-s 10 --icc p3.icc plain.png a.avif", "a.avif"),
                 exact(p3)});
    r.push_back({"AvifNclxOfP3",
                 byTool(false, "avifenc", "-s 10 --cicp 12/13/1 plain.png a.avif", "a.avif"),
                 likeFromAnywhere(p3)});
    r.push_back({"AvifNclxOfSrgb",
                 byTool(false, "avifenc", "-s 10 --cicp 1/13/1 plain.png a.avif", "a.avif"),
                 srgb()});
    r.push_back({"JxlLosslessFromTaggedPng", byTool(true, "cjxl", "p3.png a.jxl -d 0", "a.jxl"),
                 likeFromAnywhere(p3)});
    // libjxl gives a lossy picture's pixels in sRGB.
    r.push_back(
        {"JxlLossyFromTaggedPng", byTool(true, "cjxl", "p3.png a.jxl -d 1", "a.jxl"), srgb()});
    return r;
}

bool scannable(PictureFormat format) {
    return format == PictureFormat::Jpeg || format == PictureFormat::Png ||
           format == PictureFormat::Tiff || format == PictureFormat::Psd ||
           format == PictureFormat::WebP;
}

void PrintTo(const Row& row, std::ostream* os) {
    *os << row.name;
}

class ProfileReading : public testing::TestWithParam<Row> {};

// The scanner over the bytes, the reader without decoding and the decoded
// bitmap (and every band of it) agree on the picture's colour space.
TEST_P(ProfileReading, EveryPathFindsTheSameColourSpace) {
    const Row& row = GetParam();
    Lab lab;
    std::string path;
    try {
        path = row.make(lab);
    } catch (const std::exception& e) {
        FAIL() << "cannot make the sample: " << e.what();
    }
    Bytes bytes;
    ASSERT_GE(readWholeFile(path, bytes), 1);
    const PictureFormat format = row.scanAs != PictureFormat::Unknown
                                     ? row.scanAs
                                     : detectFormat(bytes.data(), bytes.size(), extensionOf(path));
    const ProfilePtr scanned = readEmbeddedProfile(bytes.data(), bytes.size(), format, row.page);
    if (scannable(format))
        expectProfile(scanned, row.want, "scanned");
    else
        EXPECT_FALSE(scanned) << "decoders of this format report their own";

    if (row.scanAs != PictureFormat::Unknown)
        return;
    if (row.page == 0) {
        ProfilePtr read;
        EXPECT_GE(PictureFile::readProfile(path, read), 1);
        expectProfile(read, row.want, "readProfile");
    }
    if (row.stamp) {
        Bitmap stamp;
        ASSERT_GE(PictureFile::readStamp(path, stamp), 1);
        expectProfile(stamp.colourProfile(), row.want, "stamp");
    }
    if (!row.decodes)
        return;
    Bitmap bitmap;
    LoadOptions options;
    options.page = row.page;
    options.bandRows = 4;
    int bands = 0, bandsWithProfile = 0;
    options.onRows = [&](const Bitmap& b, int, int, int) {
        ++bands;
        bandsWithProfile += b.colourProfile() ? 1 : 0;
        return 1;
    };
    ASSERT_GE(PictureFile::load(path, bitmap, options), 1);
    expectProfile(bitmap.colourProfile(), row.want, "decoded");
    EXPECT_EQ(bandsWithProfile, bitmap.colourProfile() ? bands : 0);
}

// Any cut of the file gives the whole profile or none, never a piece.
TEST_P(ProfileReading, EveryCutOfTheFileIsSafe) {
    const Row& row = GetParam();
    Lab lab;
    std::string path;
    try {
        path = row.make(lab);
    } catch (const std::exception& e) {
        FAIL() << "cannot make the sample: " << e.what();
    }
    Bytes bytes;
    ASSERT_GE(readWholeFile(path, bytes), 1);
    const PictureFormat format = row.scanAs != PictureFormat::Unknown
                                     ? row.scanAs
                                     : detectFormat(bytes.data(), bytes.size(), extensionOf(path));
    if (!scannable(format))
        return;
    const ProfilePtr whole = readEmbeddedProfile(bytes.data(), bytes.size(), format, row.page);
    const size_t step = std::max<size_t>(1, bytes.size() / 400);
    for (size_t cut = 0; cut < bytes.size(); cut += step) {
        const Bytes head(bytes.begin(), bytes.begin() + long(cut));
        const ProfilePtr got = readEmbeddedProfile(head.data(), head.size(), format, row.page);
        if (got && got->origin() == Origin::Embedded) {
            ASSERT_TRUE(whole) << "at " << cut;
            EXPECT_TRUE(got->bytes() == whole->bytes()) << "at " << cut;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Files, ProfileReading, testing::ValuesIn(rows()),
                         [](const testing::TestParamInfo<Row>& info) {
                             return std::string(info.param.name);
                         });

} // namespace

TEST(ProfileReading, ASparesMemoryDoesNotBringItsPicturesProfile) {
    const Bytes p3 = fx::solidJpeg(64, 48, 0xFF0000, fx::p3Profile());
    const Bytes plain = fx::solidJpeg(64, 48, 0xFF0000, {});
    for (const bool bands : {false, true}) {
        Bitmap spare;
        ASSERT_EQ(PictureFile::load(p3.data(), p3.size(), "a.jpg", spare), 1);
        ASSERT_TRUE(spare.colourProfile());
        LoadOptions options;
        options.reuse = &spare;
        bool bandTagged = false;
        if (bands)
            options.onRows = [&](const Bitmap& b, int, int, int) {
                bandTagged |= bool(b.colourProfile());
                return 1;
            };
        Bitmap out;
        ASSERT_EQ(PictureFile::load(plain.data(), plain.size(), "b.jpg", out, options), 1);
        EXPECT_FALSE(out.colourProfile()) << bands;
        EXPECT_FALSE(bandTagged);
    }
}
