#include "exif/jpegpropertyinfo.h"
#include "imaging/geometryops.h"
#include "imaging/orientation.h"
#include "imaging/picturefile.h"
#include "import/core/acquireformats.h"
#include "import/importcopier.h"
#include "tests/import/testcard.h"
#include "tests/support/dngwriter.h"
#include "tests/support/metadatadump.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <sys/mount.h>
#include <unistd.h>

using namespace kamelo;
using namespace kamelo::acquire;
using kamelo::test::ScratchDir;
namespace fs = std::filesystem;

namespace {

struct Recorder : ImportEvents {
    ClashChoice answer = ClashChoice::Rename;
    int asked = 0;
    int count = -1;
    std::vector<std::string> destinations;
    std::vector<std::string> failedSources;
    std::function<void(const std::string&)> onCopying;
    void started(int n) override { count = n; }
    void copying(const std::string&, const std::string& d) override {
        destinations.push_back(d);
        if (onCopying)
            onCopying(d);
    }
    void failed(const std::string& s, const std::string& reason) override {
        EXPECT_FALSE(reason.empty());
        failedSources.push_back(s);
    }
    ClashChoice askClash(const std::string&, const std::string&) override {
        ++asked;
        return answer;
    }
};

ImportSummary runJob(ImportJob job, Recorder& events, CopyHooks hooks = {},
                     const std::atomic<bool>* stopFlag = nullptr, bool detached = false) {
    std::atomic<bool> stop{false}, gone{detached};
    ImportCopier copier(std::move(job), std::move(hooks));
    return copier.run(events, stopFlag ? *stopFlag : stop, gone);
}

ImportJob plainJob(const test::TestCard& card, const std::string& folder) {
    ImportJob job;
    job.sources = card.listed;
    job.folder = folder;
    job.autoRotate = false;
    return job;
}

imaging::Bitmap decode(const std::string& path) {
    imaging::Bitmap b;
    EXPECT_GE(imaging::PictureFile::load(path, b), 1) << path;
    return b;
}

// Mean absolute difference of two same-sized pictures (JPEG re-encoding
// moves each sample a little; a wrong turn moves them a lot).
double difference(const imaging::Bitmap& a, const imaging::Bitmap& b) {
    if (a.width() != b.width() || a.height() != b.height())
        return 1e9;
    double sum = 0;
    for (int y = 0; y < a.height(); ++y) {
        const uint8_t* ra = a.row(y);
        const uint8_t* rb = b.row(y);
        for (int x = 0; x < a.width() * 3; ++x)
            sum += std::abs(int(ra[x]) - int(rb[x]));
    }
    return sum / (double(a.width()) * a.height() * 3);
}

} // namespace

TEST(ImportCopier, PlainCopiesAreByteIdenticalAndARepeatedNameGetsAnUnderscore) {
    KAMELO_REQUIRE_TESTDATA();
    ScratchDir dir;
    const auto card = test::makeTestCard(dir.file("card"));
    fs::create_directories(dir.file("out"));
    Recorder ev;
    const ImportSummary s = runJob(plainJob(card, dir.file("out")), ev);
    EXPECT_EQ(ev.count, 7);
    EXPECT_EQ(s.imported, 7);
    EXPECT_TRUE(s.complete());
    EXPECT_EQ(ev.asked, 0); // the second IMG_0001.JPG clashes with this run's file
    for (const std::string& src : card.listed) {
        const std::string name = fs::path(src).filename().string();
        const bool second = src.find("101CANON/IMG_0001") != std::string::npos;
        const std::string out = dir.file("out/") + (second ? "_" + name : name);
        EXPECT_EQ(test::readBytes(out), test::readBytes(src)) << out;
    }
    EXPECT_FALSE(fs::exists(dir.file("out/readme.txt")));
    EXPECT_TRUE(test::leftoverTemps(dir.file("out")).empty());
    // Nothing was deleted.
    for (const std::string& src : card.listed)
        EXPECT_TRUE(fs::exists(src));
}

TEST(ImportCopier, DateTakenNamesFromTheCameraDateAndBlankDatesKeepTheTitle) {
    KAMELO_REQUIRE_TESTDATA();
    ScratchDir dir;
    const auto card = test::makeTestCard(dir.file("card"));
    fs::create_directories(dir.file("out"));
    ImportJob job = plainJob(card, dir.file("out"));
    job.naming.rule = NameRule::DateTaken;
    Recorder ev;
    const ImportSummary s = runJob(job, ev);
    EXPECT_EQ(s.imported, 7);
    EXPECT_TRUE(fs::exists(dir.file("out/2008-05-30 15-56-01.JPG")));
    EXPECT_TRUE(fs::exists(dir.file("out/2008-03-15 09-52-01.JPG")));
    EXPECT_TRUE(fs::exists(dir.file("out/DSCF0005.JPG")));
    EXPECT_TRUE(fs::exists(dir.file("out/MVI_0004.MOV")));
    EXPECT_TRUE(fs::exists(dir.file("out/2012-09-29 16-11-25.JPG")));
}

TEST(ImportCopier, GroupNameRuleNumbersInListOrder) {
    KAMELO_REQUIRE_TESTDATA();
    ScratchDir dir;
    const auto card = test::makeTestCard(dir.file("card"));
    fs::create_directories(dir.file("out"));
    ImportJob job = plainJob(card, dir.file("out"));
    job.naming.rule = NameRule::GroupName;
    job.naming.groupName = "2004-05-01";
    Recorder ev;
    EXPECT_EQ(runJob(job, ev).imported, 7);
    EXPECT_EQ(test::readBytes(dir.file("out/2004-05-01 003.MOV")), test::readBytes(card.listed[3]));
    EXPECT_EQ(test::readBytes(dir.file("out/2004-05-01 006.JPG")), test::readBytes(card.listed[6]));
}

TEST(ImportCopier, TurnedPicturesHaveSwappedSizesOrientationOneAndTheirCameraInformation) {
    KAMELO_REQUIRE_TESTDATA();
    ScratchDir dir;
    const auto card = test::makeTestCard(dir.file("card"));
    fs::create_directories(dir.file("out"));
    ImportJob job = plainJob(card, dir.file("out"));
    job.autoRotate = true;
    Recorder ev;
    const ImportSummary s = runJob(job, ev);
    EXPECT_EQ(s.imported, 7);
    EXPECT_EQ(s.turned, 4); // 3, 8, 6 and the FujiFilm's 6
    struct Case {
        int index;
        std::string out;
        bool swapped;
    };
    for (const Case& c : {Case{0, "IMG_0001.JPG", false}, Case{2, "IMG_0003.JPG", true},
                          Case{6, "IMG_0006.JPG", true}, Case{4, "DSCF0005.JPG", true}}) {
        imaging::FileInfo in, out;
        ASSERT_GE(imaging::PictureFile::readInfo(card.listed[size_t(c.index)], in), 1);
        ASSERT_GE(imaging::PictureFile::readInfo(dir.file("out/" + c.out), out), 1);
        EXPECT_EQ(out.width, c.swapped ? in.height : in.width) << c.out;
        EXPECT_EQ(out.height, c.swapped ? in.width : in.height) << c.out;
        EXPECT_EQ(imaging::Orientation::read(dir.file("out/" + c.out)), 1) << c.out;
        const JpegPropertyInfo before = JpegPropertyInfo::read(card.listed[size_t(c.index)]);
        const JpegPropertyInfo after = JpegPropertyInfo::read(dir.file("out/" + c.out));
        for (uint16_t tag : {271, 272, 306}) {
            ASSERT_TRUE(before.item(tag)) << c.out << " " << tag;
            ASSERT_TRUE(after.item(tag)) << c.out << " " << tag;
            EXPECT_EQ(after.item(tag)->text, before.item(tag)->text) << c.out << " " << tag;
        }
    }
    // The upright ones and the movie are plain copies.
    EXPECT_EQ(test::readBytes(dir.file("out/IMG_0002.JPG")), test::readBytes(card.listed[1]));
    EXPECT_EQ(test::readBytes(dir.file("out/MVI_0004.MOV")), test::readBytes(card.listed[3]));
}

TEST(ImportCopier, TurnedPixelsMatchTheUprightPicture) {
    KAMELO_REQUIRE_TESTDATA();
    ScratchDir dir;
    // Orientations 2, 3, 4, 5, 7 and 8 set by the test on a small picture.
    std::vector<uint8_t> bytes = test::readBytes(test::testDataFile("camera/Canon_40D.jpg"));
    const imaging::Bitmap stored = decode(test::testDataFile("camera/Canon_40D.jpg"));
    ImportJob job;
    for (uint16_t o : {2, 3, 4, 5, 7, 8}) {
        ASSERT_TRUE(test::setOrientation(bytes, o));
        const std::string path = dir.file("card/O" + std::to_string(o) + ".JPG");
        test::writeBytes(path, bytes);
        job.sources.push_back(path);
    }
    fs::create_directories(dir.file("out"));
    job.folder = dir.file("out");
    Recorder ev;
    EXPECT_EQ(runJob(job, ev).turned, 6);
    for (int o : {2, 3, 4, 5, 7, 8}) {
        const std::string out = dir.file("out/O" + std::to_string(o) + ".JPG");
        imaging::Bitmap expected = stored;
        ASSERT_GE(imaging::Orientation::makeUpright(expected, o), 1);
        imaging::Bitmap notMirrored = stored;
        ASSERT_GE(imaging::GeometryOps::rotate(notMirrored, o >= 5 ? 9000 : 18000), 1);
        const imaging::Bitmap got = decode(out);
        EXPECT_EQ(imaging::Orientation::read(out), 1) << o;
        // Sides of 100 x 68 are no whole blocks: compressed again at the
        // file's own quality (65), which loses a little more than 96 did.
        EXPECT_LT(difference(got, expected), 8.0) << o;
        // A mirrored orientation really was mirrored, not only turned.
        if (o == 4 || o == 5) {
            EXPECT_GT(difference(got, notMirrored), 10.0) << o;
        }
    }
}

TEST(ImportCopier, AJpegCutShortAfterItsExifIsCopiedUnchanged) {
    KAMELO_REQUIRE_TESTDATA();
    ScratchDir dir;
    std::vector<uint8_t> bytes =
        test::readBytes(test::testDataFile("camera/Sony Cybershot (3).jpg"));
    // Keep the segments up to the end of the EXIF one, and a few bytes more.
    size_t at = 2;
    while (at + 4 < bytes.size() && !(bytes[at] == 0xFF && bytes[at + 1] == 0xE1))
        at += 2 + (size_t(bytes[at + 2]) << 8 | bytes[at + 3]);
    ASSERT_LT(at + 4, bytes.size());
    bytes.resize(at + 2 + (size_t(bytes[at + 2]) << 8 | bytes[at + 3]) + 20);
    test::writeBytes(dir.file("card/CUT.JPG"), bytes);
    fs::create_directories(dir.file("out"));
    ImportJob job;
    job.sources = {dir.file("card/CUT.JPG")};
    job.folder = dir.file("out");
    job.deleteSource = true;
    Recorder ev;
    const ImportSummary s = runJob(job, ev);
    EXPECT_EQ(s.imported, 1);
    EXPECT_EQ(s.turned, 0);
    // Byte for byte: its orientation mark (6) still tells the truth.
    EXPECT_EQ(test::readBytes(dir.file("out/CUT.JPG")), bytes);
    EXPECT_FALSE(fs::exists(dir.file("card/CUT.JPG")));
}

TEST(ImportCopier, TheCameraDateIsFoundBehindLargeSegmentsWithinTheFirst128KiB) {
    KAMELO_REQUIRE_TESTDATA();
    const std::vector<uint8_t> camera = test::readBytes(test::testDataFile("camera/Canon_40D.jpg"));
    struct Row {
        int paddingSegments; // of 60,000 bytes each, between SOI and the EXIF block
        bool deleteSource;
        const char* name;
    } rows[] = {
        {0, false, "2008-05-30 15-56-01.JPG"},
        {1, false, "2008-05-30 15-56-01.JPG"}, // past the first read
        {1, true, "2008-05-30 15-56-01.JPG"},  // the checksum covers every read
        {3, false, "IMG.JPG"},                 // past what is read for it at all
    };
    for (const Row& r : rows) {
        ScratchDir dir;
        std::vector<uint8_t> bytes(camera.begin(), camera.begin() + 2);
        for (int k = 0; k < r.paddingSegments; ++k) {
            const uint8_t app13[] = {0xFF, 0xED, 60000 >> 8, 60000 & 0xFF};
            bytes.insert(bytes.end(), app13, app13 + 4);
            bytes.resize(bytes.size() + 60000 - 2, uint8_t('a' + k));
        }
        bytes.insert(bytes.end(), camera.begin() + 2, camera.end());
        test::writeBytes(dir.file("card/IMG.JPG"), bytes);
        fs::create_directories(dir.file("out"));
        ImportJob job;
        job.sources = {dir.file("card/IMG.JPG")};
        job.folder = dir.file("out");
        job.naming.rule = NameRule::DateTaken;
        job.deleteSource = r.deleteSource;
        Recorder ev;
        EXPECT_TRUE(runJob(job, ev).complete()) << r.paddingSegments;
        EXPECT_EQ(test::readBytes(dir.file("out/") + r.name), bytes) << r.paddingSegments;
        EXPECT_EQ(fs::exists(dir.file("card/IMG.JPG")), !r.deleteSource);
    }
}

TEST(ImportCopier, JpegExtensionIsCopiedUnturned) {
    KAMELO_REQUIRE_TESTDATA();
    ScratchDir dir;
    test::copySample("Sony Cybershot (3).jpg", dir.file("card/A.jpeg"));
    fs::create_directories(dir.file("out"));
    ImportJob job;
    job.sources = {dir.file("card/A.jpeg")};
    job.folder = dir.file("out");
    Recorder ev;
    EXPECT_EQ(runJob(job, ev).turned, 0);
    EXPECT_EQ(test::readBytes(dir.file("out/A.jpeg")), test::readBytes(dir.file("card/A.jpeg")));
}

TEST(ImportCopier, PhoneAndRawFilesAreCopiedByteForByteAndNamedByTheirDate) {
    for (const char* tool : {"convert", "exiftool", "heif-enc"})
        ASSERT_TRUE(test::haveTool(tool)) << tool << " is needed";
    ScratchDir dir;
    const std::string dcim = dir.file("card/DCIM/100PHONE/");
    fs::create_directories(dcim);
    // A phone's HEIC and a camera's DNG, both turned by their orientation.
    const std::string jpeg = dir.file("made.jpg");
    test::commandOutput("convert -size 64x48 xc:'#c08020' " + test::quoted(jpeg) +
                        " && exiftool -q -q -overwrite_original -Orientation#=6 "
                        "-DateTimeOriginal='2024:05:06 07:08:09' " +
                        test::quoted(jpeg) + " && heif-enc -q 90 " + test::quoted(jpeg) + " -o " +
                        test::quoted(dcim + "IMG_0001.HEIC") + " >/dev/null");
    test::DngOptions raw;
    raw.orientation = 8;
    ASSERT_TRUE(test::writeDng(dcim + "IMG_0002.DNG", raw));
    test::commandOutput("exiftool -q -q -overwrite_original "
                        "-DateTimeOriginal='2024:05:07 10:11:12' " +
                        test::quoted(dcim + "IMG_0002.DNG"));
    for (const char* name : {"IMG_0001.HEIC", "IMG_0002.DNG"})
        ASSERT_TRUE(isAcceptedPath(dcim + name)) << name;

    struct Row {
        NameRule rule;
        const char* heic;
        const char* dng;
    };
    for (const Row& row :
         {Row{NameRule::KeepName, "IMG_0001.HEIC", "IMG_0002.DNG"},
          Row{NameRule::DateTaken, "2024-05-06 07-08-09.HEIC", "2024-05-07 10-11-12.DNG"}}) {
        const std::string out = dir.file("out" + std::to_string(int(row.rule)));
        fs::create_directories(out);
        ImportJob job;
        job.sources = {dcim + "IMG_0001.HEIC", dcim + "IMG_0002.DNG"};
        job.folder = out;
        job.autoRotate = true;
        job.naming.rule = row.rule;
        Recorder ev;
        const ImportSummary s = runJob(job, ev);
        EXPECT_EQ(s.imported, 2);
        EXPECT_EQ(s.turned, 0);
        EXPECT_EQ(test::readBytes(out + "/" + row.heic), test::readBytes(dcim + "IMG_0001.HEIC"));
        EXPECT_EQ(test::readBytes(out + "/" + row.dng), test::readBytes(dcim + "IMG_0002.DNG"));
    }
}

namespace {
struct ClashFixture {
    ScratchDir dir;
    test::TestCard card;
    ImportJob job;
    ClashFixture() {
        card = test::makeTestCard(dir.file("card"));
        fs::create_directories(dir.file("out"));
        // There before the run: IMG_0002.JPG and its first new name.
        test::writeBytes(dir.file("out/IMG_0002.JPG"), {'o', 'l', 'd'});
        test::writeBytes(dir.file("out/_IMG_0002.JPG"), {'o', 'l', 'd', '2'});
        test::writeBytes(dir.file("out/MVI_0004.MOV"), {'o', 'l', 'd', '3'});
        job = plainJob(card, dir.file("out"));
    }
};
} // namespace

TEST(ImportCopier, ClashRenameAddsUnderscoresUntilFreeAndIsAskedOnce) {
    KAMELO_REQUIRE_TESTDATA();
    ClashFixture f;
    Recorder ev;
    ev.answer = ClashChoice::Rename;
    const ImportSummary s = runJob(f.job, ev);
    EXPECT_EQ(ev.asked, 1);
    EXPECT_EQ(s.imported, 7);
    EXPECT_EQ(test::readBytes(f.dir.file("out/__IMG_0002.JPG")), test::readBytes(f.card.listed[1]));
    EXPECT_EQ(test::readBytes(f.dir.file("out/_MVI_0004.MOV")), test::readBytes(f.card.listed[3]));
    EXPECT_EQ(test::readBytes(f.dir.file("out/IMG_0002.JPG")),
              (std::vector<uint8_t>{'o', 'l', 'd'}));
}

TEST(ImportCopier, ClashSkipLeavesTheOldFilesAndSkipsEveryClash) {
    KAMELO_REQUIRE_TESTDATA();
    ClashFixture f;
    Recorder ev;
    ev.answer = ClashChoice::Skip;
    f.job.deleteSource = true;
    const ImportSummary s = runJob(f.job, ev);
    EXPECT_EQ(ev.asked, 1);
    EXPECT_EQ(s.skipped, 2);
    EXPECT_EQ(s.imported, 5);
    EXPECT_FALSE(s.complete());
    EXPECT_EQ(test::readBytes(f.dir.file("out/IMG_0002.JPG")),
              (std::vector<uint8_t>{'o', 'l', 'd'}));
    // Skipped sources stay on the card; imported ones are gone.
    EXPECT_TRUE(fs::exists(f.card.listed[1]));
    EXPECT_TRUE(fs::exists(f.card.listed[3]));
    EXPECT_FALSE(fs::exists(f.card.listed[0]));
    EXPECT_EQ(s.deleted, 5);
}

TEST(ImportCopier, ClashOverwriteReplacesOnlyFilesThatWereThereBeforeTheRun) {
    KAMELO_REQUIRE_TESTDATA();
    ClashFixture f;
    test::writeBytes(f.dir.file("out/IMG_0001.JPG"), {'o', 'l', 'd'});
    Recorder ev;
    ev.answer = ClashChoice::Overwrite;
    const ImportSummary s = runJob(f.job, ev);
    EXPECT_EQ(ev.asked, 1);
    EXPECT_EQ(s.imported, 7);
    EXPECT_EQ(test::readBytes(f.dir.file("out/IMG_0002.JPG")), test::readBytes(f.card.listed[1]));
    EXPECT_EQ(test::readBytes(f.dir.file("out/MVI_0004.MOV")), test::readBytes(f.card.listed[3]));
    // 100CANON's IMG_0001.JPG replaced the old file; 101CANON's never
    // replaced it in turn.
    EXPECT_EQ(test::readBytes(f.dir.file("out/IMG_0001.JPG")), test::readBytes(f.card.listed[0]));
    EXPECT_EQ(test::readBytes(f.dir.file("out/_IMG_0001.JPG")), test::readBytes(f.card.listed[5]));
}

TEST(ImportCopier, ClashStopEndsTheRunAndDeletesOnlyWhatWasImported) {
    KAMELO_REQUIRE_TESTDATA();
    ClashFixture f;
    Recorder ev;
    ev.answer = ClashChoice::Stop;
    f.job.deleteSource = true;
    const ImportSummary s = runJob(f.job, ev);
    EXPECT_TRUE(s.stoppedAtClash);
    EXPECT_EQ(s.imported, 1);
    EXPECT_EQ(s.notReached, 6);
    EXPECT_FALSE(fs::exists(f.card.listed[0]));
    for (size_t i = 1; i < f.card.listed.size(); ++i)
        EXPECT_TRUE(fs::exists(f.card.listed[i])) << i;
}

TEST(ImportCopier, AWriteFailureIsCountedAndOnlyCheckedSourcesAreDeleted) {
    KAMELO_REQUIRE_TESTDATA();
    ScratchDir dir;
    const auto card = test::makeTestCard(dir.file("card"));
    fs::create_directories(dir.file("out"));
    ImportJob job = plainJob(card, dir.file("out"));
    job.deleteSource = true;
    job.autoRotate = true;
    CopyHooks hooks;
    // The movie and the turned A85 fail part-way with a full disk.
    hooks.writeFault = [](const std::string& d, uint64_t offset) {
        const bool hit =
            d.find("MVI_0004") != std::string::npos || d.find("IMG_0003") != std::string::npos;
        return hit && offset > 100 ? ENOSPC : 0;
    };
    Recorder ev;
    const ImportSummary s = runJob(job, ev, hooks);
    EXPECT_EQ(s.failed, 2);
    EXPECT_EQ(s.imported, 5);
    EXPECT_EQ(s.deleted, 5);
    EXPECT_FALSE(s.complete());
    EXPECT_EQ(ev.failedSources, (std::vector<std::string>{card.listed[2], card.listed[3]}));
    EXPECT_TRUE(fs::exists(card.listed[2]));
    EXPECT_TRUE(fs::exists(card.listed[3]));
    EXPECT_FALSE(fs::exists(dir.file("out/MVI_0004.MOV")));
    EXPECT_FALSE(fs::exists(dir.file("out/IMG_0003.JPG")));
    EXPECT_FALSE(fs::exists(card.listed[0]));
    EXPECT_TRUE(test::leftoverTemps(dir.file("out")).empty());
}

TEST(ImportCopier, ACancelMidFileLeavesNoPartialFileAndDeletesOnlyCheckedSources) {
    KAMELO_REQUIRE_TESTDATA();
    ScratchDir dir;
    auto card = test::makeTestCard(dir.file("card"));
    // A movie of several blocks, cancelled inside its second block.
    test::writeBytes(card.listed[3], std::vector<uint8_t>(3 << 20, 0x11));
    fs::create_directories(dir.file("out"));
    ImportJob job = plainJob(card, dir.file("out"));
    job.deleteSource = true;
    std::atomic<bool> stop{false};
    CopyHooks hooks;
    hooks.writeFault = [&stop](const std::string& d, uint64_t offset) {
        if (d.find("MVI_0004") != std::string::npos && offset > (1u << 20))
            stop = true;
        return 0;
    };
    Recorder ev;
    const ImportSummary s = runJob(job, ev, hooks, &stop);
    EXPECT_TRUE(s.cancelled);
    EXPECT_EQ(s.imported, 3);
    EXPECT_EQ(s.deleted, 3);
    EXPECT_EQ(s.notReached, 4);
    EXPECT_FALSE(fs::exists(dir.file("out/MVI_0004.MOV")));
    EXPECT_TRUE(test::leftoverTemps(dir.file("out")).empty());
    for (size_t i = 0; i < card.listed.size(); ++i)
        EXPECT_EQ(fs::exists(card.listed[i]), i >= 3) << i;
}

TEST(ImportCopier, ACdromOrADetachedRunDeletesNothing) {
    KAMELO_REQUIRE_TESTDATA();
    for (bool cdrom : {true, false}) {
        ScratchDir dir;
        const auto card = test::makeTestCard(dir.file("card"));
        fs::create_directories(dir.file("out"));
        ImportJob job = plainJob(card, dir.file("out"));
        job.deleteSource = true;
        job.mayDelete = !cdrom;
        Recorder ev;
        const ImportSummary s = runJob(job, ev, {}, nullptr, /*detached=*/!cdrom);
        EXPECT_EQ(s.imported, 7);
        EXPECT_EQ(s.deleted, 0);
        for (const std::string& src : card.listed)
            EXPECT_TRUE(fs::exists(src)) << src;
    }
}

TEST(ImportCopier, SpecialFilesAndMissingFilesFailWithoutBlocking) {
    ScratchDir dir;
    fs::create_directories(dir.file("card"));
    fs::create_directories(dir.file("out"));
    ASSERT_EQ(::mkfifo(dir.file("card/PIPE.JPG").c_str(), 0600), 0);
    ImportJob job;
    job.sources = {dir.file("card/PIPE.JPG"), dir.file("card/GONE.JPG")};
    job.folder = dir.file("out");
    job.deleteSource = true;
    Recorder ev;
    const ImportSummary s = runJob(job, ev);
    EXPECT_EQ(s.failed, 2);
    EXPECT_EQ(s.deleted, 0);
    EXPECT_TRUE(fs::exists(dir.file("card/PIPE.JPG")));
}

// A real full disk where the test may mount one.
TEST(ImportCopier, ATinyFullFileSystemFailsFilesWithoutLosingAny) {
    KAMELO_REQUIRE_TESTDATA();
    ScratchDir dir;
    const auto card = test::makeTestCard(dir.file("card"));
    fs::create_directories(dir.file("out"));
    if (::geteuid() != 0 || ::mount("tmpfs", dir.file("out").c_str(), "tmpfs", 0, "size=256k") != 0)
        GTEST_SKIP() << "cannot mount a small file system here; the copier hook test covers it";
    struct Unmount {
        std::string path;
        ~Unmount() { ::umount2(path.c_str(), MNT_DETACH); }
    } unmount{dir.file("out")};
    ImportJob job = plainJob(card, dir.file("out"));
    job.deleteSource = true;
    Recorder ev;
    const ImportSummary s = runJob(job, ev);
    EXPECT_GT(s.failed, 0);
    EXPECT_GT(s.imported, 0);
    EXPECT_EQ(s.deleted, s.imported);
    EXPECT_TRUE(test::leftoverTemps(dir.file("out")).empty());
    int kept = 0;
    for (const std::string& src : card.listed)
        kept += fs::exists(src) ? 1 : 0;
    EXPECT_EQ(kept, s.failed);
    for (const std::string& out : s.written)
        EXPECT_TRUE(fs::exists(out));
}

// Without "Delete source" the kernel copies the bytes; failures and a cancel
// leave nothing behind there too.
TEST(ImportCopier, KernelCopyFailureAndCancelLeaveNoPartialFile) {
    KAMELO_REQUIRE_TESTDATA();
    ScratchDir dir;
    auto card = test::makeTestCard(dir.file("card"));
    test::writeBytes(card.listed[3], std::vector<uint8_t>(3 << 20, 0x22));
    fs::create_directories(dir.file("out"));
    {
        CopyHooks hooks;
        hooks.writeFault = [](const std::string& d, uint64_t) {
            return d.find("MVI_0004") != std::string::npos ? EIO : 0;
        };
        Recorder ev;
        const ImportSummary s = runJob(plainJob(card, dir.file("out")), ev, hooks);
        EXPECT_EQ(s.failed, 1);
        EXPECT_EQ(s.imported, 6);
        EXPECT_FALSE(fs::exists(dir.file("out/MVI_0004.MOV")));
        EXPECT_EQ(test::readBytes(dir.file("out/IMG_0003.JPG")), test::readBytes(card.listed[2]));
    }
    fs::remove_all(dir.file("out"));
    fs::create_directories(dir.file("out"));
    {
        std::atomic<bool> stop{false};
        CopyHooks hooks;
        hooks.writeFault = [&stop](const std::string& d, uint64_t) {
            if (d.find("MVI_0004") != std::string::npos)
                stop = true;
            return 0;
        };
        Recorder ev;
        const ImportSummary s = runJob(plainJob(card, dir.file("out")), ev, hooks, &stop);
        EXPECT_TRUE(s.cancelled);
        EXPECT_EQ(s.imported, 3);
        EXPECT_FALSE(fs::exists(dir.file("out/MVI_0004.MOV")));
    }
    EXPECT_TRUE(test::leftoverTemps(dir.file("out")).empty());
}
