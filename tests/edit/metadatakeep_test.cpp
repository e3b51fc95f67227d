// Every write path keeps what the source carried: each tag of the source is
// in the written file with the same value, except the fields that describe
// the written pixels (sizes, orientation, thumbnail) and Software.

#include "edit/batchrunner.h"
#include "edit/resizeops.h"
#include "edit/rotateops.h"
#include "edit/saveaswriter.h"
#include "exif/jpegpropertyinfo.h"
#include "imaging/colorops.h"
#include "imaging/geometryops.h"
#include "imaging/orientation.h"
#include "imaging/picturefile.h"
#include "tests/support/metadatadump.h"
#include "viewer/viewersave.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

using namespace kamelo;
using namespace kamelo::edit;
using kamelo::test::ScratchDir;
using kamelo::test::TagDump;
namespace fs = std::filesystem;

namespace {

enum class Path {
    BatchResize,
    BatchRotate,
    BatchColour,
    BatchCrop,
    ConvertJpg,
    ConvertPng,
    ConvertBmp,
    BatchTiff,
    SaveAsJpeg,
    SaveAsPng,
    SaveAsTiff,
    ViewerSave,
    ViewerSavePng,
    ConvertWebp,
    ConvertAvif,
    SaveAsWebp,
    SaveAsAvif,
};

struct Row {
    const char* source; // a camera sample, or "rich" for the file built here
    Path path;
};

struct Written {
    std::string path;
    int width = 0;
    int height = 0;
};

struct Silent : BatchEvents {
    OverwriteAnswer askOverwrite(const std::string&) override { return OverwriteAnswer::Yes; }
};

std::string written(BatchJob job) {
    std::atomic<bool> stop{false};
    std::string destination;
    struct Events : Silent {
        std::string* to;
        void written(const std::string&, const std::string& d) override { *to = d; }
    } e;
    e.to = &destination;
    BatchRunner(std::move(job)).run(e, stop);
    return destination;
}

std::optional<ConversionFormat> conversion(const char* name) {
    for (const ConversionFormat& f : kConversionFormats)
        if (std::string(f.name) == name)
            return f;
    return std::nullopt;
}

// The picture the GUI shows: decoded and stood upright by its orientation.
imaging::Bitmap shown(const std::string& source) {
    imaging::Bitmap b;
    imaging::PictureFile::load(source, b);
    imaging::Orientation::makeUpright(b, imaging::Orientation::read(source));
    return b;
}

Written write(const ScratchDir& dir, const std::string& source, Path path) {
    BatchJob job;
    job.sources = {source};
    job.mode = DestinationMode::Folder;
    job.folder = dir.file("out");
    Written w;
    switch (path) {
    case Path::BatchResize: {
        ResizeSettings half;
        half.percent = 50;
        job.step = ResizeOps::step(half);
        break;
    }
    case Path::BatchRotate: {
        const BatchOperation op = rotateBatchOperation();
        job.records = {std::any(RotateCode::Right)};
        job.uprightFor = op.uprightFor;
        job.step = op.step;
        break;
    }
    case Path::BatchColour:
        job.step = [](imaging::Bitmap& b, const std::any*, std::string&) {
            return imaging::ColorOps::grayScale(b, 30, 59, 11);
        };
        break;
    case Path::BatchCrop:
        job.step = [](imaging::Bitmap& b, const std::any*, std::string&) {
            return imaging::GeometryOps::trim(
                b, {b.width() / 8, b.height() / 4, b.width() / 2, b.height() / 3});
        };
        break;
    case Path::ConvertJpg:
    case Path::ConvertPng:
    case Path::ConvertBmp:
    case Path::ConvertWebp:
    case Path::ConvertAvif:
        job.mode = DestinationMode::Overwrite;
        job.convertTo = conversion(path == Path::ConvertJpg    ? "JPG"
                                   : path == Path::ConvertPng  ? "PNG"
                                   : path == Path::ConvertWebp ? "WEBP"
                                   : path == Path::ConvertAvif ? "AVIF"
                                                               : "BMP");
        job.qualityFactor = 40;
        break;
    case Path::BatchTiff: {
        // Saved as a TIFF with the source's metadata, then edited as a TIFF.
        std::string reason;
        const std::string tiff = dir.file("as.tif");
        SaveAsWriter::save(shown(source), SaveAsWriter::propertiesFor(source, true), tiff, 90,
                           reason);
        job.sources = {tiff};
        ResizeSettings half;
        half.percent = 50;
        job.step = ResizeOps::step(half);
        break;
    }
    case Path::SaveAsJpeg:
    case Path::SaveAsPng:
    case Path::SaveAsTiff:
    case Path::SaveAsWebp:
    case Path::SaveAsAvif: {
        const imaging::Bitmap picture = shown(source);
        w.path = dir.file(path == Path::SaveAsJpeg   ? "saved.jpg"
                          : path == Path::SaveAsPng  ? "saved.png"
                          : path == Path::SaveAsWebp ? "saved.webp"
                          : path == Path::SaveAsAvif ? "saved.avif"
                                                     : "saved.tif");
        std::string reason;
        SaveAsWriter::save(picture, SaveAsWriter::propertiesFor(source, true), w.path, 88, reason);
        break;
    }
    case Path::ViewerSave:
    case Path::ViewerSavePng: {
        // Ctrl+S in the viewer: the file is read, then replaced in place.
        w.path = dir.file(path == Path::ViewerSave ? "viewer.jpg" : "viewer.png");
        std::string reason;
        SaveAsWriter::save(shown(source), SaveAsWriter::propertiesFor(source, true), w.path, 96,
                           reason);
        imaging::Bitmap picture = shown(w.path);
        imaging::GeometryOps::rotate(picture, 18000);
        ViewerSave::save(picture, w.path, true);
        break;
    }
    }
    if (w.path.empty())
        w.path = written(job);
    imaging::Bitmap back;
    if (imaging::PictureFile::load(w.path, back) >= 1) {
        w.width = back.width();
        w.height = back.height();
    }
    return w;
}

// The groups of a file's container or of ExifTool itself, the thumbnails
// (made again from the written pixels) and the records of the source's own
// encoding: Adobe's colour transform flags and the Olympus APP12 record of
// the picture's byte and thumbnail lengths. Photoshop's resources are kept
// as they came, the IPTC record among them: it is compared on its own.
bool remade(const std::string& group) {
    static const std::set<std::string> groups = {
        "File", "System",     "ExifTool", "Composite",   "JFIF",      "JFXX", "IFD1",
        "PNG",  "ICC-header", "PNG-pHYs", "PictureInfo", "Photoshop", "Adobe"};
    return groups.count(group) != 0;
}

// Tags that must say something of the written file rather than the source.
bool mustChange(const std::string& key) {
    static const std::set<std::string> keys = {
        "IFD0:ImageWidth",          "IFD0:ImageHeight",     "ExifIFD:ExifImageWidth",
        "ExifIFD:ExifImageHeight",  "IFD0:Software",        "IFD0:Orientation",
        "XMP-tiff:ImageWidth",      "XMP-tiff:ImageHeight", "XMP-exif:ExifImageWidth",
        "XMP-exif:ExifImageHeight", "XMP-tiff:Orientation", "XMP-x:XMPToolkit"};
    // Where a preview inside a maker's note starts in the file.
    const std::string tag = key.substr(key.find(':') + 1);
    const bool position = tag.size() > 5 && (tag.compare(tag.size() - 5, 5, "Start") == 0 ||
                                             tag.compare(tag.size() - 6, 6, "Offset") == 0);
    return keys.count(key) != 0 || position;
}

class MetadataKeep : public testing::TestWithParam<Row> {};

TEST_P(MetadataKeep, EveryTagOfTheSourceIsWrittenWithItsValue) {
    KAMELO_REQUIRE_TESTDATA();
    if (!kamelo::test::haveTool("exiftool") || !kamelo::test::haveTool("identify"))
        GTEST_SKIP() << "exiftool and identify are needed";
    const Row row = GetParam();
    ScratchDir dir;
    fs::create_directories(dir.file("out"));
    std::string source;
    if (std::string(row.source) == "rich" || std::string(row.source) == "large") {
        source = kamelo::test::richPhoto(dir, "Canon_40D.jpg", "rich.jpg",
                                         std::string(row.source) == "large");
    } else {
        source = dir.file(std::string("in") + fs::path(row.source).extension().string());
        fs::copy_file(kamelo::test::testDataFile(std::string("camera/") + row.source), source);
    }
    ASSERT_FALSE(source.empty());
    const TagDump before = kamelo::test::dumpTags(source);
    const std::string iccBefore = kamelo::test::binaryTag(source, "ICC_Profile");
    const std::string samplingBefore = kamelo::test::samplingFactors(source);
    const Written w = write(dir, source, row.path);
    const std::string ext = fs::path(w.path).extension().string();
    const bool jpeg = ext == ".jpg" || ext == ".JPG";
    // WebP and AVIF have no place for an IPTC record.
    const bool web = ext == ".webp" || ext == ".WEBP" || ext == ".avif" || ext == ".AVIF";
    ASSERT_TRUE(fs::exists(w.path)) << w.path;
    ASSERT_GT(w.width, 0);
    const TagDump after = kamelo::test::dumpTags(w.path);
    // A maker's note whose offsets the camera wrote wrong (ExifTool guesses
    // the right base, Exiv2 reads it as stored) cannot be kept intact.
    const bool makerNoteMisplaced =
        kamelo::test::commandOutput("exiftool -q -q -warning -a " + kamelo::test::quoted(source))
            .find("Adjusted MakerNotes base") != std::string::npos;
    const std::set<std::string> makerGroups = {"Canon", "Nikon", "Olympus",  "Panasonic", "Pentax",
                                               "Sony",  "Casio", "FujiFilm", "Samsung",   "Kodak"};

    if (row.path == Path::ConvertBmp) {
        for (const auto& [key, values] : after)
            EXPECT_FALSE(key.rfind("IFD0:", 0) == 0 || key.rfind("XMP", 0) == 0) << key;
        return;
    }
    for (const auto& [key, values] : before) {
        const std::string group = key.substr(0, key.find(':'));
        if (remade(group) || mustChange(key) ||
            (makerNoteMisplaced && makerGroups.count(group) != 0) || (web && group == "IPTC"))
            continue;
        // A TIFF is written in RGB: there is no YCbCr storage to describe.
        if (key == "IFD0:YCbCrPositioning" && ext == ".tif")
            continue;
        const auto it = after.find(key);
        if (it == after.end()) {
            ADD_FAILURE() << key << " lost (was " << values.begin()->substr(0, 60) << ")";
            continue;
        }
        EXPECT_EQ(it->second, values) << key;
    }
    EXPECT_EQ(kamelo::test::binaryTag(w.path, "ICC_Profile"), iccBefore);

    // What must describe the written file does.
    const auto value = [&](const char* key) {
        const auto it = after.find(key);
        return it == after.end() ? std::string("-") : *it->second.begin();
    };
    if (before.count("IFD0:Make") != 0) {
        EXPECT_EQ(value("IFD0:Software"), "Halvern Kamelo 2.2");
    }
    if (before.count("ExifIFD:ExifImageWidth") != 0) {
        EXPECT_EQ(value("ExifIFD:ExifImageWidth"), std::to_string(w.width));
        EXPECT_EQ(value("ExifIFD:ExifImageHeight"), std::to_string(w.height));
    }
    if (before.count("IFD0:Orientation") != 0) {
        EXPECT_EQ(value("IFD0:Orientation"), "1");
    }
    if (jpeg) {
        // The source's chroma subsampling is kept.
        EXPECT_EQ(kamelo::test::samplingFactors(w.path), samplingBefore);
        // A thumbnail, when there is one, is of the written picture.
        const std::string thumb = kamelo::test::binaryTag(w.path, "ThumbnailImage");
        if (!thumb.empty()) {
            imaging::Bitmap small, big;
            ASSERT_GE(imaging::PictureFile::load(reinterpret_cast<const uint8_t*>(thumb.data()),
                                                 thumb.size(), "t.jpg", small),
                      1);
            ASSERT_GE(imaging::PictureFile::load(w.path, big), 1);
            EXPECT_NEAR(double(small.width()) / small.height(), double(big.width()) / big.height(),
                        0.05);
        }
    }
}

std::vector<Row> rows() {
    std::vector<Row> r;
    for (Path p :
         {Path::BatchResize, Path::BatchRotate, Path::BatchColour, Path::BatchCrop,
          Path::ConvertJpg, Path::ConvertPng, Path::ConvertBmp, Path::BatchTiff, Path::SaveAsJpeg,
          Path::SaveAsPng, Path::SaveAsTiff, Path::ViewerSave, Path::ViewerSavePng,
          Path::ConvertWebp, Path::ConvertAvif, Path::SaveAsWebp, Path::SaveAsAvif})
        r.push_back({"rich", p});
    // Makers' notes of many makers, both byte orders, GPS, orientations.
    for (const char* camera :
         {"Canon EOS REBEL T3i.jpg", "Nikon D40.jpg", "Apple iPhone 5.jpg",
          "Issue 173 (dotnet).jpg", "Samsung GT-I9000 (Galaxy S).jpg", "Pentax_K10D.jpg",
          "Olympus_C8080WZ.jpg", "Panasonic_DMC-FZ30.jpg", "Sony_HDR-HC3.jpg",
          "FujiFilm SP-2500.jpg", "Kodak_CX7530.jpg", "Casio EX-S1.jpg", "olympus-d320l.jpg"})
        r.push_back({camera, Path::BatchResize});
    r.push_back({"Canon PowerShot A85.jpg", Path::BatchRotate});
    // A profile over nine APP2 segments and an XMP packet over two segments.
    r.push_back({"large", Path::BatchCrop});
    r.push_back({"large", Path::SaveAsPng});
    r.push_back({"Sony Cybershot (3).jpg", Path::SaveAsPng});
    return r;
}

std::string rowName(const testing::TestParamInfo<Row>& info) {
    std::string name = std::string(info.param.source) + "_" + std::to_string(int(info.param.path));
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)))
            c = '_';
    return name;
}

INSTANTIATE_TEST_SUITE_P(WritePaths, MetadataKeep, testing::ValuesIn(rows()), rowName);

} // namespace
