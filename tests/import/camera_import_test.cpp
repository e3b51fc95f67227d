// Import from a camera through libgphoto2's "Directory Browse" driver, which
// shows a folder as a camera: the same calls a phone over USB answers.
#include "import/camerasource.h"
#include "import/importcopier.h"
#include "tests/import/testcard.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <utime.h>

using namespace kamelo;
using namespace kamelo::acquire;
using kamelo::test::ScratchDir;
namespace fs = std::filesystem;

namespace {

struct Events : ImportEvents {
    ClashChoice answer = ClashChoice::Rename;
    int asked = 0;
    std::function<void()> afterWrite;
    ClashChoice askClash(const std::string&, const std::string&) override {
        ++asked;
        return answer;
    }
    void written(const std::string&, const std::string&) override {
        if (afterWrite)
            afterWrite();
    }
};

class CameraImport : public ::testing::Test {
protected:
    void SetUp() override {
        KAMELO_REQUIRE_TESTDATA();
        card = test::makeTestCard(dir.file("card"));
        out = dir.file("out");
        fs::create_directories(out);
    }
    std::shared_ptr<CameraSource> openCard() {
        std::unique_ptr<GPhotoCamera> camera;
        const int rc = GPhotoCamera::open({}, "disk:" + card.root, camera);
        EXPECT_EQ(rc, 0) << GPhotoCamera::errorText(rc);
        return camera ? std::make_shared<CameraSource>(std::move(camera)) : nullptr;
    }
    ImportSummary run(const std::shared_ptr<CameraSource>& source, Events& events,
                      ImportJob job = {}, CopyHooks hooks = {}) {
        std::vector<CameraPhoto> photos;
        EXPECT_EQ(source->list(photos), 0);
        job.sources.clear();
        for (const CameraPhoto& p : photos)
            job.sources.push_back(p.path());
        job.folder = out;
        job.fetcher = source;
        source->prepare(photos, out);
        std::atomic<bool> stop{false}, detached{false};
        return ImportCopier(std::move(job), std::move(hooks)).run(events, stop, detached);
    }
    // The card's listed files as the camera names them.
    std::vector<std::string> cameraPaths() const {
        std::vector<std::string> paths;
        for (const std::string& s : card.listed)
            paths.push_back(s.substr(card.root.size()));
        return paths;
    }

    ScratchDir dir;
    test::TestCard card;
    std::string out;
};

} // namespace

TEST_F(CameraImport, ListsTheCardsAcceptedFilesInFolderAndNameOrderWithSizesAndDates) {
    const std::string stamped = card.listed[1];
    struct utimbuf when {
        1700000000, 1700000000
    };
    ASSERT_EQ(::utime(stamped.c_str(), &when), 0);
    auto source = openCard();
    ASSERT_TRUE(source);
    std::vector<CameraPhoto> photos;
    ASSERT_EQ(source->list(photos), 0);
    std::vector<std::string> paths;
    for (const CameraPhoto& p : photos) {
        paths.push_back(p.path());
        EXPECT_EQ(p.size, fs::file_size(card.root + p.path())) << p.path();
        EXPECT_EQ(p.date.size(), 19u) << p.path();
    }
    EXPECT_EQ(paths, cameraPaths());
    EXPECT_EQ(photos[1].folder, "/DCIM/100CANON");
    EXPECT_EQ(photos[1].mtime, 1700000000);
}

TEST_F(CameraImport, CopiesEveryFileCheckedAndLeavesNoTemporaryFiles) {
    auto source = openCard();
    ASSERT_TRUE(source);
    Events events;
    ImportJob job;
    job.autoRotate = false;
    const ImportSummary s = run(source, events, job);
    EXPECT_EQ(s.imported, 7);
    EXPECT_TRUE(s.complete());
    // The two IMG_0001.JPG of two folders: the second takes a free name.
    EXPECT_EQ(test::readBytes(out + "/IMG_0001.JPG"), test::readBytes(card.listed[0]));
    EXPECT_EQ(test::readBytes(out + "/_IMG_0001.JPG"), test::readBytes(card.listed[5]));
    EXPECT_EQ(test::readBytes(out + "/MVI_0004.MOV"), test::readBytes(card.listed[3]));
    EXPECT_EQ(events.asked, 0);
    EXPECT_TRUE(test::leftoverTemps(out).empty());
    for (const std::string& f : card.listed)
        EXPECT_TRUE(fs::exists(f));
}

TEST_F(CameraImport, AClashIsAskedOnceAndItsAnswerHeldForTheRun) {
    const struct {
        ClashChoice answer;
        int imported, skipped;
        bool oldKept;
    } rows[] = {{ClashChoice::Skip, 5, 2, true},
                {ClashChoice::Rename, 7, 0, true},
                {ClashChoice::Overwrite, 7, 0, false}};
    for (const auto& row : rows) {
        SCOPED_TRACE(int(row.answer));
        fs::remove_all(out);
        test::writeBytes(out + "/IMG_0002.JPG", {'o', 'l', 'd'});
        test::writeBytes(out + "/IMG_0003.JPG", {'o', 'l', 'd'});
        auto source = openCard();
        ASSERT_TRUE(source);
        Events events;
        events.answer = row.answer;
        ImportJob job;
        job.autoRotate = false;
        const ImportSummary s = run(source, events, job);
        EXPECT_EQ(events.asked, 1);
        EXPECT_EQ(s.imported, row.imported);
        EXPECT_EQ(s.skipped, row.skipped);
        EXPECT_EQ(test::readBytes(out + "/IMG_0003.JPG") == std::vector<uint8_t>({'o', 'l', 'd'}),
                  row.oldKept);
        EXPECT_TRUE(test::leftoverTemps(out).empty());
    }
}

TEST_F(CameraImport, DeletesOnTheCameraOnlyFilesWhoseCopyWasChecked) {
    auto source = openCard();
    ASSERT_TRUE(source);
    Events events;
    ImportJob job;
    job.deleteSource = true;
    CopyHooks hooks;
    // The movie's copy fails part-way.
    hooks.writeFault = [](const std::string& d, uint64_t) {
        return d.find("MVI_0004") != std::string::npos ? ENOSPC : 0;
    };
    const ImportSummary s = run(source, events, job, hooks);
    EXPECT_EQ(s.imported, 6);
    EXPECT_EQ(s.failed, 1);
    EXPECT_EQ(s.deleted, 6);
    for (size_t i = 0; i < card.listed.size(); ++i)
        EXPECT_EQ(fs::exists(card.listed[i]), i == 3) << card.listed[i];
}

TEST_F(CameraImport, ACameraGonePartWayKeepsTheCopiesAndDeletesNothing) {
    auto source = openCard();
    ASSERT_TRUE(source);
    const std::string moved = dir.file("unplugged");
    Events events;
    int writes = 0;
    events.afterWrite = [&] {
        if (++writes == 2)
            fs::rename(card.root, moved);
    };
    ImportJob job;
    job.deleteSource = true;
    const ImportSummary s = run(source, events, job);
    EXPECT_TRUE(s.deviceGone);
    EXPECT_EQ(s.imported, 2);
    EXPECT_EQ(s.notReached, 5);
    EXPECT_EQ(s.deleted, 0);
    EXPECT_EQ(s.written.size(), 2u);
    for (const std::string& w : s.written)
        EXPECT_TRUE(fs::exists(w));
    for (const std::string& p : cameraPaths())
        EXPECT_TRUE(fs::exists(moved + p)) << p;
    EXPECT_TRUE(test::leftoverTemps(out).empty());
}

TEST_F(CameraImport, StagingFoldersOfKilledRunsGoYoungOnesStay) {
    const std::string stale = out + "/.kamelo-camera-Old123",
                      young = out + "/.kamelo-camera-New123";
    for (const std::string& f : {stale, young})
        test::writeBytes(f + "/IMG_0001.JPG", {'x'});
    fs::last_write_time(stale, fs::file_time_type::clock::now() - std::chrono::hours(48));
    auto source = openCard();
    ASSERT_TRUE(source);
    Events events;
    EXPECT_EQ(run(source, events).imported, 7);
    EXPECT_FALSE(fs::exists(stale));
    EXPECT_TRUE(fs::exists(young + "/IMG_0001.JPG"));
}

TEST_F(CameraImport, PhotosAlreadyInTheDestinationAreSkippedAndCounted) {
    Events events;
    ImportJob job;
    job.autoRotate = false;
    job.skipImported = true;
    auto first = openCard();
    ASSERT_TRUE(first);
    // One photo is there already under another name.
    test::writeBytes(out + "/renamed.jpg", test::readBytes(card.listed[1]));
    const ImportSummary once = run(first, events, job);
    EXPECT_EQ(once.alreadyImported, 1);
    EXPECT_EQ(once.imported, 6);
    first.reset();
    auto second = openCard();
    ASSERT_TRUE(second);
    const ImportSummary again = run(second, events, job);
    EXPECT_EQ(again.alreadyImported, 7);
    EXPECT_EQ(again.imported, 0);
    EXPECT_EQ(events.asked, 0);
}
