#include "edit/batchrunner.h"
#include "frames/framebatch.h"
#include "frames/framecomposer.h"
#include "imaging/picturefile.h"
#include "imaging/picturesaver.h"
#include "resources/stringtable.h"
#include "tests/frames/skinfixture.h"
#include "tests/support/scratchdir.h"
#include "tests/support/testdata.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

using namespace kamelo;
using namespace kamelo::frames;
using kamelo::test::ScratchDir;
using kamelo::test::TightSkin;
namespace fs = std::filesystem;

namespace {

imaging::Bitmap picture(int w, int h) {
    imaging::Bitmap b;
    b.create(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            b.setPixel(x, y, test::pictureColour(x, y));
    return b;
}

// Every pixel of the framed canvas is the piece the skin puts there or the picture.
void expectTightFrame(const TightSkin& skin, int w, int h, const imaging::Bitmap& framed) {
    const int cw = w + skin.leftCx + skin.rightCx, ch = h + skin.topCy + skin.bottomCy;
    ASSERT_EQ(framed.width(), cw);
    ASSERT_EQ(framed.height(), ch);
    int wrong = 0;
    for (int y = 0; y < ch; ++y)
        for (int x = 0; x < cw; ++x)
            if (framed.pixel(x, y) != test::expectedTightPixel(skin, cw, ch, x, y) && wrong++ < 5)
                ADD_FAILURE() << "pixel " << x << "," << y << " of " << cw << "x" << ch << " is "
                              << std::hex << framed.pixel(x, y) << " not "
                              << test::expectedTightPixel(skin, cw, ch, x, y);
    EXPECT_EQ(wrong, 0);
}

// A 24-bit BMP header declaring width x height, with no pixels behind it.
std::string bmpDeclaring(int32_t width, int32_t height) {
    const int32_t fields[] = {54, 0, 54, 40, width, height, 1 | 24 << 16, 0, 0, 0, 0, 0, 0};
    return "BM" + std::string(reinterpret_cast<const char*>(fields), sizeof fields);
}

std::string copyIn(const ScratchDir& dir, const std::string& relative, const std::string& as = {}) {
    const std::string from = test::testDataFile(relative);
    const std::string to =
        dir.path() + "/" + (as.empty() ? fs::path(relative).filename().string() : as);
    fs::copy_file(from, to, fs::copy_options::overwrite_existing);
    fs::permissions(to, fs::perms::owner_write, fs::perm_options::add);
    return to;
}

std::string shellQuote(const std::string& s) {
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

std::string exivValue(const std::string& path, const std::string& key) {
    std::string out;
    FILE* p =
        popen(("exiv2 -q -K " + key + " -Pv " + shellQuote(path) + " 2>/dev/null").c_str(), "r");
    if (!p)
        return out;
    char buf[256];
    while (size_t n = fread(buf, 1, sizeof buf, p))
        out.append(buf, n);
    pclose(p);
    while (!out.empty() && (out.back() == '\n' || out.back() == ' '))
        out.pop_back();
    return out;
}

bool haveExiv2() {
    return std::system("command -v exiv2 >/dev/null 2>&1") == 0;
}

struct Recorder : edit::BatchEvents {
    std::vector<std::string> outputs, failures, asked;
    void written(const std::string&, const std::string& d) override { outputs.push_back(d); }
    void failed(const std::string& s, const std::string& reason) override {
        failures.push_back(s + ": " + reason);
    }
    edit::OverwriteAnswer askOverwrite(const std::string& d) override {
        asked.push_back(d);
        return edit::OverwriteAnswer::No;
    }
};

edit::BatchSummary runFrames(edit::BatchJob job, Recorder& r) {
    const edit::BatchOperation op = frameBatchOperation();
    job.step = op.step;
    job.askBeforeOverwrite = op.askBeforeOverwrite;
    edit::BatchRunner runner(std::move(job));
    std::atomic<bool> stop{false};
    return runner.run(r, stop);
}

DecorationRecord framed(const std::string& ini) {
    DecorationRecord r;
    r.frameIndex = 1;
    r.skinPath = ini;
    return r;
}

} // namespace

TEST(FrameCompose, SymmetricSkinPixels) {
    ScratchDir dir;
    TightSkin s;
    s.leftCx = s.rightCx = 8;
    s.topCy = s.bottomCy = 8;
    s.topCx = s.bottomCx = 5;
    s.leftCy = s.rightCy = 5;
    const std::string ini = test::writeTightSkin(dir.path(), "sym", s);
    ASSERT_EQ(checkSkinFile(ini), FrameError::None);
    for (auto [w, h] : {std::pair{1, 1}, {2, 3}, {37, 23}, {40, 41}}) {
        imaging::Bitmap out;
        ASSERT_EQ(frameBitmap(picture(w, h), ini, out), FrameError::None);
        expectTightFrame(s, w, h, out);
    }
}

TEST(FrameCompose, AsymmetricSkinHasNoGaps) {
    ScratchDir dir;
    const TightSkin s; // different top and bottom pieces, picture off-centre
    const std::string ini = test::writeTightSkin(dir.path(), "asym", s);
    for (auto [w, h] : {std::pair{1, 1}, {29, 17}, {60, 31}}) {
        imaging::Bitmap out;
        ASSERT_EQ(frameBitmap(picture(w, h), ini, out), FrameError::None);
        expectTightFrame(s, w, h, out);
    }
}

TEST(FrameCompose, AttachOnTopCoversThePictureTopCentre) {
    ScratchDir dir;
    TightSkin s;
    s.bitmapWidth = s.bitmapHeight = 40;
    s.attachOnTop = true;
    s.specialX = 10;
    s.specialY = 12;
    s.specialCx = 7;
    s.specialCy = 12;
    const std::string ini = test::writeTightSkin(dir.path(), "top", s);
    for (int w : {25, 26}) { // odd and even canvas widths
        imaging::Bitmap out;
        ASSERT_EQ(frameBitmap(picture(w, 20), ini, out), FrameError::None);
        expectTightFrame(s, w, 20, out);
        EXPECT_EQ(out.pixel(out.width() / 2 - 3, 11), test::pieceColour(test::SPECIAL, 0, 11));
    }
}

TEST(FrameCompose, EmptySkinPathCopiesThePicture) {
    imaging::Bitmap out;
    const imaging::Bitmap in = picture(5, 4);
    ASSERT_EQ(frameBitmap(in, "", out), FrameError::None);
    ASSERT_EQ(out.width(), 5);
    EXPECT_EQ(out.pixel(4, 3), in.pixel(4, 3));
    EXPECT_EQ(frameBitmap(imaging::Bitmap(), "", out), FrameError::NoPicture);
}

namespace {
// Writes a skin whose INI has one key replaced.
std::string damagedSkin(const ScratchDir& dir, const std::string& name, const std::string& key,
                        const std::string& value) {
    const std::string ini = test::writeTightSkin(dir.path(), name, TightSkin());
    std::string text = test::tightSkinIni(TightSkin());
    const size_t at = text.find("\n" + key + "=");
    EXPECT_NE(at, std::string::npos) << key;
    const size_t end = text.find('\n', at + 1);
    text.replace(at + 1, end - at - 1, key + "=" + value);
    test::writeFile(ini, text);
    return ini;
}
} // namespace

TEST(FrameCompose, DamagedSkinsAreRefused) {
    ScratchDir dir;
    const std::pair<const char*, const char*> cases[] = {
        {"LEFT_CY", "0"},          {"RIGHT_CY", "0"},         {"TOP_CX", "-5"},
        {"MARGIN_X", "0"},         {"MARGIN_Y", "-18"},       {"START_X", "17"},
        {"START_Y", "-1"},         {"TOP_RIGHT_CX", "25"},    {"BOTTOM_CY", "30"},
        {"LEFT_CY", "2147483647"}, {"BOTTOM_LEFT_CX", "abc"},
    };
    int n = 0;
    for (auto [key, value] : cases) {
        const std::string ini = damagedSkin(dir, "bad" + std::to_string(n++), key, value);
        EXPECT_EQ(checkSkinFile(ini), FrameError::InvalidSkin) << key << "=" << value;
        imaging::Bitmap in = picture(9, 9), out;
        EXPECT_EQ(frameBitmap(in, ini, out), FrameError::InvalidSkin) << key;
        EXPECT_FALSE(out.isAllocated());
    }
    const std::string huge = damagedSkin(dir, "huge", "MARGIN_X", "2147483000");
    imaging::Bitmap out;
    EXPECT_EQ(checkSkinFile(huge), FrameError::None); // fine until a picture is put in
    EXPECT_EQ(frameBitmap(picture(100, 100), huge, out), FrameError::TooLarge);
    EXPECT_FALSE(out.isAllocated());
    EXPECT_EQ(checkSkinFile(dir.file("missing.ini")), FrameError::InvalidSkin);
}

TEST(FrameCompose, MissingOrBrokenBitmapsAreRefused) {
    ScratchDir dir;
    const std::string ini = test::writeTightSkin(dir.path(), "gone", TightSkin());
    fs::remove(dir.file("gone.bmp"));
    EXPECT_EQ(checkSkinFile(ini), FrameError::BitmapMissing);
    KAMELO_REQUIRE_TESTDATA();
    struct Case {
        const char* bitmap; // a sample, or "" for a header declaring 20000 x 20000
        FrameError error;
        int message;
    };
    for (const Case& c :
         {Case{"broken/shortfile.bmp", FrameError::BitmapMissing,
               res::IDS_MSG_FRAME_BITMAP_MISSING},
          Case{"broken/badheadersize.bmp", FrameError::BitmapMissing,
               res::IDS_MSG_FRAME_BITMAP_MISSING},
          Case{"", FrameError::BitmapTooLarge, res::IDS_MSG_FRAME_BITMAP_TOO_LARGE}}) {
        const std::string broken = *c.bitmap ? c.bitmap : "a 20000 x 20000 bomb";
        if (*c.bitmap)
            copyIn(dir, c.bitmap, "gone.bmp");
        else
            test::writeFile(dir.file("gone.bmp"), bmpDeclaring(20000, 20000));
        EXPECT_EQ(checkSkinFile(ini), c.error) << broken;
        imaging::Bitmap in = picture(9, 9);
        const imaging::Bitmap before = in;
        std::string reason;
        EXPECT_LT(decorate(in, framed(ini), reason), 1);
        EXPECT_EQ(reason, res::text(c.message)) << broken;
        EXPECT_EQ(in.width(), 9);
        EXPECT_EQ(in.pixel(3, 3), before.pixel(3, 3));
    }
}

TEST(FrameCompose, ErrorTextsAreTheTableTexts) {
    EXPECT_EQ(frameErrorText(FrameError::None), "");
    EXPECT_EQ(frameErrorText(FrameError::InvalidSkin), res::text(61472));
    EXPECT_EQ(frameErrorText(FrameError::BitmapMissing), res::text(61473));
    EXPECT_FALSE(frameErrorText(FrameError::TooLarge).empty());
    EXPECT_FALSE(frameErrorText(FrameError::NoPicture).empty());
}

TEST(FrameCompose, DecorateFramesOnlyWithAnIndexAndASkin) {
    ScratchDir dir;
    const std::string ini = test::writeTightSkin(dir.path(), "a", TightSkin());
    imaging::Bitmap p = picture(10, 10);
    std::string reason;
    DecorationRecord r = framed(ini);
    r.frameIndex = 0; // "no frame" in the list
    ASSERT_EQ(decorate(p, r, reason), 1);
    EXPECT_EQ(p.width(), 10);
    ASSERT_EQ(decorate(p, framed(ini), reason), 1);
    EXPECT_EQ(p.width(), 10 + 16);
    EXPECT_EQ(p.height(), 10 + 18);
}

TEST(FrameCompose, UnreadableTagFailsTheFile) {
    ScratchDir dir;
    imaging::Bitmap p = picture(10, 10);
    DecorationRecord r;
    r.drawTag = 1;
    r.tagPath = dir.file("none.png");
    std::string reason;
    EXPECT_LT(decorate(p, r, reason), 1);
    EXPECT_FALSE(reason.empty());
    EXPECT_EQ(p.pixel(0, 0), test::pictureColour(0, 0));
}

TEST(FrameCompose, CheckRecordSkinsNamesTheFirstBadOne) {
    ScratchDir dir;
    const std::string good = test::writeTightSkin(dir.path(), "good", TightSkin());
    const std::string bad = damagedSkin(dir, "bad", "LEFT_CY", "0");
    std::vector<std::any> records = {std::any(framed(good)), std::any(DecorationRecord{})};
    EXPECT_EQ(checkRecordSkins(records), "");
    records.emplace_back(framed(bad));
    EXPECT_EQ(checkRecordSkins(records), res::text(res::IDS_MSG_FRAME_SKIN_INVALID));
}

TEST(FrameBatch, OperationAsksAndStartsWithAnEmptyRecord) {
    const edit::BatchOperation op = frameBatchOperation();
    EXPECT_EQ(op.titleId, res::IDS_FRAME_TOOL);
    EXPECT_TRUE(op.askBeforeOverwrite);
    ASSERT_TRUE(op.newRecord);
    const std::any r = op.newRecord();
    ASSERT_NE(std::any_cast<DecorationRecord>(&r), nullptr);
    EXPECT_EQ(std::any_cast<DecorationRecord>(r).frameIndex, 0);
}

TEST(FrameBatch, DamagedSkinWritesNothingAndKeepsExistingFiles) {
    ScratchDir dir;
    const std::string bad = damagedSkin(dir, "bad", "LEFT_CY", "0");
    imaging::PictureSaver::save(picture(12, 12), dir.file("a.png"), imaging::saveformat::kPng);
    imaging::PictureSaver::save(picture(12, 12), dir.file("b.png"), imaging::saveformat::kPng);
    test::writeFile(dir.file("out/b.png"), "keep me");
    edit::BatchJob job;
    job.sources = {dir.file("a.png"), dir.file("b.png")};
    job.records = {std::any(framed(bad)), std::any(framed(bad))};
    job.mode = edit::DestinationMode::Folder;
    job.folder = dir.file("out");
    Recorder r;
    const edit::BatchSummary s = runFrames(job, r);
    EXPECT_EQ(s.written, 0);
    EXPECT_FALSE(fs::exists(dir.file("out/a.png")));
    EXPECT_EQ(test::readFile(dir.file("out/b.png")), "keep me");
    // The existing file was asked about ("no"); the other failed with the reason.
    EXPECT_EQ(r.asked.size(), 1u);
    ASSERT_EQ(r.failures.size(), 1u);
    EXPECT_NE(r.failures[0].find(res::text(res::IDS_MSG_FRAME_SKIN_INVALID)), std::string::npos);
    // Over the sources themselves, nothing changes either.
    job.mode = edit::DestinationMode::Overwrite;
    const std::string before = test::readFile(dir.file("a.png"));
    Recorder r2;
    EXPECT_EQ(runFrames(job, r2).failed, 2);
    EXPECT_EQ(test::readFile(dir.file("a.png")), before);
}

TEST(FrameBatch, CameraJpegsKeepTheirCameraInformation) {
    KAMELO_REQUIRE_TESTDATA();
    if (!haveExiv2())
        GTEST_SKIP() << "exiv2 is needed to read the results independently";
    test::ensureGui();
    ScratchDir dir;
    const std::string ini = test::writeTightSkin(dir.path(), "skin", TightSkin());
    edit::BatchJob job;
    for (const char* name : {"Canon_40D.jpg", "Canon PowerShot A85.jpg"}) {
        job.sources.push_back(copyIn(dir, std::string("camera/") + name));
        DecorationRecord r = framed(ini);
        r.drawText = 1;
        r.text = "가을 소풍";
        r.fontFace = "굴림";
        r.textColour = 0x0000FF;
        job.records.emplace_back(r);
    }
    // A PNG source keeps its format; an empty file named .jpg fails alone.
    imaging::PictureSaver::save(picture(30, 20), dir.file("p.png"), imaging::saveformat::kPng);
    job.sources.push_back(dir.file("p.png"));
    job.records.emplace_back(framed(ini));
    job.sources.push_back(copyIn(dir, "broken/empty.png", "empty.jpg"));
    job.records.emplace_back(framed(ini));
    job.mode = edit::DestinationMode::Folder;
    job.folder = dir.file("deep/output");
    Recorder r;
    const edit::BatchSummary s = runFrames(job, r);
    EXPECT_EQ(s.written, 3);
    ASSERT_EQ(r.failures.size(), 1u);
    EXPECT_NE(r.failures[0].find("empty.jpg"), std::string::npos);
    EXPECT_FALSE(fs::exists(dir.file("deep/output/empty.jpg")));
    for (size_t i = 0; i < 2; ++i) {
        const std::string out =
            dir.file("deep/output/" + fs::path(job.sources[i]).filename().string());
        for (const char* key :
             {"Exif.Image.Make", "Exif.Image.Model", "Exif.Photo.DateTimeOriginal"}) {
            const std::string want = exivValue(job.sources[i], key);
            EXPECT_FALSE(want.empty()) << key;
            EXPECT_EQ(exivValue(out, key), want) << out << " " << key;
        }
        imaging::FileInfo in, got;
        ASSERT_GE(imaging::PictureFile::readInfo(job.sources[i], in), 1);
        ASSERT_GE(imaging::PictureFile::readInfo(out, got), 1);
        // Turned upright by the run when the camera held it sideways.
        EXPECT_TRUE((got.width == in.width + 16 && got.height == in.height + 18) ||
                    (got.width == in.height + 16 && got.height == in.width + 18))
            << got.width << "x" << got.height;
    }
    imaging::Bitmap png;
    ASSERT_GE(imaging::PictureFile::load(dir.file("deep/output/p.png"), png), 1);
    expectTightFrame(TightSkin(), 30, 20, png);
}
