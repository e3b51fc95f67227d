// Camera pictures with an EXIF orientation stand upright in the thumbnail,
// its cache and the preview when the setting asks for it, and are shown as
// stored when it does not.
#include "base/settingsstore.h"
#include "base/uisettings.h"
#include "browser/core/cacheindex.h"
#include "browser/infoview.h"
#include "browser/thumbfolder.h"
#include "browser/thumbrenderer.h"
#include "imaging/orientation.h"
#include "imaging/picturefile.h"
#include "tests/support/scratchdir.h"
#include "tests/support/testdata.h"

#include <QtTest>

#include <filesystem>
#include <unistd.h>

using namespace kamelo;
namespace fs = std::filesystem;

namespace {

struct Sample {
    const char* file;
    int orientation;
};
const Sample kSamples[] = {
    {"Apple iPhone 5.jpg", 3}, {"Nikon D40.jpg", 6}, {"Canon PowerShot A85.jpg", 8}};

std::string samplePath(const Sample& s) {
    return kamelo::test::testDataFile(std::string("camera/") + s.file);
}

// The picture read by the imaging module at 1/8, as stored and upright.
struct Reference {
    QImage stored;
    QImage upright;
};

Reference reference(const Sample& s) {
    imaging::LoadOptions options;
    options.scaleDenominator = 8;
    imaging::Bitmap b;
    Reference r;
    if (imaging::PictureFile::load(samplePath(s), b, options) < 1)
        return r;
    r.stored = b.view().copy();
    if (imaging::Orientation::makeUpright(b, s.orientation) >= 1)
        r.upright = b.view().copy();
    return r;
}

// Mean colours of a 3 x 3 grid over the picture: a coarse fingerprint that
// survives scaling and a stamp made by the camera.
QList<QColor> grid(const QImage& picture) {
    const QImage small = picture.convertToFormat(QImage::Format_RGB32)
                             .scaled(30, 30, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    QList<QColor> cells;
    for (int gy = 0; gy < 3; ++gy)
        for (int gx = 0; gx < 3; ++gx) {
            long r = 0, g = 0, b = 0;
            for (int y = gy * 10; y < gy * 10 + 10; ++y)
                for (int x = gx * 10; x < gx * 10 + 10; ++x) {
                    const QRgb p = small.pixel(x, y);
                    r += qRed(p);
                    g += qGreen(p);
                    b += qBlue(p);
                }
            cells << QColor(int(r / 100), int(g / 100), int(b / 100));
        }
    return cells;
}

int distance(const QImage& a, const QImage& b) {
    const QList<QColor> ga = grid(a), gb = grid(b);
    int d = 0;
    for (int i = 0; i < 9; ++i)
        d += std::abs(ga[i].red() - gb[i].red()) + std::abs(ga[i].green() - gb[i].green()) +
             std::abs(ga[i].blue() - gb[i].blue());
    return d;
}

// The shown picture looks like the expected one and not like the other.
void expectLooksLike(const QImage& shown, const QImage& expected, const QImage& other) {
    QVERIFY(!shown.isNull());
    const int near = distance(shown, expected), far = distance(shown, other);
    QVERIFY2(near < far, qPrintable(QStringLiteral("near %1, far %2").arg(near).arg(far)));
    QVERIFY2(near < 9 * 3 * 20, qPrintable(QStringLiteral("near %1").arg(near)));
}

bool sameShape(const QSize& a, const QSize& b) {
    return (a.width() > a.height()) == (b.width() > b.height());
}

} // namespace

class TestUpright : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        alarm(300); // a hang fails the run instead of stalling it
        if (kamelo::test::testDataDir().empty())
            QSKIP("sample pictures not found; set KAMELO_TESTDATA");
    }

    void thumbnailsStandUprightFromStampAndDecode_data() {
        QTest::addColumn<bool>("useStamp");
        QTest::addColumn<bool>("upright");
        QTest::newRow("stamp, upright") << true << true;
        QTest::newRow("decode, upright") << false << true;
        QTest::newRow("stamp, as stored") << true << false;
        QTest::newRow("decode, as stored") << false << false;
    }
    void thumbnailsStandUprightFromStampAndDecode() {
        QFETCH(bool, useStamp);
        QFETCH(bool, upright);
        for (const Sample& s : kSamples) {
            const Reference ref = reference(s);
            QVERIFY2(!ref.upright.isNull(), s.file);
            ThumbRecipe recipe;
            recipe.useStamp = useStamp;
            recipe.upright = upright;
            const ThumbResult r = ThumbRenderer::render(samplePath(s), recipe);
            QVERIFY2(r.decoded, s.file);
            const CellRect& c = r.pictureRect;
            const QRect area(c.left, c.top, c.right - c.left, c.bottom - c.top);
            QVERIFY(sameShape(area.size(), upright ? ref.upright.size() : ref.stored.size()));
            const QImage shown = r.cell.copy(area);
            if (upright)
                expectLooksLike(shown, ref.upright, ref.stored);
            else
                expectLooksLike(shown, ref.stored, ref.upright);
        }
    }

    void previewStandsUprightOnlyWithTheSetting() {
        CUiSettings settings;
        setUiSettings(&settings);
        for (int setting : {1, 0}) {
            settings.applyOrientation = setting;
            for (const Sample& s : kSamples) {
                const Reference ref = reference(s);
                PreviewPage page;
                page.resize(320, 320);
                page.show();
                page.load(QString::fromStdString(samplePath(s)));
                const QImage& expected = setting ? ref.upright : ref.stored;
                const QImage& other = setting ? ref.stored : ref.upright;
                QVERIFY(sameShape(page.pictureSize(), expected.size()));
                QVERIFY(QTest::qWaitFor([&] { return page.hasPicture(); }, 20000));
                const QRect shownRect = page.displayRect();
                QVERIFY(sameShape(shownRect.size(), expected.size()));
                const QImage shown = page.grab().toImage().copy(shownRect);
                expectLooksLike(shown, expected, other);
            }
        }
        setUiSettings(nullptr);
    }

    void theCacheIsRebuiltWhenTheRuleChanges() {
        kamelo::test::ScratchDir dir;
        SettingsStore store(dir.file("k.sqlite"));
        const std::string cache = dir.file("cache");
        fs::create_directories(cache);
        fs::create_directories(dir.file("photos"));
        fs::copy_file(samplePath(kSamples[1]), dir.file("photos/d40.jpg"));
        const QString folder = QString::fromStdString(dir.file("photos"));
        CacheIndex index(store, cache);

        auto build = [&](bool upright) {
            ThumbFolder::Options o;
            o.upright = upright;
            ThumbFolder f(o);
            QVERIFY(f.enumerate(folder));
            for (int row = 0; row < int(f.records().size()); ++row)
                if (f.isPicture(row))
                    f.applyThumbnail(row, ThumbRenderer::render(f.records()[size_t(row)].fullPath,
                                                                f.recipe(true)));
            QVERIFY(f.saveCache(index));
        };
        auto pictureShape = [&](bool upright, ThumbFolder::CacheResult& result) {
            ThumbFolder::Options o;
            o.upright = upright;
            ThumbFolder f(o);
            result = f.loadCache(index, folder);
            for (const CThumbData& d : f.records())
                if (!d.isFolder() && !d.isParent())
                    return QSize(d.pictureRect.right - d.pictureRect.left,
                                 d.pictureRect.bottom - d.pictureRect.top);
            return QSize();
        };

        build(true);
        ThumbFolder::CacheResult result;
        QSize shape = pictureShape(true, result);
        QCOMPARE(result, ThumbFolder::CacheResult::Loaded);
        QVERIFY(shape.height() > shape.width()); // the D40 picture stands

        // The other rule finds nothing: the upright thumbnails are gone.
        pictureShape(false, result);
        QVERIFY(result != ThumbFolder::CacheResult::Loaded);
        QCOMPARE(index.lookup(ThumbFolder::cacheKey(folder)), std::string(CacheIndex::kNotFound));
        QCOMPARE(index.orientationRule(), 0);
        int files = 0;
        for ([[maybe_unused]] const auto& e : fs::directory_iterator(cache))
            ++files;
        QCOMPARE(files, 0);

        build(false);
        shape = pictureShape(false, result);
        QCOMPARE(result, ThumbFolder::CacheResult::Loaded);
        QVERIFY(shape.width() > shape.height()); // as stored: lying
        pictureShape(true, result);
        QVERIFY(result != ThumbFolder::CacheResult::Loaded);
    }
};

QTEST_MAIN(TestUpright)
#include "tst_upright.moc"
