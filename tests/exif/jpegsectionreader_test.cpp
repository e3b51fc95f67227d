#include "exif/core/jpegsectionreader.h"
#include "tests/exif/exifbuilder.h"
#include "tests/support/testdata.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

using namespace kamelo;
using kamelo::test::ExifBuilder;

namespace {

struct Parsed {
    bool ok = false;
    ExifImageInfo info;
    std::string error;
    int sections = 0;
    uint32_t thumbSize = 0;
    std::vector<uint8_t> thumb;
};

Parsed parse(const std::vector<uint8_t>& bytes, bool withScanData = true) {
    Parsed p;
    std::FILE* f = fmemopen(const_cast<uint8_t*>(bytes.data()), bytes.size(), "rb");
    JpegSectionReader r(&p.info);
    p.ok = r.readSections(f, withScanData);
    std::fclose(f);
    p.error = r.errorText();
    p.sections = int(r.sections().size());
    const uint8_t* t = r.thumbnail(p.thumbSize);
    if (t)
        p.thumb.assign(t, t + p.thumbSize);
    return p;
}

Parsed parseFile(const std::string& path, bool withScanData = true) {
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
    return parse(bytes, withScanData);
}

std::vector<uint8_t> withExif(const ExifBuilder& b, std::vector<ExifBuilder::Entry> ifd0,
                              std::vector<ExifBuilder::Entry> exif,
                              const std::vector<uint8_t>& thumb = {}) {
    return ExifBuilder::jpeg({{0xE1, b.app1Payload(b.tiff(std::move(ifd0), exif, thumb))}});
}

} // namespace

TEST(JpegSectionReader, BothByteOrdersGiveTheSameRecordAndTheThumbnail) {
    for (bool mm : {false, true}) {
        ExifBuilder b(mm);
        const std::vector<uint8_t> thumb = {0xFF, 0xD8, 1, 2, 3, 0xFF, 0xD9};
        const std::vector<uint8_t> file =
            withExif(b,
                     {b.asciiEntry(0x010F, "Canon"), b.asciiEntry(0x0110, "EOS 40D"),
                      b.shortEntry(0x0112, 6), b.rationalEntry(0x011A, 72, 1),
                      b.rationalEntry(0x011B, 300, 1), b.shortEntry(0x0128, 2)},
                     {b.rationalEntry(0x829A, 1, 250), b.rationalEntry(0x829D, 28, 10),
                      b.shortEntry(0x8827, 400), b.asciiEntry(0x9003, "2008:05:30 15:56:01"),
                      b.undefinedEntry(0x9000, "0221"), b.shortEntry(0x9209, 0x19),
                      b.rationalEntry(0x920A, 135, 1), b.shortEntry(0x9207, 5),
                      b.shortEntry(0x9208, 0), b.longEntry(0xA002, 3888), b.longEntry(0xA003, 2592),
                      b.rationalEntry(0xA20E, 3888000, 876), b.shortEntry(0xA210, 2)},
                     thumb);
        const Parsed p = parse(file);
        ASSERT_TRUE(p.ok) << mm << p.error;
        EXPECT_TRUE(p.info.hasExif);
        EXPECT_EQ(p.info.cameraMake, "Canon");
        EXPECT_EQ(p.info.cameraModel, "EOS 40D");
        EXPECT_EQ(p.info.orientation, 6);
        EXPECT_EQ(p.info.width, 640);
        EXPECT_EQ(p.info.height, 480);
        EXPECT_EQ(p.info.isColor, 1);
        EXPECT_EQ(p.info.process, 0xC0);
        EXPECT_FLOAT_EQ(p.info.exposureTime, 0.004f);
        EXPECT_FLOAT_EQ(p.info.apertureFNumber, 2.8f);
        EXPECT_EQ(p.info.isoEquivalent, 400);
        EXPECT_EQ(p.info.dateTime, "2008:05:30 15:56:01");
        EXPECT_EQ(p.info.exifVersion, "0221");
        EXPECT_EQ(p.info.flashUsed, 1);
        EXPECT_FLOAT_EQ(p.info.focalLength, 135);
        EXPECT_EQ(p.info.meteringMode, 5);
        EXPECT_FLOAT_EQ(p.info.xResolution, 72);
        EXPECT_FLOAT_EQ(p.info.resolutionUnit, 1.0f);
        EXPECT_NEAR(p.info.ccdWidth, 3888 * 1.0f / (3888000.0f / 876), 1e-3);
        EXPECT_EQ(p.thumb, thumb);
        EXPECT_EQ(p.sections, 4); // APP1, SOF0, SOS, scan data
    }
}

TEST(JpegSectionReader, HeaderPaddingAndSectionLimits) {
    Parsed p = parse({0x00, 0xD8, 0xFF, 0xD9});
    EXPECT_FALSE(p.ok);
    EXPECT_EQ(p.error, "");
    EXPECT_EQ(p.info.width, 0); // untouched

    // Six 0xFF before a marker are fine, seven are not.
    std::vector<uint8_t> six = ExifBuilder::jpeg({});
    six.insert(six.begin() + 2, 5, 0xFF);
    EXPECT_TRUE(parse(six).ok);
    std::vector<uint8_t> seven = ExifBuilder::jpeg({});
    seven.insert(seven.begin() + 2, 6, 0xFF);
    EXPECT_FALSE(parse(seven).ok);

    // Twenty kept sections before the scan: too many.
    std::vector<std::pair<int, std::vector<uint8_t>>> many(19, {0xDB, {0, 1, 2}});
    p = parse(ExifBuilder::jpeg(many));
    EXPECT_FALSE(p.ok);
    EXPECT_EQ(p.error, "Too many sections in jpg file");
    EXPECT_EQ(p.sections, 20);
    // Eighteen before SOF: SOS takes the twentieth slot, no room for the scan
    // data; nothing is written past the slots and the header was read.
    many.resize(18);
    p = parse(ExifBuilder::jpeg(many, 100, 50));
    EXPECT_TRUE(p.ok);
    EXPECT_EQ(p.sections, 20);
    EXPECT_EQ(p.info.width, 100);

    // A length below 2, a segment cut short, EOI before any scan.
    p = parse({0xFF, 0xD8, 0xFF, 0xDB, 0x00, 0x01});
    EXPECT_EQ(p.error, "invalid marker");
    p = parse({0xFF, 0xD8, 0xFF, 0xDB, 0x00, 0x10, 1, 2});
    EXPECT_EQ(p.error, "Premature end of file?");
    EXPECT_FALSE(parse({0xFF, 0xD8, 0xFF, 0xD9}).ok);
    // APP0 is dropped, the first comment kept and cleaned, later ones dropped.
    p = parse(ExifBuilder::jpeg(
        {{0xE0, {'J', 'F', 'I', 'F', 0}}, {0xFE, {'a', '\r', '\n', 'b', 1, '\t'}}, {0xFE, {'x'}}}));
    EXPECT_TRUE(p.ok);
    EXPECT_EQ(p.info.comments, "a\nb?\t");
    EXPECT_EQ(p.sections, 4);
}

TEST(JpegSectionReader, TagRulesOfTheDirectoryWalker) {
    ExifBuilder b(false);
    // Orientation 9: 0 and a note, the rest still read.
    Parsed p = parse(withExif(b, {b.shortEntry(0x0112, 9), b.asciiEntry(0x010F, "Nikon")}, {}));
    EXPECT_TRUE(p.ok);
    EXPECT_EQ(p.info.orientation, 0);
    EXPECT_EQ(p.error, "Undefined rotation value");
    EXPECT_EQ(p.info.cameraMake, "Nikon");

    // ShutterSpeedValue only; ApertureValue only; ISO 4.
    p = parse(withExif(b, {},
                       {b.rationalEntry(0x9201, 797, 100, true), b.rationalEntry(0x9202, 3, 1),
                        b.shortEntry(0x8827, 4)}));
    EXPECT_NEAR(p.info.exposureTime, 1 / std::exp2(7.97), 1e-6);
    EXPECT_NEAR(p.info.exposureTime, 0.004, 1e-4);
    EXPECT_NEAR(p.info.apertureFNumber, std::exp2(1.5), 1e-5);
    EXPECT_EQ(p.info.isoEquivalent, 800);
    // ExposureTime wins over ShutterSpeedValue when it came first.
    p = parse(
        withExif(b, {}, {b.rationalEntry(0x829A, 1, 60), b.rationalEntry(0x9201, 797, 100, true)}));
    EXPECT_FLOAT_EQ(p.info.exposureTime, 1.0f / 60);

    // UserComment with "ASCII", three NULs, a word and two spaces.
    p = parse(withExif(b, {}, {b.undefinedEntry(0x9286, std::string("ASCII\0\0\0word  ", 14))}));
    EXPECT_EQ(p.info.comments, "word");
    p = parse(withExif(b, {}, {b.undefinedEntry(0x9286, std::string("ASCII\0\0\0\0\0", 10))}));
    EXPECT_EQ(p.info.comments, "");
    p = parse(withExif(b, {}, {b.undefinedEntry(0x9286, "plain text   ")}));
    EXPECT_EQ(p.info.comments, "plain text");

    // Unit factors; long texts are cut.
    p = parse(
        withExif(b, {b.shortEntry(0x0128, 3), b.asciiEntry(0x0110, std::string(60, 'm'))}, {}));
    EXPECT_FLOAT_EQ(p.info.resolutionUnit, 0.3937f);
    EXPECT_EQ(p.info.cameraModel.size(), 39u);
    p = parse(withExif(b, {b.shortEntry(0x0128, 4)}, {b.shortEntry(0xA210, 5)}));
    EXPECT_FLOAT_EQ(p.info.resolutionUnit, 0.03937f);
    EXPECT_FLOAT_EQ(p.info.focalPlaneUnits, 0.00003937f);
    p = parse(withExif(b, {b.shortEntry(0x0128, 7)}, {}));
    EXPECT_FLOAT_EQ(p.info.resolutionUnit, 0.0f); // unknown code: unchanged
    // Flash: any of the lowest three bits.
    p = parse(withExif(b, {}, {b.shortEntry(0x9209, 0x10)}));
    EXPECT_EQ(p.info.flashUsed, 0);
    p = parse(withExif(b, {}, {b.shortEntry(0x9209, 0x02)}));
    EXPECT_EQ(p.info.flashUsed, 1);
}

TEST(JpegSectionReader, BrokenExifBlocksFailWithTheirTextsAndNeverLoop) {
    ExifBuilder b(false);
    auto exifJpeg = [](std::vector<uint8_t> payload) {
        return ExifBuilder::jpeg({{0xE1, payload}});
    };
    std::vector<uint8_t> good = b.app1Payload(b.tiff({b.asciiEntry(0x010F, "X")}, {}));

    std::vector<uint8_t> bad = good;
    bad[6] = 'X';
    Parsed p = parse(exifJpeg(bad));
    EXPECT_EQ(p.error, "Invalid Exif alignment marker.");
    EXPECT_FALSE(p.info.hasExif);
    EXPECT_TRUE(p.ok);        // the file itself reads on
    EXPECT_EQ(p.sections, 4); // the APP1 block is still kept
    bad = good;
    bad[8] = 43;
    EXPECT_EQ(parse(exifJpeg(bad)).error, "Invalid Exif start (1)");
    bad = good;
    bad[10] = 4;
    EXPECT_EQ(parse(exifJpeg(bad)).error, "Suspicious offset of first IFD value");
    EXPECT_FALSE(parse(exifJpeg(bad)).info.hasExif);
    bad[10] = 200; // beyond the block
    EXPECT_FALSE(parse(exifJpeg(bad)).info.hasExif);
    bad = good;
    bad[14] = 0xFF; // 255 entries cannot fit
    EXPECT_EQ(parse(exifJpeg(bad)).error, "Illegally sized directory");
    bad = good;
    bad[6 + 8 + 2 + 2] = 13; // format 13
    EXPECT_EQ(parse(exifJpeg(bad)).error, "Illegal format code in EXIF dir");
    bad = good;
    bad[6 + 8 + 2 + 4] = 200; // 200 bytes of text far past the end
    bad[6 + 8 + 2 + 8] = 0xF0;
    EXPECT_EQ(parse(exifJpeg(bad)).error, "Illegal pointer offset value in EXIF.");
    std::vector<uint8_t> header = {'E', 'x', 'i', 'f', 1, 0};
    EXPECT_EQ(parse(exifJpeg(header)).error, "Incorrect Exif header");

    // IFD0 whose next link points at itself: read once, no endless walk.
    std::vector<uint8_t> loop = good;
    const size_t next = 6 + 8 + 2 + 12; // after IFD0's single entry
    loop[next] = 8;
    p = parse(exifJpeg(loop));
    EXPECT_TRUE(p.info.hasExif);
    EXPECT_EQ(p.info.cameraMake, "X");
    // An EXIF sub-directory link that points back at IFD0.
    p = parse(withExif(b, {b.longEntry(0x8769, 8)}, {}));
    EXPECT_TRUE(p.info.hasExif);
    // A link beyond the block.
    p = parse(withExif(b, {b.longEntry(0x8769, 100000)}, {}));
    EXPECT_EQ(p.error, "Illegal subdirectory link");
}

TEST(JpegSectionReader, CameraFilesMatchTheirExpectedValues) {
    KAMELO_REQUIRE_TESTDATA();
    std::ifstream tsv(kamelo::test::testDataFile("camera/EXPECTED.tsv"));
    std::string line;
    std::getline(tsv, line);
    std::vector<std::string> header;
    {
        std::stringstream ss(line);
        for (std::string f; std::getline(ss, f, '\t');)
            header.push_back(f);
    }
    int files = 0;
    while (std::getline(tsv, line)) {
        std::map<std::string, std::string> row;
        std::stringstream ss(line);
        size_t i = 0;
        for (std::string f; std::getline(ss, f, '\t'); ++i)
            if (i < header.size())
                row[header[i]] = f;
        const std::string file = row["file"];
        SCOPED_TRACE(file);
        const Parsed p = parseFile(kamelo::test::testDataFile("camera/" + file));
        ++files;
        auto has = [&](const char* k) { return !row[k].empty() && row[k] != "-"; };
        auto trimmed = [](std::string t) {
            while (!t.empty() && t.back() == ' ')
                t.pop_back();
            return t;
        };
        if (has("Make")) {
            EXPECT_EQ(trimmed(p.info.cameraMake), trimmed(row["Make"].substr(0, 31)));
        }
        if (has("Model")) {
            EXPECT_EQ(trimmed(p.info.cameraModel), trimmed(row["Model"].substr(0, 39)));
        }
        if (has("DateTimeOriginal")) {
            EXPECT_EQ(p.info.dateTime, row["DateTimeOriginal"]);
        }
        if (has("Orientation")) {
            EXPECT_EQ(p.info.orientation, std::stoi(row["Orientation"]));
        }
        if (has("ExposureTime")) {
            EXPECT_NEAR(p.info.exposureTime, std::stod(row["ExposureTime"]),
                        std::stod(row["ExposureTime"]) * 1e-3);
        }
        if (has("FNumber")) {
            EXPECT_NEAR(p.info.apertureFNumber, std::stod(row["FNumber"]), 0.051);
        }
        if (has("ISO")) {
            const int iso = std::stoi(row["ISO"]);
            EXPECT_EQ(p.info.isoEquivalent, iso < 50 ? iso * 200 : iso);
        }
        if (has("Flash")) {
            EXPECT_EQ(p.info.flashUsed, (std::stoi(row["Flash"]) & 7) ? 1 : 0);
        }
        if (has("FocalLength")) {
            EXPECT_NEAR(p.info.focalLength, std::stod(row["FocalLength"]), 0.051);
        }
        if (has("XResolution")) {
            EXPECT_NEAR(p.info.xResolution, std::stod(row["XResolution"]), 0.01);
        }
        if (has("ThumbnailLength") && std::stoi(row["ThumbnailLength"]) > 0) {
            EXPECT_EQ(p.thumbSize, uint32_t(std::stoi(row["ThumbnailLength"])));
            ASSERT_GE(p.thumb.size(), 2u);
            EXPECT_EQ(p.thumb[0], 0xFF);
            EXPECT_EQ(p.thumb[1], 0xD8);
        }
        if (has("Make")) {
            EXPECT_TRUE(p.info.hasExif);
        }
        // The sections alone tell the same, without the scan data's copy.
        const Parsed head = parseFile(kamelo::test::testDataFile("camera/" + file), false);
        EXPECT_EQ(head.ok, p.ok);
        EXPECT_EQ(head.sections, p.sections - 1);
        EXPECT_EQ(head.info.orientation, p.info.orientation);
        EXPECT_EQ(head.info.dateTime, p.info.dateTime);
    }
    EXPECT_GE(files, 35);
}

TEST(JpegSectionReader, BrokenSamplesAreSurvived) {
    KAMELO_REQUIRE_TESTDATA();
    int files = 0;
    for (const auto& e :
         std::filesystem::directory_iterator(kamelo::test::testDataFile("broken"))) {
        parseFile(e.path().string()); // must not crash; results vary
        ++files;
    }
    EXPECT_GT(files, 40);
}
