// Thumbnails of RAW and HEIF files: from the embedded preview when it fills
// the cell, turned by the file's own orientation when the setting asks.
#include "browser/thumbrenderer.h"
#include "tests/support/dngwriter.h"
#include "tests/support/metadatadump.h"

#include <QtTest>

using namespace kamelo;

namespace {

// The colour at the middle of the thumbnail's picture.
QColor middleOf(const ThumbResult& r) {
    const CellRect& c = r.pictureRect;
    return r.cell.pixelColor((c.left + c.right) / 2, (c.top + c.bottom) / 2);
}

bool near(const QColor& a, QRgb b, int tolerance = 24) {
    return std::abs(a.red() - qRed(b)) <= tolerance &&
           std::abs(a.green() - qGreen(b)) <= tolerance &&
           std::abs(a.blue() - qBlue(b)) <= tolerance;
}

} // namespace

class TestModernThumbs : public QObject {
    Q_OBJECT
private slots:
    void rawPreviewStandsByTheFilesOrientation_data() {
        QTest::addColumn<int>("orientation");
        QTest::addColumn<bool>("upright");
        QTest::addColumn<bool>("portrait");
        QTest::newRow("as stored, upright") << 1 << true << false;
        QTest::newRow("turned, upright") << 6 << true << true;
        QTest::newRow("turned, as stored") << 6 << false << false;
        QTest::newRow("turned left, upright") << 8 << true << true;
    }

    void rawPreviewStandsByTheFilesOrientation() {
        QFETCH(int, orientation);
        QFETCH(bool, upright);
        QFETCH(bool, portrait);
        test::ScratchDir dir;
        test::DngOptions options;
        options.orientation = orientation;
        options.previewWidth = 320;
        options.previewHeight = 240;
        options.previewRgb = 0x20C060;
        const std::string dng = dir.file("IMG_0001.dng");
        QVERIFY(test::writeDng(dng, options));
        ThumbRecipe recipe;
        recipe.upright = upright;
        const ThumbResult r = ThumbRenderer::render(dng, recipe);
        QVERIFY(r.decoded);
        const int w = r.pictureRect.right - r.pictureRect.left;
        const int h = r.pictureRect.bottom - r.pictureRect.top;
        QCOMPARE(h > w, portrait);
        // The preview's colour, not the sensor's.
        QVERIFY2(near(middleOf(r), 0x20C060), qPrintable(middleOf(r).name()));
    }

    void phonePictureThumbnails() {
        for (const char* tool : {"convert", "heif-enc"})
            QVERIFY2(test::haveTool(tool), tool);
        test::ScratchDir dir;
        const std::string png = dir.file("made.png");
        const std::string heic = dir.file("IMG_0002.heic");
        // A small thumbnail item beside the picture: too small for the cell,
        // so the picture itself is decoded.
        // Full-colour rows: heif-enc misreads palette PNGs.
        test::commandOutput("convert -size 300x200 xc:'#3050d0' PNG24:" + test::quoted(png) +
                            " && heif-enc -q 90 -t 40 " + test::quoted(png) + " -o " +
                            test::quoted(heic) + " >/dev/null");
        const ThumbResult r = ThumbRenderer::render(heic, ThumbRecipe{});
        QVERIFY(r.decoded);
        QVERIFY(r.pictureRect.right - r.pictureRect.left >
                r.pictureRect.bottom - r.pictureRect.top);
        QVERIFY2(near(middleOf(r), 0x3050d0), qPrintable(middleOf(r).name()));
    }
};

QTEST_MAIN(TestModernThumbs)
#include "tst_modernthumbs.moc"
