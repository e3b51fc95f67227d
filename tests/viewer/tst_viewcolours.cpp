// The viewer paints pictures in the screen's colours, whichever way they
// reach the screen (a scaled copy, straight from the bitmap zoomed in, bands
// as they arrive, read ahead, the slide show), while the picture keeps its
// own values for edits and writes.
#include "imaging/colour/displaycolour.h"
#include "imaging/picturefile.h"
#include "tests/support/colourpictures.h"
#include "tests/support/viewerenv.h"
#include "viewer/readaheadworker.h"
#include "viewer/screencolour.h"
#include "viewer/showview.h"
#include "viewer/slideshow.h"
#include "viewer/viewersave.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QVBoxLayout>
#include <QtTest>

#include <unistd.h>

using namespace kamelo;
namespace tc = kamelo::testing::colour;
using imaging::colour::DisplayColour;

namespace {

// A saturated red in the picture's space: P3 and sRGB differ on it by far
// more than the tolerance, and so do P3 and Adobe RGB.
constexpr uint32_t kRed = 0xE0301C;
constexpr uint32_t kGrey = 0x707070;

enum Way { kFitted, kZoom100, kZoom200, kBands, kReadAhead, kSlideShow };
enum Tag { kP3, kSrgb, kUntagged };

std::vector<uint8_t> iccOf(int tag) {
    return tag == kP3 ? tc::p3Profile() : tag == kSrgb ? tc::srgbProfile() : std::vector<uint8_t>{};
}

// The view in a window of its own whose PgDn steps it, as the viewer's
// frame binds the key.
struct Host {
    QWidget window;
    CShowView* view;
    explicit Host(CEyeDoc& doc) : view(new CShowView(doc, &window)) {
        auto* layout = new QVBoxLayout(&window);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(view);
        auto* next = new QAction(&window);
        next->setShortcut(Qt::Key_PageDown);
        window.addAction(next);
        QObject::connect(next, &QAction::triggered, view,
                         [v = view] { v->navigate(CShowView::Step::Next); });
        window.resize(400, 300);
        window.show();
        view->setFocus();
    }
};

uint32_t shownAt(CShowView& view, QPoint at) {
    return view.grab().toImage().pixel(at) & 0xFFFFFF;
}

} // namespace

class TestViewColours : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { alarm(240); }
    void cleanup() { DisplayColour::reset(); }

    void picturesAreShownInTheScreensColours_data() {
        QTest::addColumn<int>("way");
        QTest::addColumn<int>("tag");
        QTest::addColumn<bool>("managed");
        QTest::addColumn<bool>("adobeDisplay");
        // The display's profile changes while the picture is on screen (or
        // read ahead, before the step to it).
        QTest::addColumn<bool>("displayChanges");
        QTest::newRow("P3 fitted") << int(kFitted) << int(kP3) << true << false << false;
        QTest::newRow("P3 at 100 %") << int(kZoom100) << int(kP3) << true << false << false;
        QTest::newRow("P3 at 200 %") << int(kZoom200) << int(kP3) << true << false << false;
        QTest::newRow("P3 bands") << int(kBands) << int(kP3) << true << false << false;
        QTest::newRow("P3 read ahead") << int(kReadAhead) << int(kP3) << true << false << false;
        QTest::newRow("P3 slide show") << int(kSlideShow) << int(kP3) << true << false << false;
        QTest::newRow("P3 fitted, off") << int(kFitted) << int(kP3) << false << false << false;
        QTest::newRow("P3 at 200 %, off") << int(kZoom200) << int(kP3) << false << false << false;
        QTest::newRow("untagged read ahead")
            << int(kReadAhead) << int(kUntagged) << true << false << false;
        QTest::newRow("P3 slide show, off")
            << int(kSlideShow) << int(kP3) << false << false << false;
        QTest::newRow("untagged fitted")
            << int(kFitted) << int(kUntagged) << true << false << false;
        QTest::newRow("sRGB fitted") << int(kFitted) << int(kSrgb) << true << false << false;
        QTest::newRow("untagged at 200 %")
            << int(kZoom200) << int(kUntagged) << true << false << false;
        QTest::newRow("P3 on Adobe RGB") << int(kFitted) << int(kP3) << true << true << false;
        QTest::newRow("P3 bands on Adobe RGB") << int(kBands) << int(kP3) << true << true << false;
        QTest::newRow("untagged on Adobe RGB")
            << int(kZoom100) << int(kUntagged) << true << true << false;
        QTest::newRow("display changes, fitted")
            << int(kFitted) << int(kP3) << true << true << true;
        QTest::newRow("display changes, 200 %")
            << int(kZoom200) << int(kP3) << true << true << true;
        QTest::newRow("display changes, read ahead")
            << int(kReadAhead) << int(kP3) << true << true << true;
        QTest::newRow("display changes, slide show")
            << int(kSlideShow) << int(kP3) << true << true << true;
    }

    void picturesAreShownInTheScreensColours() {
        QFETCH(int, way);
        QFETCH(int, tag);
        QFETCH(bool, managed);
        QFETCH(bool, adobeDisplay);
        QFETCH(bool, displayChanges);
        DisplayColour::setEnabled(managed);
        if (adobeDisplay && !displayChanges)
            DisplayColour::setScreenProfile(0, tc::adobeRgbProfile());
        const bool changesBeforeStep = displayChanges && way == kReadAhead;

        kamelo::test::ViewerEnv e;
        e.store.setInt("Slide Show", "Delay Time", 60000);
        for (int i = 0; i < 8; ++i)
            e.store.setInt("Slide Show", "Effect " + std::to_string(i), 0);
        // Every way steps from a grey P3 picture to the red one, which may
        // take its memory.
        const std::string grey = e.dir.file("grey.jpg"), red = e.dir.file("red.jpg");
        tc::writeBytes(grey, tc::solidJpeg(800, 600, kGrey, tc::p3Profile()));
        tc::writeBytes(red, tc::solidJpeg(800, 600, kRed, iccOf(tag)));
        e.doc.list().append(grey);
        e.doc.list().append(red);

        Host host(e.doc);
        CShowView& view = *host.view;
        QVERIFY(QTest::qWaitForWindowExposed(&host.window));
        QCOMPARE(view.size(), QSize(400, 300));
        uint32_t shown = 0, duringBands = 0;
        QPoint at(200, 150);
        const auto grabBand = [&](int percent) {
            // A band of the first rows is in: the top of the picture shows.
            if (percent > 0 && percent < 90 && view.isLoading() && duringBands == 0)
                duringBands = shownAt(view, view.displayRect().topLeft() + QPoint(200, 2));
        };
        QCOMPARE(view.loadPicture(0), CShowView::kLoaded);
        QTRY_VERIFY(!view.showsSmallerDecode());
        if (way != kReadAhead && way != kSlideShow) {
            QMetaObject::Connection bands = connect(&view, &CShowView::progress, grabBand);
            const uint64_t before = screencolour::convertedPixels();
            QCOMPARE(view.loadPicture(1), CShowView::kLoaded);
            disconnect(bands);
            // Each band converted its own rows only: a view's worth at most.
            const double dpr = view.devicePixelRatioF();
            QVERIFY(screencolour::convertedPixels() - before <= 400 * 300 * dpr * dpr);
        }
        switch (way) {
        case kFitted: // the full picture replaces its smaller decode
            QTRY_VERIFY(!view.showsSmallerDecode());
            break;
        case kZoom100:
        case kZoom200:
            QVERIFY(view.setZoomPercent(way == kZoom100 ? 100 : 200));
            QVERIFY(view.displayRect().width() > view.width());
            break;
        case kBands:
            QVERIFY(duringBands != 0);
            break;
        case kReadAhead: {
            view.listChanged(); // the next picture is read ahead
            QVERIFY(view.readAhead().waitReady(red, 10000));
            if (changesBeforeStep) // what was read ahead is in stale colours
                QVERIFY(DisplayColour::setScreenProfile(0, tc::adobeRgbProfile()));
            QSignalSpy decodes(&view, &CShowView::progress);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_PageDown);
            QCOMPARE(e.doc.list().current(), 1);
            QCOMPARE(decodes.count(), 0); // nothing decoded on the view's thread
            break;
        }
        case kSlideShow: {
            view.startSlideShow();
            QVERIFY(view.slideShowRunning());
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_PageDown);
            QTRY_VERIFY(view.slideShow().changesPlayed() == 1 && !view.slideShow().playing());
            QCOMPARE(e.doc.list().current(), 1);
            break;
        }
        }
        shown = way == kBands ? duringBands : shownAt(view, at);
        // Painting the same again converts nothing.
        const uint64_t converted = screencolour::convertedPixels();
        shownAt(view, at);
        QCOMPARE(screencolour::convertedPixels(), converted);

        // The picture's own values, as decoded, edited and written.
        const uint32_t own = e.doc.displayed().pixel(400, 300);
        QVERIFY2(tc::near(own, kRed), qPrintable(QString::number(own, 16)));
        const std::string copy = e.dir.file("saved.png");
        QCOMPARE(ViewerSave::save(e.doc.displayed(), copy), 1);
        imaging::Bitmap saved;
        QVERIFY(imaging::PictureFile::load(copy, saved) >= 1);
        QCOMPARE(saved.pixel(400, 300), own);

        const std::vector<uint8_t> from = tag == kP3 ? tc::p3Profile() : tc::srgbProfile();
        const auto expected = [&](bool adobe) {
            if (!managed)
                return own;
            return adobe ? tc::expectedIn(from, tc::adobeRgbProfile(), own)
                         : tc::expectedSrgb(from, own);
        };
        const uint32_t want = expected(adobeDisplay && (!displayChanges || changesBeforeStep));
        QVERIFY2(tc::near(shown, want), qPrintable(QStringLiteral("shown %1, expected %2, own %3")
                                                       .arg(shown, 6, 16, QLatin1Char('0'))
                                                       .arg(want, 6, 16, QLatin1Char('0'))
                                                       .arg(own, 6, 16, QLatin1Char('0'))));
        // The clipboard, which carries no profile, gets sRGB.
        view.copyToClipboard();
        const uint32_t copied = QApplication::clipboard()->image().pixel(400, 300) & 0xFFFFFF;
        QVERIFY(tc::near(copied, managed ? tc::expectedSrgb(from, own) : own));
        if (way != kSlideShow) {
            // An edit builds a new bitmap, without the profile: its values
            // are still in the file's colour space.
            imaging::Bitmap edited;
            QCOMPARE(edited.create(800, 600, own), 1);
            e.doc.displayed() = std::move(edited);
            view.pictureEdited();
            QVERIFY(tc::near(shownAt(view, at), want));
        }
        if (displayChanges && !changesBeforeStep) {
            const uint64_t before = DisplayColour::generation();
            QVERIFY(DisplayColour::setScreenProfile(0, tc::adobeRgbProfile()));
            QVERIFY(DisplayColour::generation() != before);
            // The frames repaint the view; nothing converted before is reused.
            view.update();
            const uint32_t now = shownAt(view, at);
            QVERIFY2(
                tc::near(now, expected(true)),
                qPrintable(QString::number(now, 16) + " " + QString::number(expected(true), 16)));
        }
        if (view.slideShowRunning())
            view.stopSlideShow();
    }
};

QTEST_MAIN(TestViewColours)
#include "tst_viewcolours.moc"
