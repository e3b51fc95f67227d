#include "heifsamples.h"

#include "imaging/modern/heifboxes.h"
#include "imaging/modern/heifcodec.h"
#include "imaging/orientation.h"
#include "imaging/picturefile.h"
#include "imaging/result.h"
#include "tests/support/scratchdir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>

using namespace kamelo::imaging;
namespace hs = kamelo::test::heif;

namespace {

// Files with rotation and mirror properties written by avifenc, checked
// against libheif's own rendering of them (heif-convert applies the
// properties): our stored pixels turned by the reported orientation must be
// the same picture.
struct Turned {
    int irot, imir; // -1: property absent
    int orientation;
    const char* crop = ""; // avifenc's x,y,width,height of a clean aperture
};
const Turned kTurned[] = {
    {-1, -1, 1},
    {1, -1, 8},
    {2, -1, 3},
    {3, -1, 6},
    {-1, 0, 4},
    {-1, 1, 2},
    {1, 0, 5},
    {1, 1, 7},
    {3, 0, 7},
    {3, 1, 5},
    {-1, -1, 1, "10,20,64,50"},
    {1, 0, 5, "7,9,99,91"},
};

TEST(HeifOrientation, RotationAndMirrorPropertiesGiveTheOrientationLibheifShows) {
    ASSERT_EQ(hs::samples().error, "");
    kamelo::test::ScratchDir scratch;
    for (const Turned& t : kTurned) {
        const std::string name =
            "r" + std::to_string(t.irot) + "m" + std::to_string(t.imir) + (*t.crop ? "c" : "");
        SCOPED_TRACE(name);
        const std::string avif = scratch.file(name + ".avif");
        const std::string shown = scratch.file(name + ".png");
        std::string error;
        std::string args;
        if (t.irot >= 0)
            args += " --irot " + std::to_string(t.irot);
        if (t.imir >= 0)
            args += " --imir " + std::to_string(t.imir);
        if (*t.crop)
            args += std::string(" --crop ") + t.crop;
        ASSERT_TRUE(hs::run("avifenc -l" + args + " " + hs::quote(hs::samples().picture) + " " +
                                hs::quote(avif),
                            error))
            << error;
        ASSERT_TRUE(hs::run("heif-convert " + hs::quote(avif) + " " + hs::quote(shown), error))
            << error;
        EXPECT_EQ(heifcodec::readOrientation(avif), t.orientation);
        EXPECT_EQ(Orientation::read(avif), t.orientation);

        Bitmap ours, theirs;
        ASSERT_EQ(PictureFile::load(avif, ours), result::kSuccess);
        ASSERT_EQ(Orientation::makeUpright(ours, heifcodec::readOrientation(avif)),
                  result::kSuccess);
        ASSERT_EQ(PictureFile::load(shown, theirs), result::kSuccess);
        ASSERT_EQ(ours.width(), theirs.width());
        ASSERT_EQ(ours.height(), theirs.height());
        for (int y = 0; y < ours.height(); y += 9)
            for (int x = 0; x < ours.width(); x += 9)
                ASSERT_EQ(ours.pixel(x, y), theirs.pixel(x, y)) << x << "," << y;
    }
}

TEST(HeifOrientation, ExifOrientationIsNotTheFilesTurn) {
    // HEIF readers turn pictures by their properties only; an EXIF value
    // beside them describes the sensor's pixels, not the file's.
    ASSERT_EQ(hs::samples().error, "");
    EXPECT_EQ(heifcodec::readOrientation(hs::samples().heicExif), 1);
}

// --- Boxes written here, for what encoders do not write.

std::string be(uint32_t v, int bytes) {
    std::string s;
    for (int i = bytes - 1; i >= 0; --i)
        s += char(v >> (8 * i));
    return s;
}
std::string box(const char* type, const std::string& payload) {
    return be(uint32_t(8 + payload.size()), 4) + type + payload;
}
std::string fullBox(const char* type, int version, uint32_t flags, const std::string& payload) {
    return box(type, be(uint32_t(version) << 24 | flags, 4) + payload);
}
const std::string kFtyp = box("ftyp", std::string("heic") + be(0, 4) + "mif1heic");
const std::string kHdlr = fullBox("hdlr", 0, 0, be(0, 4) + "pict" + std::string(13, '\0'));
// Properties 1..4: ispe, irot 90° anticlockwise, imir axis 0, irot 180°.
const std::string kIpco =
    box("ipco", fullBox("ispe", 0, 0, be(64, 4) + be(48, 4)) + box("irot", std::string(1, 1)) +
                    box("imir", std::string(1, 0)) + box("irot", std::string(1, 2)));

std::string ipma(int version, uint32_t flags, uint32_t item, std::initializer_list<int> props,
                 uint32_t entries = 1) {
    std::string entry = be(item, version >= 1 ? 4 : 2) + char(props.size());
    for (int p : props)
        entry += (flags & 1) ? be(uint32_t(p), 2) : std::string(1, char(p));
    return fullBox("ipma", version, flags, be(entries, 4) + entry);
}
std::string meta(const std::string& pitm, const std::string& ipmaBox) {
    return fullBox("meta", 0, 0, kHdlr + pitm + box("iprp", kIpco + ipmaBox));
}
std::string pitm(uint32_t id, int version = 0) {
    return fullBox("pitm", version, 0, be(id, version ? 4 : 2));
}

struct Built {
    const char* name;
    std::string file;
    int orientation;
};

TEST(HeifOrientation, BoxesAreReadInAssociationOrderAndWithinBounds) {
    const std::string usual = meta(pitm(1), ipma(0, 0, 1, {1, 2, 3}));
    const Built rows[] = {
        {"rotate then mirror", kFtyp + usual, 5},
        {"mirror then rotate", kFtyp + meta(pitm(1), ipma(0, 0, 1, {1, 3, 2})), 7},
        {"32-bit ids, wide indices", kFtyp + meta(pitm(7, 1), ipma(1, 1, 7, {1, 0x8000 | 4})), 3},
        {"another item's properties", kFtyp + meta(pitm(2), ipma(0, 0, 1, {2, 3})), 1},
        {"index past the properties", kFtyp + meta(pitm(1), ipma(0, 0, 1, {9, 4})), 3},
        {"entry count beyond the box", kFtyp + meta(pitm(1), ipma(0, 0, 1, {4}, 0xFFFFFFFF)), 3},
        {"meta without version",
         kFtyp + box("meta", kHdlr + pitm(1) + box("iprp", kIpco + ipma(0, 0, 1, {2}))), 8},
        {"meta to the end of the file", kFtyp + be(0, 4) + usual.substr(4), 5},
        {"meta with a 64-bit size",
         kFtyp + be(1, 4) + "meta" + be(0, 4) + be(uint32_t(usual.size() + 8), 4) + usual.substr(8),
         5},
        {"meta after media data", kFtyp + box("mdat", std::string(5000, 'x')) + usual, 5},
        {"meta longer than the file", kFtyp + be(100000, 4) + usual.substr(4), 1},
        {"no primary item", kFtyp + fullBox("meta", 0, 0, kHdlr + box("iprp", kIpco)), 1},
        {"cut inside ipco", kFtyp + usual.substr(0, usual.size() - 30), 1},
        {"empty", "", 1},
    };
    kamelo::test::ScratchDir scratch;
    for (const Built& r : rows) {
        SCOPED_TRACE(r.name);
        const std::string path = scratch.file("built.heic");
        kamelo::test::writeFile(path, r.file);
        EXPECT_EQ(heifcodec::readOrientation(path), r.orientation);
    }
}

TEST(HeifOrientation, OnlyRegularFilesAreRead) {
    kamelo::test::ScratchDir scratch;
    const std::string fifo = scratch.file("pipe.heic");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(heifcodec::readOrientation(fifo), 1); // would block if opened for reading
    EXPECT_EQ(heifcodec::readOrientation(scratch.path()), 1);
    EXPECT_EQ(heifcodec::readOrientation(scratch.file("missing.heic")), 1);
}

} // namespace
