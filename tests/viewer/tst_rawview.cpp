// A camera RAW file in the viewer: its embedded preview is on screen at
// once, in the developed picture's place, and the development replaces it
// when it is done.
#include "base/settingsstore.h"
#include "base/uisettings.h"
#include "tests/support/dngwriter.h"
#include "tests/support/scratchdir.h"
#include "tests/support/viewerenv.h"
#include "viewer/eyedoc.h"
#include "viewer/readaheadworker.h"
#include "viewer/showview.h"

#include <QtTest>

using namespace kamelo;

namespace {

using Env = kamelo::test::ViewerEnv;

constexpr QRgb kPreview = 0x2060C0;

// The sensor sees red; the preview is blue.
std::string redRaw(Env& e, const char* name, int orientation) {
    kamelo::test::DngOptions o;
    o.rawWidth = 640;
    o.rawHeight = 480;
    o.red = 3200;
    o.green = 900;
    o.blue = 500;
    o.previewRgb = kPreview;
    o.orientation = orientation;
    const std::string path = e.dir.file(name);
    if (!kamelo::test::writeDng(path, o))
        return {};
    return path;
}

QRgb centreOf(const CShowView& view) {
    const QImage shot = view.snapshot();
    return shot.pixel(view.displayRect().center()) & 0xFFFFFF;
}

bool near(QRgb a, QRgb b) {
    return std::abs(qRed(a) - qRed(b)) <= 6 && std::abs(qGreen(a) - qGreen(b)) <= 6 &&
           std::abs(qBlue(a) - qBlue(b)) <= 6;
}

} // namespace

class TestRawView : public QObject {
    Q_OBJECT
private slots:
    void thePreviewShowsFirstAndTheDevelopmentReplacesIt_data() {
        QTest::addColumn<int>("orientation");
        QTest::addColumn<QSize>("upright");
        QTest::newRow("as stored") << 1 << QSize(640, 480);
        QTest::newRow("turned") << 6 << QSize(480, 640);
    }
    void thePreviewShowsFirstAndTheDevelopmentReplacesIt() {
        QFETCH(int, orientation);
        QFETCH(QSize, upright);
        Env e;
        const std::string path = redRaw(e, "red.dng", orientation);
        QVERIFY(!path.empty());
        e.doc.list().append(path);
        CShowView view(e.doc);
        view.resize(400, 300);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));

        QCOMPARE(view.loadPicture(0), CShowView::kLoaded);
        // The preview stands in the developed picture's place, upright.
        QVERIFY(view.showsSmallerDecode());
        QVERIFY(e.doc.pictureOnItsWay());
        QCOMPARE(view.shownPictureSize(), upright);
        const QRect place = view.displayRect();
        QVERIFY(near(centreOf(view), kPreview));

        QTRY_VERIFY_WITH_TIMEOUT(!view.showsSmallerDecode(), 20000);
        QCOMPARE(e.doc.displayedNow().width(), upright.width());
        QCOMPARE(e.doc.displayedNow().height(), upright.height());
        // Same place, the developed pixels: red where the preview was blue.
        QCOMPARE(view.displayRect(), place);
        const QRgb developed = centreOf(view);
        QVERIFY2(qRed(developed) > qBlue(developed) + 60 &&
                     qRed(developed) > qGreen(developed) + 60,
                 qPrintable(QString::number(developed, 16)));
    }

    void theNextPictureIsReadAheadOnceTheDevelopmentIsDone() {
        Env e;
        const std::string first = redRaw(e, "a.dng", 1);
        const std::string second = redRaw(e, "b.dng", 1);
        e.doc.list().append(first);
        e.doc.list().append(second);
        CShowView view(e.doc);
        view.resize(400, 300);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QCOMPARE(view.loadPicture(0), CShowView::kLoaded);
        QVERIFY(view.showsSmallerDecode());
        view.listChanged(); // asks for the next picture
        QVERIFY(!view.readAhead().busyWith(second));
        QTRY_VERIFY_WITH_TIMEOUT(!view.showsSmallerDecode(), 20000);
        QVERIFY(view.readAhead().waitReady(second, 20000));
    }
};

QTEST_MAIN(TestRawView)
#include "tst_rawview.moc"
