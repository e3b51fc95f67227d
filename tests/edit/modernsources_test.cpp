// Phones' and cameras' files as sources of the batch tools: HEIF, JPEG XL
// and RAW are read but not written, so their pictures go into JPEGs beside
// them; WebP and AVIF are written back as what they are.

#include "base/pictureextensions.h"
#include "edit/batchrunner.h"
#include "edit/resizeops.h"
#include "imaging/picturefile.h"
#include "imaging/pictureformat.h"
#include "import/core/acquireformats.h"
#include "tests/support/dngwriter.h"
#include "tests/support/metadatadump.h"

#include <gtest/gtest.h>

#include <atomic>

using namespace kamelo;
using namespace kamelo::edit;
using kamelo::test::ScratchDir;

namespace {

struct Answering : BatchEvents {
    OverwriteAnswer answer = OverwriteAnswer::No;
    std::vector<std::string> asked;
    std::vector<std::pair<std::string, std::string>> writtenFiles;
    std::vector<std::string> failures;
    OverwriteAnswer askOverwrite(const std::string& d) override {
        asked.push_back(d);
        return answer;
    }
    void written(const std::string& s, const std::string& d) override {
        writtenFiles.emplace_back(s, d);
    }
    void failed(const std::string& s, const std::string& reason) override {
        failures.push_back(s + ": " + reason);
    }
};

BatchJob halfSize(std::vector<std::string> sources) {
    BatchJob job;
    job.sources = std::move(sources);
    ResizeSettings half;
    half.percent = 50;
    job.step = ResizeOps::step(half);
    return job;
}

} // namespace

TEST(ModernSources, EveryListOfPicturesTakesTheNewerExtensions) {
    for (std::string_view ext : imaging::modernExtensions()) {
        EXPECT_TRUE(PictureExtensions::isPicture(ext)) << ext;
        EXPECT_TRUE(acquire::isAcceptedExtension(ext)) << ext;
    }
}

TEST(ModernSources, ReadOnlyFormatsAreWrittenAsJpegsBesideOrInTheFolder) {
    struct Row {
        const char* source;
        DestinationMode mode;
        const char* destination;
    };
    const Row rows[] = {
        {"/p/IMG_1.HEIC", DestinationMode::Overwrite, "/p/IMG_1.JPG"},
        {"/p/a.jxl", DestinationMode::Overwrite, "/p/a.JPG"},
        {"/p/b.CR2", DestinationMode::Folder, "/out/b.JPG"},
        {"/p/c.dng", DestinationMode::Folder, "/out/c.JPG"},
        {"/p/d.webp", DestinationMode::Overwrite, "/p/d.webp"},
        {"/p/e.avif", DestinationMode::Folder, "/out/e.avif"},
        {"/p/f.png", DestinationMode::Overwrite, "/p/f.png"},
    };
    for (const Row& row : rows) {
        BatchJob job = halfSize({row.source});
        job.mode = row.mode;
        job.folder = "/out";
        EXPECT_EQ(BatchRunner(job).destinationOf(0), row.destination) << row.source;
    }
}

TEST(ModernSources, AResizedRawLeavesItselfAndAsksBeforeTheCamerasJpeg) {
    ScratchDir dir;
    test::DngOptions options;
    options.rawWidth = 128;
    options.rawHeight = 96;
    const std::string dng = dir.file("IMG_0001.dng");
    ASSERT_TRUE(test::writeDng(dng, options));
    const std::string before = test::readFile(dng);

    Answering events;
    std::atomic<bool> stop{false};
    BatchRunner(halfSize({dng})).run(events, stop);
    ASSERT_TRUE(events.failures.empty()) << events.failures.front();
    ASSERT_EQ(events.writtenFiles.size(), 1u);
    const std::string jpeg = events.writtenFiles[0].second;
    EXPECT_EQ(jpeg, dir.file("IMG_0001.JPG"));
    imaging::FileInfo info;
    ASSERT_GE(imaging::PictureFile::readInfo(jpeg, info), 1);
    EXPECT_EQ(info.format, imaging::PictureFormat::Jpeg);
    imaging::FileInfo raw;
    ASSERT_GE(imaging::PictureFile::readInfo(dng, raw), 1);
    EXPECT_EQ(info.width, (raw.width + 1) / 2);
    EXPECT_EQ(test::readFile(dng), before);

    // The second run meets that JPEG: asked about, and kept when refused.
    const std::string first = test::readFile(jpeg);
    Answering refusing;
    BatchRunner(halfSize({dng})).run(refusing, stop);
    EXPECT_EQ(refusing.asked, std::vector<std::string>{jpeg});
    EXPECT_TRUE(refusing.writtenFiles.empty());
    EXPECT_EQ(test::readFile(jpeg), first);
}
