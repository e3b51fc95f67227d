#include "imaging/modern/rawcodec.h"
#include "imaging/modern/rawformat.h"
#include "imaging/orientation.h"
#include "imaging/picturefile.h"
#include "imaging/result.h"
#include "rawsamples.h"

#include <exiv2/exiv2.hpp>

#include <array>
#include <cstdio>
#include <cstring>

using namespace kamelo;
using namespace kamelo::imaging;
using kamelo::test::DngOptions;

namespace {

class RawCodec : public kamelo::test::RawSamples {};

DngOptions sized(int rawWidth, int rawHeight, int previewWidth, int previewHeight) {
    DngOptions o;
    o.rawWidth = rawWidth;
    o.rawHeight = rawHeight;
    o.previewWidth = previewWidth;
    o.previewHeight = previewHeight;
    return o;
}

std::string commandOutput(const std::string& command) {
    std::string out;
    if (FILE* p = popen(command.c_str(), "r")) {
        char buffer[256];
        while (size_t n = fread(buffer, 1, sizeof buffer, p))
            out.append(buffer, n);
        pclose(p);
    }
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r'))
        out.pop_back();
    return out;
}

} // namespace

TEST(RawFormatName, TellsTheCameraFormatBySignatureOrMaker) {
    struct Row {
        std::string head;
        std::string make;
        bool dng;
        std::string expected;
    };
    const Row rows[] = {
        {std::string("II*\0\x10\0\0\0CR\x02\0", 12), "Canon", false, "Canon CR2"},
        {std::string("\0\0\0\x18"
                     "ftypcrx ",
                     12),
         "Canon", false, "Canon CR3"},
        {"FUJIFILMCCD-RAW ", "Fujifilm", false, "Fujifilm RAF"},
        {"IIRO\x08\0\0\0", "Olympus", false, "Olympus ORF"},
        {std::string("IIU\0\x08\0\0\0", 8), "Panasonic", false, "Panasonic RW2"},
        {std::string("MM\0*\0\0\0\x08", 8), "Nikon", false, "Nikon NEF"},
        {std::string("II*\0\x08\0\0\0", 8), "Sony", false, "Sony ARW"},
        {std::string("II*\0\x08\0\0\0", 8), "Pentax", true, "DNG"},
        {std::string("II*\0\x08\0\0\0", 8), "Obscura", false, "Obscura"},
    };
    for (const Row& r : rows) {
        const ByteView b{reinterpret_cast<const uint8_t*>(r.head.data()), r.head.size()};
        EXPECT_EQ(rawcodec::formatName(b, r.make, r.dng), r.expected) << r.expected;
    }
}

TEST_F(RawCodec, InfoGivesTheStoredDevelopedSize) {
    struct Row {
        int width, height, orientation;
    };
    // 1024 x 768 is past the first megabyte read for headers: LibRaw then
    // reads the file in parts.
    for (const Row r : {Row{64, 48, 1}, Row{120, 80, 6}, Row{48, 64, 3}, Row{1024, 768, 1}}) {
        DngOptions o = sized(r.width, r.height, 160, 120);
        o.orientation = r.orientation;
        const std::string path = dng("info.dng", o);
        FileInfo info;
        ASSERT_EQ(PictureFile::readInfo(path, info), 1);
        EXPECT_EQ(info.format, PictureFormat::Raw);
        EXPECT_EQ(info.width, r.width); // not turned
        EXPECT_EQ(info.height, r.height);
        EXPECT_EQ(info.bitsPerPixel, 24);
        EXPECT_EQ(info.compression, "RAW (DNG)");
    }
}

TEST_F(RawCodec, AScaledDecodeIsThePreviewAsSmallAsCoversTheScale) {
    struct Row {
        int rawWidth, rawHeight, previewWidth, denominator, width, height;
    };
    // Previews are 4:3; JPEG scales are 1/1, 1/2, 1/4 and 1/8.
    const Row rows[] = {
        {64, 48, 160, 2, 40, 30},     // 32 x 24 wanted: a quarter covers it
        {64, 48, 160, 8, 20, 15},     // 8 x 6: an eighth
        {640, 480, 160, 2, 160, 120}, // 320 x 240: the whole preview, nothing larger
        {320, 240, 160, 4, 80, 60},   {64, 48, 0, 4, 32, 24}, // no preview: a half-size development
    };
    for (const Row& r : rows) {
        DngOptions o = sized(r.rawWidth, r.rawHeight, r.previewWidth, r.previewWidth * 3 / 4);
        o.previewRgb = 0x3080C0;
        const std::string path = dng("p.dng", o);
        const auto bytes = bytesOf(path);
        // In memory through LibRaw, and from the file on disk (the viewer's
        // way: its IFDs and preview only, band by band).
        for (const bool onDisk : {false, true}) {
            LoadOptions options;
            options.scaleDenominator = r.denominator;
            options.bandRows = 8;
            int reported = 0;
            options.onRows = [&](const Bitmap& b, int first, int count, int) {
                EXPECT_EQ(first, reported);
                if (onDisk && r.previewWidth > 0) {
                    EXPECT_TRUE(b.colourProfile()) << "bands carry the preview's colour space";
                }
                reported = first + count;
                return 1;
            };
            Bitmap out;
            ASSERT_EQ(onDisk ? PictureFile::load(path, out, options)
                             : rawcodec::decode(view(bytes), options, out),
                      1);
            EXPECT_EQ(out.width(), r.width) << r.rawWidth << " /" << r.denominator << onDisk;
            EXPECT_EQ(out.height(), r.height);
            EXPECT_EQ(reported, r.height);
            if (r.previewWidth > 0) {
                EXPECT_TRUE(test::near(test::centre(out), 0x3080C0, 4))
                    << std::hex << test::centre(out);
            }
        }
    }
}

TEST_F(RawCodec, TheDevelopmentKeepsTheSensorsColour) {
    struct Row {
        uint16_t red, green, blue;
        int strongest; // channel shift in 0x00RRGGBB
    };
    const Row rows[] = {{3000, 1000, 500, 16}, {600, 3000, 700, 8}, {500, 1100, 3200, 0}};
    for (const Row& r : rows) {
        DngOptions o;
        o.red = r.red;
        o.green = r.green;
        o.blue = r.blue;
        const auto bytes = bytesOf(dng("d.dng", o));
        Bitmap out;
        int bands = 0, rows = 0;
        LoadOptions options;
        options.bandRows = 10;
        options.onRows = [&](const Bitmap&, int first, int count, int) {
            EXPECT_EQ(first, rows);
            rows += count;
            ++bands;
            return 1;
        };
        ASSERT_EQ(rawcodec::decode(view(bytes), options, out), 1);
        EXPECT_EQ(out.width(), 64);
        EXPECT_EQ(out.height(), 48);
        EXPECT_EQ(rows, 48);
        EXPECT_EQ(bands, 5);
        const uint32_t c = test::centre(out);
        for (int shift : {0, 8, 16}) {
            if (shift != r.strongest) {
                EXPECT_GT(int((c >> r.strongest) & 0xFF), int((c >> shift) & 0xFF) + 40)
                    << std::hex << c;
            }
        }
    }
}

TEST_F(RawCodec, ABandAnsweredWithACodeEndsTheDecode) {
    const std::string path = dng("a.dng");
    const auto bytes = bytesOf(path);
    for (int scale : {1, 2}) {
        LoadOptions options;
        options.scaleDenominator = scale;
        options.onRows = [](const Bitmap&, int, int, int) { return -1087; };
        Bitmap out;
        EXPECT_EQ(rawcodec::decode(view(bytes), options, out), -1087);
        EXPECT_EQ(PictureFile::load(path, out, options), -1087) << "from the file, 1/" << scale;
    }
    // A stop asked for before the development ends it between its steps.
    std::atomic<bool> stop{true};
    const rawcodec::StopScope scope(stop);
    Bitmap out;
    EXPECT_EQ(rawcodec::decode(view(bytes), LoadOptions{}, out), result::kAborted);
}

TEST_F(RawCodec, OrientationIsReadForEveryValue) {
    for (int orientation = 1; orientation <= 8; ++orientation) {
        DngOptions o;
        o.orientation = orientation;
        const std::string path = dng("o" + std::to_string(orientation) + ".dng", o);
        EXPECT_EQ(rawcodec::readOrientation(path), orientation);
        EXPECT_EQ(Orientation::read(path), orientation);
    }
    EXPECT_EQ(rawcodec::readOrientation(dir.file("missing.dng")), 1);
}

TEST_F(RawCodec, TheStampIsTheWholePreviewAsStored) {
    DngOptions o = sized(64, 48, 160, 120);
    o.orientation = 8;
    o.previewRgb = 0xC04020;
    const std::string path = dng("s.dng", o);
    Bitmap stamp;
    ASSERT_EQ(PictureFile::readStamp(path, stamp), 1);
    EXPECT_EQ(stamp.width(), 160);
    EXPECT_EQ(stamp.height(), 120);
    EXPECT_TRUE(test::near(test::centre(stamp), 0xC04020, 4));
    const auto bytes = bytesOf(path);
    ASSERT_EQ(rawcodec::readStampCovering(view(bytes), 50, 30, stamp), 1);
    EXPECT_EQ(stamp.width(), 80);
    ASSERT_EQ(rawcodec::readStampCovering(path, 50, 30, stamp), 1); // from the disk
    EXPECT_EQ(stamp.width(), 80);
    // A FIFO named like a RAW file is refused without waiting for a writer.
    ASSERT_EQ(::mkfifo(dir.file("pipe.dng").c_str(), 0600), 0);
    EXPECT_LT(rawcodec::readStampCovering(dir.file("pipe.dng"), 50, 30, stamp), 1);
    const auto none = bytesOf(dng("none.dng", sized(64, 48, 0, 0)));
    EXPECT_EQ(rawcodec::readStamp(view(none), stamp), result::kNoStamp);
}

TEST_F(RawCodec, ExifRowsReadAsExiftoolReadsThem) {
    ASSERT_EQ(std::system("command -v exiftool >/dev/null 2>&1"), 0)
        << "exiftool (libimage-exiftool-perl) is needed";
    DngOptions o;
    o.make = "Kamelo";
    o.model = "KX-1";
    const std::string path = dng("e.dng", o);
    ASSERT_EQ(std::system(("exiftool -q -overwrite_original -DateTimeOriginal='2024:05:06 "
                           "07:08:09' -ExposureTime=1/250 '" +
                           path + "'")
                              .c_str()),
              0);
    auto image = Exiv2::ImageFactory::open(path);
    ASSERT_TRUE(image.get());
    image->readMetadata();
    const Exiv2::ExifData& exif = image->exifData();
    const std::array<std::pair<const char*, const char*>, 4> rows = {{
        {"Exif.Image.Make", "Make"},
        {"Exif.Image.Model", "Model"},
        {"Exif.Photo.DateTimeOriginal", "DateTimeOriginal"},
        {"Exif.Photo.ExposureTime", "ExposureTime"},
    }};
    for (const auto& [key, tag] : rows) {
        const auto it = exif.findKey(Exiv2::ExifKey(key));
        ASSERT_NE(it, exif.end()) << key;
        std::string ours = it->toString();
        if (std::strcmp(tag, "ExposureTime") == 0)
            ours = it->print(&exif).substr(0, ours.find(' ')); // "1/250 s"
        const std::string theirs =
            commandOutput(std::string("exiftool -s3 -") + tag + " '" + path + "'");
        EXPECT_EQ(ours.substr(0, theirs.size()), theirs) << key;
    }
    // The development still reads the file exiftool rewrote.
    FileInfo info;
    EXPECT_EQ(PictureFile::readInfo(path, info), 1);
    EXPECT_EQ(info.width, 64);
}
