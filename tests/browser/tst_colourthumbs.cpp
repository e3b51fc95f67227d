// Thumbnails, their cache and the preview show pictures with colour profiles
// in sRGB (as lcms2 itself converts them), or with their own values when
// colour management is off; cells are converted for a profiled screen.
#include "base/settingsstore.h"
#include "browser/core/cacheindex.h"
#include "browser/infoview.h"
#include "browser/thumbcelldelegate.h"
#include "browser/thumbfolder.h"
#include "browser/thumbrenderer.h"
#include "imaging/colour/displaycolour.h"
#include "tests/exif/exifbuilder.h"
#include "tests/support/colourpictures.h"
#include "tests/support/scratchdir.h"

#include <QtTest>

#include <filesystem>
#include <unistd.h>

using namespace kamelo;
namespace fs = std::filesystem;
namespace tc = kamelo::testing::colour;
using imaging::colour::DisplayColour;

namespace {

// Colours inside both gamuts, so the conversion moves them by more than the
// tolerance instead of clipping.
constexpr uint32_t kPicture = 0xD04030;
constexpr uint32_t kStamp = 0x40A060;

// A 640 x 480 JPEG in the profile, with an EXIF stamp of another colour
// (made without a profile of its own, as cameras do) when asked.
std::string writePicture(const std::string& path, const std::vector<uint8_t>& icc, bool stamp) {
    std::vector<uint8_t> exif;
    if (stamp) {
        test::ExifBuilder b(false);
        exif = b.app1Payload(b.tiff({b.shortEntry(0x0112, 1)}, {b.undefinedEntry(0x9000, "0231")},
                                    tc::solidJpeg(160, 120, kStamp, {})));
    }
    tc::writeBytes(path, tc::solidJpeg(640, 480, kPicture, icc, exif));
    return path;
}

uint32_t rgbAt(const QImage& image, QPoint p) {
    return image.pixel(p) & 0xFFFFFF;
}

QString hex(uint32_t rgb) {
    return QString::number(rgb, 16).rightJustified(6, QLatin1Char('0'));
}

#define EXPECT_COLOUR(actual, expected)                                                            \
    QVERIFY2(tc::near(actual, expected),                                                           \
             qPrintable(hex(actual) + QLatin1String(" != ") + hex(expected)))

} // namespace

class TestColourThumbs : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { alarm(300); }
    void init() { DisplayColour::reset(); }
    void cleanupTestCase() { DisplayColour::reset(); }

    void cellsAreSrgb_data() {
        QTest::addColumn<QString>("profile");
        QTest::addColumn<bool>("useStamp");
        QTest::addColumn<int>("rule");
        QTest::addColumn<uint32_t>("raw");
        QTest::newRow("P3 picture") << "p3" << false << thumbcolour::kPerceptual << kPicture;
        QTest::newRow("P3 stamp") << "p3" << true << thumbcolour::kPerceptual << kStamp;
        QTest::newRow("P3, relative") << "p3" << false << thumbcolour::kRelative << kPicture;
        QTest::newRow("Adobe RGB picture")
            << "adobe" << false << thumbcolour::kPerceptual << kPicture;
        QTest::newRow("P3, values kept") << "p3" << false << thumbcolour::kOwnValues << kPicture;
        QTest::newRow("P3 stamp, values kept") << "p3" << true << thumbcolour::kOwnValues << kStamp;
        QTest::newRow("untagged") << "" << false << thumbcolour::kPerceptual << kPicture;
    }
    void cellsAreSrgb() {
        QFETCH(QString, profile);
        QFETCH(bool, useStamp);
        QFETCH(int, rule);
        QFETCH(uint32_t, raw);
        const std::vector<uint8_t> icc = profile == "p3"      ? tc::p3Profile()
                                         : profile == "adobe" ? tc::adobeRgbProfile()
                                                              : std::vector<uint8_t>();
        test::ScratchDir dir;
        ThumbRecipe recipe;
        recipe.useStamp = useStamp;
        recipe.colour = rule;
        const ThumbResult r =
            ThumbRenderer::render(writePicture(dir.file("a.jpg"), icc, true), recipe);
        QVERIFY(r.decoded);
        const CellRect& c = r.pictureRect;
        const uint32_t shown =
            rgbAt(r.cell, QPoint((c.left + c.right) / 2, (c.top + c.bottom) / 2));
        const uint32_t expected = icc.empty() || rule == thumbcolour::kOwnValues
                                      ? raw
                                      : tc::expectedSrgb(icc, raw, rule - 1);
        if (!icc.empty() && rule != thumbcolour::kOwnValues)
            QVERIFY(!tc::near(expected, raw, 4)); // the row tells converted from kept
        EXPECT_COLOUR(shown, expected);
    }

    void aFolderFollowsTheSettingItWasMadeUnder() {
        DisplayColour::setEnabled(false);
        QCOMPARE(ThumbFolder(ThumbFolder::Options{}).recipe(true).colour, thumbcolour::kOwnValues);
        DisplayColour::setEnabled(true);
        DisplayColour::setIntent(imaging::colour::Intent::RelativeColorimetric);
        QCOMPARE(ThumbFolder(ThumbFolder::Options{}).recipe(true).colour, thumbcolour::kRelative);
    }

    void theCacheIsRebuiltWhenTheColourRuleChanges() {
        test::ScratchDir dir;
        SettingsStore store(dir.file("k.sqlite"));
        const std::string cache = dir.file("cache");
        fs::create_directories(cache);
        fs::create_directories(dir.file("photos"));
        writePicture(dir.file("photos/p3.jpg"), tc::p3Profile(), false);
        const QString folder = QString::fromStdString(dir.file("photos"));
        CacheIndex index(store, cache);
        auto folderWith = [](int colour, bool upright) {
            ThumbFolder::Options o;
            o.colour = colour;
            o.upright = upright;
            return std::make_unique<ThumbFolder>(o);
        };
        auto build = [&](int colour) {
            auto f = folderWith(colour, true);
            QVERIFY(f->enumerate(folder));
            for (int row = 0; row < int(f->records().size()); ++row)
                if (f->isPicture(row))
                    f->applyThumbnail(row, ThumbRenderer::render(f->records()[size_t(row)].fullPath,
                                                                 f->recipe(true)));
            QVERIFY(f->saveCache(index));
        };
        auto cachedCell = [&](int colour, ThumbFolder::CacheResult& result) {
            auto f = folderWith(colour, true);
            result = f->loadCache(index, folder);
            for (int row = 0; row < int(f->records().size()); ++row)
                if (f->isPicture(row)) {
                    const CellRect& c = f->records()[size_t(row)].pictureRect;
                    return rgbAt(f->imageAt(row), {(c.left + c.right) / 2, (c.top + c.bottom) / 2});
                }
            return 0u;
        };

        ThumbFolder::CacheResult result;
        build(thumbcolour::kPerceptual);
        EXPECT_COLOUR(cachedCell(thumbcolour::kPerceptual, result),
                      tc::expectedSrgb(tc::p3Profile(), kPicture));
        QCOMPARE(result, ThumbFolder::CacheResult::Loaded);

        // Colour management turned off: the converted cells are all gone.
        cachedCell(thumbcolour::kOwnValues, result);
        QCOMPARE(result, ThumbFolder::CacheResult::NotFound);
        QCOMPARE(index.colourRule(), thumbcolour::kOwnValues);
        QCOMPARE(index.orientationRule(), 1);
        QVERIFY(fs::is_empty(cache));
        build(thumbcolour::kOwnValues);
        EXPECT_COLOUR(cachedCell(thumbcolour::kOwnValues, result), kPicture);
        QCOMPARE(result, ThumbFolder::CacheResult::Loaded);

        // Turning pictures another way keeps the colour rule recorded.
        QVERIFY(index.keepOnlyOrientationRule(false));
        QCOMPARE(index.colourRule(), thumbcolour::kOwnValues);
        QVERIFY(!index.keepOnlyColourRule(thumbcolour::kOwnValues));
        QCOMPARE(index.orientationRule(), 0);
    }

    void cellsAreConvertedOnceForAProfiledScreen() {
        ThumbCellDelegate delegate;
        QImage cell(40, 30, QImage::Format_RGB32);
        cell.fill(QColor::fromRgb(kPicture));
        QCOMPARE(delegate.screenCell(cell, 0).cacheKey(), cell.cacheKey()); // sRGB screen
        QVERIFY(DisplayColour::setScreenProfile(0, tc::adobeRgbProfile()));
        const QImage shown = delegate.screenCell(cell, 0);
        EXPECT_COLOUR(rgbAt(shown, {5, 5}),
                      tc::expectedIn(tc::srgbProfile(), tc::adobeRgbProfile(), kPicture));
        QCOMPARE(delegate.screenCell(cell, 0).cacheKey(), shown.cacheKey());
        QCOMPARE(rgbAt(cell, {5, 5}), kPicture); // the list's own cell stays sRGB
    }

    void previewIsShownInTheScreensColours_data() {
        QTest::addColumn<bool>("enabled");
        QTest::newRow("managed") << true;
        QTest::newRow("off") << false;
    }
    void previewIsShownInTheScreensColours() {
        QFETCH(bool, enabled);
        DisplayColour::setEnabled(enabled);
        test::ScratchDir dir;
        PreviewPage page;
        page.resize(320, 320);
        page.show();
        page.load(QString::fromStdString(writePicture(dir.file("p.jpg"), tc::p3Profile(), false)));
        QVERIFY(QTest::qWaitFor([&] { return page.hasPicture(); }, 20000));
        const QImage shown = page.grab().toImage();
        EXPECT_COLOUR(rgbAt(shown, page.displayRect().center()),
                      enabled ? tc::expectedSrgb(tc::p3Profile(), kPicture) : kPicture);
    }
};

QTEST_MAIN(TestColourThumbs)
#include "tst_colourthumbs.moc"
