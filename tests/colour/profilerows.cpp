#include "tests/colour/profilerows.h"

#include "tests/support/colourpictures.h"

using namespace kamelo::imaging;
using namespace kamelo::imaging::colour;
namespace fx = kamelo::testing::colour;

namespace kamelo::test::profiles {

namespace {

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

} // namespace

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

void PrintTo(const Row& row, std::ostream* os) {
    *os << row.name;
}

} // namespace kamelo::test::profiles
