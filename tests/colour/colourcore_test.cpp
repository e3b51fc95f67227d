#include "imaging/bitmap.h"
#include "imaging/colour/colourtransform.h"
#include "imaging/colour/displaycolour.h"
#include "imaging/colour/iccprofile.h"
#include "tests/support/colourpictures.h"

#include <gtest/gtest.h>
#include <lcms2.h>

#include <functional>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

using namespace kamelo::imaging;
using namespace kamelo::imaging::colour;
namespace fx = kamelo::testing::colour;

namespace {

using Bytes = std::vector<uint8_t>;

Bytes saved(cmsHPROFILE p) {
    cmsUInt32Number size = 0;
    cmsSaveProfileToMem(p, nullptr, &size);
    Bytes bytes(size);
    cmsSaveProfileToMem(p, bytes.data(), &size);
    cmsCloseProfile(p);
    return bytes;
}

Bytes renamedSrgb() {
    cmsHPROFILE p = cmsCreate_sRGBProfile();
    cmsMLU* mlu = cmsMLUalloc(nullptr, 1);
    cmsMLUsetASCII(mlu, "en", "US", "Some camera's sRGB");
    cmsWriteTag(p, cmsSigProfileDescriptionTag, mlu);
    cmsMLUfree(mlu);
    return saved(p);
}

Bytes greyProfile() {
    cmsToneCurve* g = cmsBuildGamma(nullptr, 2.2);
    cmsHPROFILE p = cmsCreateGrayProfile(cmsD50_xyY(), g);
    cmsFreeToneCurve(g);
    return saved(p);
}

int sampleThrough(const cmsUInt16Number in[], cmsUInt16Number out[], void* transform) {
    cmsDoTransform(transform, in, out, 1);
    return 1;
}

// Display P3 sampled into a 17x17x17 table to Lab: a profile that lcms2
// reads through its table, not a matrix.
Bytes lutProfile() {
    const Bytes p3 = fx::p3Profile();
    cmsHPROFILE from = cmsOpenProfileFromMem(p3.data(), cmsUInt32Number(p3.size()));
    cmsHPROFILE lab = cmsCreateLab4Profile(nullptr);
    cmsHTRANSFORM t = cmsCreateTransform(from, TYPE_RGB_16, lab, TYPE_Lab_16,
                                         INTENT_RELATIVE_COLORIMETRIC, cmsFLAGS_NOOPTIMIZE);
    cmsHPROFILE p = cmsCreateProfilePlaceholder(nullptr);
    cmsSetProfileVersion(p, 4.3);
    cmsSetDeviceClass(p, cmsSigInputClass);
    cmsSetColorSpace(p, cmsSigRgbData);
    cmsSetPCS(p, cmsSigLabData);
    cmsPipeline* pipe = cmsPipelineAlloc(nullptr, 3, 3);
    cmsStage* clut = cmsStageAllocCLut16bit(nullptr, 17, 3, 3, nullptr);
    cmsStageSampleCLut16bit(clut, sampleThrough, t, 0);
    // Stored as curves, table, curves: the shape an AToB tag needs.
    cmsPipelineInsertStage(pipe, cmsAT_END, cmsStageAllocToneCurves(nullptr, 3, nullptr));
    cmsPipelineInsertStage(pipe, cmsAT_END, clut);
    cmsPipelineInsertStage(pipe, cmsAT_END, cmsStageAllocToneCurves(nullptr, 3, nullptr));
    cmsWriteTag(p, cmsSigAToB0Tag, pipe);
    cmsWriteTag(p, cmsSigMediaWhitePointTag, cmsD50_XYZ());
    cmsPipelineFree(pipe);
    cmsDeleteTransform(t);
    cmsCloseProfile(lab);
    cmsCloseProfile(from);
    return saved(p);
}

// sRGB's primaries with a falling curve (a negative): no quicker path
// applies, so lcms2 itself converts.
Bytes fallingProfile() {
    std::vector<cmsUInt16Number> table(256);
    for (size_t i = 0; i < table.size(); ++i)
        table[i] = cmsUInt16Number(65535 - i * 257);
    cmsToneCurve* curve = cmsBuildTabulatedToneCurve16(nullptr, 256, table.data());
    cmsToneCurve* curves[3] = {curve, curve, curve};
    const cmsCIExyYTRIPLE primaries = {{0.64, 0.33, 1}, {0.30, 0.60, 1}, {0.15, 0.06, 1}};
    cmsHPROFILE p = cmsCreateRGBProfile(cmsD50_xyY(), &primaries, curves);
    cmsFreeToneCurve(curve);
    return saved(p);
}

// What lcms2 makes of a grey level through a grey profile into sRGB.
uint32_t greyExpected(const Bytes& grey, uint8_t level) {
    cmsHPROFILE in = cmsOpenProfileFromMem(grey.data(), cmsUInt32Number(grey.size()));
    cmsHPROFILE out = cmsCreate_sRGBProfile();
    cmsHTRANSFORM t = cmsCreateTransform(in, TYPE_GRAY_8, out, TYPE_RGB_8, INTENT_PERCEPTUAL,
                                         cmsFLAGS_NOOPTIMIZE);
    uint8_t rgb[3] = {};
    cmsDoTransform(t, &level, rgb, 1);
    cmsDeleteTransform(t);
    cmsCloseProfile(in);
    cmsCloseProfile(out);
    return uint32_t(rgb[0]) << 16 | uint32_t(rgb[1]) << 8 | rgb[2];
}

// Pictures of one colour in each layout the transforms take, converted and
// read back at a few places (the size makes Bitmap bands run on all cores).
enum class Target { Bitmap, BitmapBands, Rgb32, Argb32, Rgb888, Bgr888, Premultiplied };
constexpr int kW = 512, kH = 300;
constexpr uint8_t kAlpha = 0x80;

std::vector<uint32_t> convert(const ColourTransform& t, Target target, uint32_t rgb) {
    std::vector<uint32_t> out;
    const QPoint points[] = {{0, 0}, {kW - 1, kH / 2}, {kW / 3, kH - 1}};
    if (target == Target::Bitmap || target == Target::BitmapBands) {
        Bitmap b;
        b.create(kW, kH, rgb);
        if (target == Target::Bitmap)
            t.apply(b);
        else
            for (int y = 0; y < kH; y += 64)
                t.applyRows(b, y, 64);
        for (QPoint p : points)
            out.push_back(b.pixel(p.x(), p.y()));
        return out;
    }
    const QImage::Format formats[] = {QImage::Format_RGB32, QImage::Format_ARGB32,
                                      QImage::Format_RGB888, QImage::Format_BGR888,
                                      QImage::Format_ARGB32_Premultiplied};
    const bool alpha = target == Target::Argb32 || target == Target::Premultiplied;
    QImage image(kW, kH, formats[int(target) - 2]);
    image.fill(QColor::fromRgba(
        qRgba(int(rgb >> 16), int(rgb >> 8 & 0xFF), int(rgb & 0xFF), alpha ? kAlpha : 0xFF)));
    t.apply(image);
    for (QPoint p : points) {
        const QRgb c = image.pixel(p);
        out.push_back(c & 0xFFFFFF);
        if (alpha) {
            EXPECT_EQ(qAlpha(c), kAlpha);
        }
    }
    return out;
}

struct ConversionRow {
    const char* name;
    Bytes (*profile)();
    uint32_t rgb;
    Intent intent;
    Target target;
};
void PrintTo(const ConversionRow& row, std::ostream* os) {
    *os << row.name;
}

class Conversion : public testing::TestWithParam<ConversionRow> {};

TEST_P(Conversion, MatchesLcms) {
    const ConversionRow& row = GetParam();
    const Bytes bytes = row.profile();
    const TransformPtr t =
        ColourTransform::between(IccProfile::fromBytes(bytes), nullptr, row.intent);
    ASSERT_TRUE(t);
    const uint32_t expected = fx::expectedSrgb(bytes, row.rgb, int(row.intent));
    for (uint32_t got : convert(*t, row.target, row.rgb))
        EXPECT_TRUE(fx::near(got, expected)) << std::hex << got << " vs " << expected;
}

INSTANTIATE_TEST_SUITE_P(
    Pictures, Conversion,
    testing::Values(
        ConversionRow{"P3Red", fx::p3Profile, 0xFF0000, Intent::Perceptual, Target::Bitmap},
        ConversionRow{"P3Skin", fx::p3Profile, 0xD89A7C, Intent::RelativeColorimetric,
                      Target::BitmapBands},
        ConversionRow{"P3Green", fx::p3Profile, 0x20E040, Intent::Perceptual, Target::Rgb32},
        ConversionRow{"AdobeGreen", fx::adobeRgbProfile, 0x00FF00, Intent::Perceptual,
                      Target::Argb32},
        ConversionRow{"AdobeGrey", fx::adobeRgbProfile, 0x606060, Intent::Perceptual,
                      Target::Rgb888},
        ConversionRow{"ProPhotoBlue", fx::proPhotoProfile, 0x3050C0, Intent::RelativeColorimetric,
                      Target::Bgr888},
        ConversionRow{"ProPhotoDark", fx::proPhotoProfile, 0x101820, Intent::Perceptual,
                      Target::Premultiplied},
        ConversionRow{"TableRed", lutProfile, 0xF02010, Intent::Perceptual, Target::Bitmap},
        ConversionRow{"TableCyan", lutProfile, 0x30C0D0, Intent::Perceptual, Target::Argb32},
        ConversionRow{"TableSkin", lutProfile, 0xD89A7C, Intent::RelativeColorimetric,
                      Target::Rgb888},
        ConversionRow{"NegativeBlue", fallingProfile, 0x4060D0, Intent::Perceptual, Target::Bitmap},
        ConversionRow{"NegativeGreen", fallingProfile, 0x40C060, Intent::RelativeColorimetric,
                      Target::Argb32},
        ConversionRow{"ProPhotoOrange", fx::proPhotoProfile, 0xC08040, Intent::RelativeColorimetric,
                      Target::Bitmap}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ColourTransform, GreyProfilesConvertTheirNeutrals) {
    const Bytes grey = greyProfile();
    const ProfilePtr p = IccProfile::fromBytes(grey);
    ASSERT_TRUE(p && p->isGrey());
    const TransformPtr t = ColourTransform::between(p, nullptr, Intent::Perceptual);
    ASSERT_TRUE(t);
    for (uint8_t level : {0x20, 0x80, 0xE0}) {
        const uint32_t rgb = level * 0x010101u;
        for (uint32_t got : convert(*t, Target::Bitmap, rgb))
            EXPECT_TRUE(fx::near(got, greyExpected(grey, level))) << std::hex << got;
    }
}

TEST(ColourTransform, ServesSeveralThreadsAtOnce) {
    const ProfilePtr p3 = IccProfile::fromBytes(fx::p3Profile());
    const ProfilePtr table = IccProfile::fromBytes(lutProfile());
    const uint32_t colour = 0xE03020;
    std::vector<uint32_t> got(8);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < got.size(); ++i)
        threads.emplace_back([&, i] {
            const TransformPtr t =
                ColourTransform::between(i % 2 ? table : p3, nullptr, Intent::Perceptual);
            got[i] = t ? convert(*t, i % 4 < 2 ? Target::Bitmap : Target::Argb32, colour)[1] : 0;
        });
    for (std::thread& t : threads)
        t.join();
    for (size_t i = 0; i < got.size(); ++i)
        EXPECT_EQ(got[i], got[i % 2]) << i;
    EXPECT_TRUE(fx::near(got[0], fx::expectedSrgb(fx::p3Profile(), colour)));
}

struct NullRow {
    const char* name;
    std::function<ProfilePtr()> from, to;
};
void PrintTo(const NullRow& row, std::ostream* os) {
    *os << row.name;
}

class NoTransform : public testing::TestWithParam<NullRow> {};

TEST_P(NoTransform, IsNull) {
    EXPECT_FALSE(ColourTransform::between(GetParam().from(), GetParam().to(), Intent::Perceptual));
}

INSTANTIATE_TEST_SUITE_P(
    Profiles, NoTransform,
    testing::Values(NullRow{"SrgbToSrgb", IccProfile::srgb, IccProfile::srgb},
                    NullRow{"UntaggedToSrgb", [] { return ProfilePtr(); }, IccProfile::srgb},
                    NullRow{"RenamedSrgb", [] { return IccProfile::fromBytes(renamedSrgb()); },
                            [] { return ProfilePtr(); }},
                    NullRow{"LcmsSrgb", [] { return IccProfile::fromBytes(fx::srgbProfile()); },
                            IccProfile::srgb},
                    NullRow{"SameP3", [] { return IccProfile::fromBytes(fx::p3Profile()); },
                            [] { return IccProfile::fromBytes(fx::p3Profile()); }}),
    [](const auto& info) { return std::string(info.param.name); });

struct RefusalRow {
    const char* name;
    std::function<Bytes()> bytes;
};
void PrintTo(const RefusalRow& row, std::ostream* os) {
    *os << row.name;
}

class Refused : public testing::TestWithParam<RefusalRow> {};

TEST_P(Refused, IsNull) {
    EXPECT_FALSE(IccProfile::fromBytes(GetParam().bytes()));
}

INSTANTIATE_TEST_SUITE_P(
    Profiles, Refused,
    testing::Values(RefusalRow{"Empty", [] { return Bytes(); }},
                    RefusalRow{"TruncatedHeader",
                               [] {
                                   Bytes b = fx::p3Profile();
                                   b.resize(100);
                                   return b;
                               }},
                    RefusalRow{"TruncatedTags",
                               [] {
                                   Bytes b = fx::p3Profile();
                                   b.resize(b.size() / 2);
                                   return b;
                               }},
                    RefusalRow{"Nonsense",
                               [] {
                                   Bytes b(4000);
                                   for (size_t i = 0; i < b.size(); ++i)
                                       b[i] = uint8_t(i * 7919 >> 3);
                                   return b;
                               }},
                    RefusalRow{"Lab", [] { return saved(cmsCreateLab4Profile(nullptr)); }},
                    RefusalRow{
                        "Cmyk",
                        [] { return saved(cmsCreateInkLimitingDeviceLink(cmsSigCmykData, 250)); }},
                    RefusalRow{"Oversize",
                               [] {
                                   Bytes b = fx::p3Profile();
                                   b.resize(IccProfile::kMaxBytes + 1);
                                   return b;
                               }}),
    [](const auto& info) { return std::string(info.param.name); });

struct CicpRow {
    int primaries, transfer;
    enum { Null, Srgb, Other } expect;
    const char* description;
};
void PrintTo(const CicpRow& row, std::ostream* os) {
    *os << row.primaries << "/" << row.transfer;
}

class Cicp : public testing::TestWithParam<CicpRow> {};

TEST_P(Cicp, MakesProfile) {
    const CicpRow& row = GetParam();
    const ProfilePtr p = IccProfile::fromCicp(row.primaries, row.transfer);
    EXPECT_EQ(bool(p), row.expect != CicpRow::Null);
    if (!p)
        return;
    EXPECT_EQ(p->isSrgb(), row.expect == CicpRow::Srgb);
    EXPECT_EQ(p->description(), row.description);
    EXPECT_EQ(IccProfile::fromCicp(row.primaries, row.transfer), p); // made once
}

INSTANTIATE_TEST_SUITE_P(
    CodePoints, Cicp,
    testing::Values(CicpRow{1, 13, CicpRow::Srgb, "sRGB"}, CicpRow{1, 2, CicpRow::Srgb, "sRGB"},
                    CicpRow{12, 13, CicpRow::Other, "Display P3"},
                    CicpRow{1, 1, CicpRow::Other, "BT.709, BT.709 curve"},
                    CicpRow{9, 16, CicpRow::Other, "BT.2020, PQ"},
                    CicpRow{9, 18, CicpRow::Other, "BT.2020, HLG"},
                    CicpRow{11, 13, CicpRow::Other, "DCI-P3, sRGB curve"},
                    CicpRow{6, 6, CicpRow::Other, "BT.601 (525), BT.709 curve"},
                    CicpRow{5, 8, CicpRow::Other, "BT.601 (625), linear"},
                    CicpRow{1, 4, CicpRow::Other, "BT.709, gamma"},
                    CicpRow{2, 13, CicpRow::Null, ""}, CicpRow{9, 2, CicpRow::Null, ""},
                    CicpRow{1, 99, CicpRow::Null, ""}));

TEST(IccProfile, DisplayP3FromCicpConvertsAsTheFixtures) {
    const TransformPtr t =
        ColourTransform::between(IccProfile::fromCicp(12, 13), nullptr, Intent::Perceptual);
    ASSERT_TRUE(t);
    EXPECT_TRUE(fx::near(convert(*t, Target::Bitmap, 0xFF0000)[0],
                         fx::expectedSrgb(fx::p3Profile(), 0xFF0000)));
}

TEST(IccProfile, KeysFollowTheBytes) {
    EXPECT_EQ(IccProfile::fromBytes(fx::p3Profile())->key(),
              IccProfile::fromBytes(fx::p3Profile())->key());
    EXPECT_NE(IccProfile::fromBytes(fx::p3Profile())->key(), IccProfile::displayP3()->key());
    EXPECT_EQ(IccProfile::fromBytes(fx::p3Profile())->description(), "Test Display P3");
    for (const ProfilePtr& p :
         {IccProfile::adobeRgb(), IccProfile::displayP3(), IccProfile::proPhoto()})
        EXPECT_TRUE(p && !p->isSrgb() && p->origin() == IccProfile::Origin::Builtin);
}

// Display state: each row changes one thing from the start-up state and
// says whether a P3 picture and an sRGB one then need a transform.
struct DisplayRow {
    const char* name;
    std::function<void()> change;
    bool p3Converted, srgbConverted;
};
void PrintTo(const DisplayRow& row, std::ostream* os) {
    *os << row.name;
}

class Display : public testing::TestWithParam<DisplayRow> {
protected:
    void SetUp() override { DisplayColour::reset(); }
    void TearDown() override { DisplayColour::reset(); }
};

TEST_P(Display, Transforms) {
    const uint64_t before = DisplayColour::generation();
    GetParam().change();
    const ProfilePtr p3 = IccProfile::fromBytes(fx::p3Profile());
    EXPECT_EQ(bool(DisplayColour::toScreen(p3, 0)), GetParam().p3Converted);
    EXPECT_EQ(bool(DisplayColour::toScreen(nullptr, 0)), GetParam().srgbConverted);
    EXPECT_EQ(bool(DisplayColour::srgbToScreen(0)), GetParam().srgbConverted);
    EXPECT_EQ(bool(DisplayColour::toSrgb(p3)), DisplayColour::enabled());
    EXPECT_GE(DisplayColour::generation(), before);
}

INSTANTIATE_TEST_SUITE_P(
    States, Display,
    testing::Values(
        DisplayRow{"StartUp", [] {}, true, false},
        DisplayRow{"Off", [] { DisplayColour::setEnabled(false); }, false, false},
        DisplayRow{"P3Screen", [] { DisplayColour::setScreenProfile(0, fx::p3Profile()); }, false,
                   true},
        DisplayRow{"AdobeScreen", [] { DisplayColour::setScreenProfile(0, fx::adobeRgbProfile()); },
                   true, true},
        DisplayRow{"OtherScreen", [] { DisplayColour::setScreenProfile(1, fx::adobeRgbProfile()); },
                   true, false},
        DisplayRow{"RefusedScreen", [] { DisplayColour::setScreenProfile(0, Bytes(300, 7)); }, true,
                   false},
        DisplayRow{"OffWithScreen",
                   [] {
                       DisplayColour::setScreenProfile(0, fx::adobeRgbProfile());
                       DisplayColour::setEnabled(false);
                   },
                   false, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DisplayColourState, GenerationBumpsOnEveryChangeOnly) {
    DisplayColour::reset();
    uint64_t g = DisplayColour::generation();
    const auto bumped = [&g] {
        const uint64_t now = DisplayColour::generation();
        const bool changed = now != g;
        g = now;
        return changed;
    };
    EXPECT_TRUE(DisplayColour::setScreenProfile(0, fx::adobeRgbProfile()));
    EXPECT_TRUE(bumped());
    EXPECT_FALSE(DisplayColour::setScreenProfile(0, fx::adobeRgbProfile()));
    EXPECT_FALSE(bumped());
    DisplayColour::setIntent(Intent::RelativeColorimetric);
    EXPECT_TRUE(bumped());
    DisplayColour::setEnabled(true);
    EXPECT_FALSE(bumped());
    EXPECT_FALSE(DisplayColour::setScreenProfile(99, fx::adobeRgbProfile()));
    EXPECT_TRUE(DisplayColour::screenProfile(0));
    DisplayColour::reset();
    EXPECT_TRUE(bumped());
    EXPECT_FALSE(DisplayColour::screenProfile(0));
    EXPECT_EQ(DisplayColour::intent(), Intent::Perceptual);
}

} // namespace
