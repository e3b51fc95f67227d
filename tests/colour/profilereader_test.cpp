// The colour space of a picture as the scanner, the reader and the decoder
// find it, for every sample of the table, and in every cut of its file.

#include "imaging/colour/iccprofile.h"
#include "imaging/colour/profilereader.h"
#include "imaging/core/filebytes.h"
#include "imaging/picturefile.h"
#include "imaging/pictureformat.h"
#include "tests/colour/profilerows.h"
#include "tests/support/colourpictures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace kamelo::imaging;
using namespace kamelo::imaging::colour;
using namespace kamelo::test::profiles;
namespace fx = kamelo::testing::colour;

namespace {

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

bool scannable(PictureFormat format) {
    return format == PictureFormat::Jpeg || format == PictureFormat::Png ||
           format == PictureFormat::Tiff || format == PictureFormat::Psd ||
           format == PictureFormat::WebP;
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
