// A folder of phone and camera pictures (HEIC, AVIF, WebP, JPEG XL, DNG)
// through kamelo-cli as a script would use it: information, camera rows,
// thumbnails, conversion and the import of a memory card.
#include "browser/core/thumbarchive.h"
#include "browser/core/thumbimagelist.h"
#include "imaging/bitmap.h"
#include "imaging/picturefile.h"
#include "tests/cli/clirunner.h"
#include "tests/support/dngwriter.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>

using kamelo::test::cli;
using kamelo::test::CliResult;
using kamelo::test::ScratchDir;
using kamelo::test::shellQuote;
namespace fs = std::filesystem;

namespace {

// The picture every encoder gets: one colour, so a decode can be checked
// by any pixel.
constexpr uint32_t kColour = 0x3070B0;
constexpr int kWidth = 64, kHeight = 48;
// The DNG's preview and its sensor differ, so a thumbnail shows which one
// it was made from.
constexpr uint32_t kPreviewColour = 0x20A040;
constexpr int kPreviewWidth = 160, kPreviewHeight = 120;

struct Sample {
    const char* file;
    const char* formatName;  // kamelo-cli info's second column
    const char* compression; // the start of its compression column
    bool hasPreview;         // thumbnails come from an embedded picture
};

const Sample kSamples[] = {
    {"phone.heic", "HEIF", "HEIF", true}, {"still.avif", "AVIF", "AVIF", false},
    {"web.webp", "WEBP", "WebP", false},  {"new.jxl", "JXL", "JPEG XL", false},
    {"camera.dng", "RAW", "RAW (", true},
};

void run(const std::string& command) {
    ASSERT_EQ(std::system((command + " >/dev/null 2>&1").c_str()), 0) << command;
}

void requireTool(const char* name) {
    // A missing encoder must fail the tests, not skip them.
    ASSERT_EQ(std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()), 0)
        << name << " is needed to make the samples (scripts/install-deps.sh)";
}

bool near(uint32_t a, uint32_t b, int tolerance) {
    for (int shift : {0, 8, 16})
        if (std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)) > tolerance)
            return false;
    return true;
}

std::string hex(uint32_t rgb) {
    char s[8];
    std::snprintf(s, sizeof s, "%06X", rgb);
    return s;
}

// Lines of text output, split at tabs.
std::vector<std::vector<std::string>> table(const std::string& text) {
    std::vector<std::vector<std::string>> rows;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos)
            end = text.size();
        std::vector<std::string> cells;
        size_t c = at;
        while (true) {
            const size_t tab = text.find('\t', c);
            if (tab == std::string::npos || tab > end) {
                cells.push_back(text.substr(c, end - c));
                break;
            }
            cells.push_back(text.substr(c, tab - c));
            c = tab + 1;
        }
        rows.push_back(cells);
        at = end + 1;
    }
    return rows;
}

class KameloCliModernFormats : public ::testing::Test {
protected:
    // The samples are made once for every test: the encoders take a moment.
    static void SetUpTestSuite() {
        dir_ = std::make_unique<ScratchDir>();
        photos_ = dir_->file("photos");
        fs::create_directories(photos_);
        for (const char* tool : {"convert", "heif-enc", "avifenc", "cwebp", "cjxl", "exiftool"})
            requireTool(tool);
        const std::string png = dir_->file("source.png");
        run("convert -size " + std::to_string(kWidth) + "x" + std::to_string(kHeight) + " xc:'#" +
            hex(kColour) + "' PNG24:" + shellQuote(png));
        const std::string p = photos_ + "/";
        run("heif-enc -q 90 -t 32 " + shellQuote(png) + " -o " + shellQuote(p + "phone.heic"));
        run("avifenc -s 10 --lossless " + shellQuote(png) + " " + shellQuote(p + "still.avif"));
        run("cwebp -quiet -lossless " + shellQuote(png) + " -o " + shellQuote(p + "web.webp"));
        run("cjxl -d 0 " + shellQuote(png) + " " + shellQuote(p + "new.jxl"));
        kamelo::test::DngOptions dng;
        dng.rawWidth = kWidth;
        dng.rawHeight = kHeight;
        dng.previewWidth = kPreviewWidth;
        dng.previewHeight = kPreviewHeight;
        dng.previewRgb = kPreviewColour;
        dng.make = "Kamelo";
        dng.model = "Card Camera";
        ASSERT_TRUE(kamelo::test::writeDng(p + "camera.dng", dng));
        // The camera rows, as exiftool writes them into each kind of file.
        for (const Sample& s : kSamples)
            run("exiftool -m -q -overwrite_original -Make=Kamelo '-Model=Card Camera' "
                "'-DateTimeOriginal=2024:05:06 07:08:09' -ExposureTime=1/125 " +
                shellQuote(p + s.file));
    }
    static void TearDownTestSuite() { dir_.reset(); }

    static std::string path(const Sample& s) { return photos_ + "/" + s.file; }

    static std::unique_ptr<ScratchDir> dir_;
    static std::string photos_;
};

std::unique_ptr<ScratchDir> KameloCliModernFormats::dir_;
std::string KameloCliModernFormats::photos_;

TEST_F(KameloCliModernFormats, InfoNamesSizeAndCompression) {
    std::vector<std::string> args = {"info"};
    for (const Sample& s : kSamples)
        args.push_back(path(s));
    const CliResult r = cli(*dir_, args);
    ASSERT_EQ(r.code, 0) << r.out;
    const auto rows = table(r.out);
    ASSERT_GE(rows.size(), std::size(kSamples)) << r.out;
    for (size_t i = 0; i < std::size(kSamples); ++i) {
        const Sample& s = kSamples[i];
        SCOPED_TRACE(s.file);
        ASSERT_EQ(rows[i].size(), 8u) << r.out;
        EXPECT_EQ(rows[i][0], path(s));
        EXPECT_EQ(rows[i][1], s.formatName);
        EXPECT_EQ(rows[i][2], std::to_string(kWidth));
        EXPECT_EQ(rows[i][3], std::to_string(kHeight));
        EXPECT_EQ(rows[i][6].rfind(s.compression, 0), 0u) << rows[i][6];
        EXPECT_EQ(rows[i][7], std::to_string(fs::file_size(path(s))));
    }
}

TEST_F(KameloCliModernFormats, ExifShowsTheRowsExiftoolWrote) {
    for (const Sample& s : kSamples) {
        SCOPED_TRACE(s.file);
        const CliResult r = cli(*dir_, {"exif", path(s)});
        ASSERT_EQ(r.code, 0) << r.out;
        for (const char* row :
             {"카메라 제조사\tKamelo\n", "카메라 모델\tCard Camera\n",
              "사진찍은 날짜\t2024:05:06 07:08:09\n", "셔터속도\t1/125초 (0.0080초)\n"})
            EXPECT_NE(r.out.find(row), std::string::npos) << row << "\n" << r.out;
    }
}

TEST_F(KameloCliModernFormats, ThumbnailsComeFromPreviewsWhereThereAreSome) {
    const std::string cache = dir_->file("cache");
    const CliResult r = cli(*dir_, {"thumbs", photos_, "--cache", cache});
    ASSERT_EQ(r.code, 0) << r.out;
    EXPECT_NE(r.out.find("pictures: " + std::to_string(std::size(kSamples)) + "\n"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(r.out.find("unreadable:"), std::string::npos) << r.out;

    std::vector<kamelo::CThumbData> records;
    ASSERT_TRUE(kamelo::ThumbArchive::readFile(cache + "/0.lis", records));
    kamelo::ThumbImageList images;
    ASSERT_TRUE(kamelo::ThumbImageListFile::readFile(cache + "/0.cac", images));
    std::map<std::string, const kamelo::CThumbData*> byName;
    for (const auto& rec : records)
        byName[rec.displayName] = &rec;
    for (const Sample& s : kSamples) {
        SCOPED_TRACE(s.file);
        ASSERT_TRUE(byName.count(s.file));
        const kamelo::CThumbData& rec = *byName[s.file];
        EXPECT_EQ(rec.thumbnailDone, 1);
        ASSERT_GE(rec.imageIndex, 0);
        ASSERT_LT(size_t(rec.imageIndex), images.images.size());
        ASSERT_NE(rec.pictureRect.left, INT32_MIN);
        // The middle of the drawn picture: the DNG's shows its preview's
        // colour, not the sensor's; the others the encoded colour.
        const int x = (rec.pictureRect.left + rec.pictureRect.right) / 2;
        const int y = (rec.pictureRect.top + rec.pictureRect.bottom) / 2;
        const auto& cell = images.images[size_t(rec.imageIndex)];
        const uint8_t* px = cell.data() + (size_t(y) * size_t(images.width) + size_t(x)) * 3;
        const uint32_t got = uint32_t(px[2]) << 16 | uint32_t(px[1]) << 8 | px[0];
        const uint32_t want = std::string(s.formatName) == "RAW" ? kPreviewColour : kColour;
        EXPECT_TRUE(near(got, want, 12)) << hex(got) << " for " << hex(want);
    }
}

TEST_F(KameloCliModernFormats, ConvertsToEveryWrittenFormat) {
    struct Target {
        const char* option;
        kamelo::imaging::PictureFormat format;
        int tolerance; // of the colour after a round trip; the DNG is developed
    };
    const Target targets[] = {{"JPG", kamelo::imaging::PictureFormat::Jpeg, 6},
                              {"PNG", kamelo::imaging::PictureFormat::Png, 2},
                              {"WEBP", kamelo::imaging::PictureFormat::WebP, 8},
                              {"AVIF", kamelo::imaging::PictureFormat::Avif, 10}};
    for (const Target& t : targets) {
        SCOPED_TRACE(t.option);
        const std::string out = dir_->file(std::string("converted-") + t.option);
        std::vector<std::string> args = {"convert", "--format", t.option, "--out", out};
        for (const Sample& s : kSamples)
            args.push_back(path(s));
        const CliResult r = cli(*dir_, args);
        ASSERT_EQ(r.code, 0) << r.out;
        for (const Sample& s : kSamples) {
            SCOPED_TRACE(s.file);
            // Where kamelo-cli says it wrote the file (a picture already in
            // the format keeps its own extension).
            const std::string from = path(s) + " -> " + out + "/";
            const size_t line = r.out.find(from);
            ASSERT_NE(line, std::string::npos) << r.out;
            const size_t name = line + from.size();
            const std::string written =
                out + "/" + r.out.substr(name, r.out.find('\n', name) - name);
            EXPECT_EQ(fs::path(written).stem().string(), fs::path(s.file).stem().string());
            ASSERT_TRUE(fs::exists(written)) << r.out;
            kamelo::imaging::Bitmap b;
            ASSERT_GE(kamelo::imaging::PictureFile::load(written, b), 1);
            kamelo::imaging::FileInfo info;
            ASSERT_GE(kamelo::imaging::PictureFile::readInfo(written, info), 1);
            EXPECT_EQ(info.format, t.format);
            EXPECT_EQ(b.width(), kWidth);
            EXPECT_EQ(b.height(), kHeight);
            if (std::string(s.formatName) != "RAW") {
                EXPECT_TRUE(near(b.pixel(kWidth / 2, kHeight / 2), kColour, t.tolerance))
                    << hex(b.pixel(kWidth / 2, kHeight / 2));
            }
        }
    }
}

TEST_F(KameloCliModernFormats, ImportCopiesPhoneAndRawFilesByteForByte) {
    const std::string card = dir_->file("card"), dest = dir_->file("imported");
    fs::create_directories(card + "/DCIM/100KAMEL");
    const std::map<std::string, std::string> onCard = {
        {"IMG_0001.HEIC", path(kSamples[0])},
        {"IMG_0002.DNG", path(kSamples[4])},
        {"IMG_0003.heic", path(kSamples[0])},
    };
    for (const auto& [name, from] : onCard)
        fs::copy_file(from, card + "/DCIM/100KAMEL/" + name);
    // A phone picture taken sideways is still copied as it is: only JPEGs
    // are turned upright on import.
    run("exiftool -m -q -overwrite_original -Orientation#=6 " +
        shellQuote(card + "/DCIM/100KAMEL/IMG_0003.heic"));
    std::map<std::string, std::string> original;
    for (const auto& [name, from] : onCard)
        original[name] = kamelo::test::readFile(card + "/DCIM/100KAMEL/" + name);
    const CliResult r = cli(*dir_, {"import", card, dest});
    ASSERT_EQ(r.code, 0) << r.out;
    EXPECT_NE(r.out.find("imported\t" + std::to_string(onCard.size()) + "\n"), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("turned\t0\n"), std::string::npos) << r.out;
    for (const auto& [name, bytes] : original) {
        SCOPED_TRACE(name);
        std::string found;
        for (const auto& e : fs::recursive_directory_iterator(dest))
            if (e.path().filename() == name)
                found = e.path().string();
        ASSERT_FALSE(found.empty()) << r.out;
        EXPECT_EQ(kamelo::test::readFile(found), bytes);
    }
}

} // namespace
