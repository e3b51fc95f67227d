// A display profile set on the root window, as a colour manager sets it,
// changes what the viewer paints: the whole program runs under Xvfb
// (run-x11-tests.sh) and its viewer is grabbed before, while and after the
// property is there.
#include "app/displaycolourlink.h"
#include "browser/thumbcelldelegate.h"
#include "imaging/colour/displaycolour.h"
#include "programrun.h"
#include "tests/platform/rootproperties.h"
#include "tests/support/colourpictures.h"

#include <QGuiApplication>
#include <QScreen>

using namespace kamelo;
using namespace kamelo::test;
using imaging::colour::DisplayColour;
using Bytes = std::vector<uint8_t>;
namespace colour = kamelo::testing::colour;

Q_DECLARE_METATYPE(Bytes)

namespace {

QByteArray hex(uint32_t rgb) {
    return QByteArray::number(rgb, 16).rightJustified(6, '0');
}

// The colour in the middle of the picture as the X server has it on
// screen: what the viewer painted last, so a missing repaint shows.
uint32_t shownColour(CShowFrame* viewer) {
    CShowView* view = viewer->view();
    const QPoint at = view->mapTo(viewer, view->displayRect().center());
    const QImage shot =
        viewer->screen()->grabWindow(viewer->winId(), at.x(), at.y(), 1, 1).toImage();
    return shot.isNull() ? 0x1000000 : shot.pixel(0, 0) & 0xFFFFFF;
}

// The colour on screen in the middle of a thumbnail's picture, above its label.
uint32_t thumbnailColour(ProgramRun& run, int row) {
    QAbstractItemView* v = run.list()->currentView();
    const auto* cells = qobject_cast<ThumbCellDelegate*>(v->itemDelegate());
    if (!cells)
        return 0x1000000;
    const QRect item = v->visualRect(run.list()->model()->index(row, 0));
    const QRect box = cells->boxIn(item);
    const QPoint middle(box.center().x(), (box.top() + cells->labelIn(item).top()) / 2);
    const QPoint at = v->viewport()->mapTo(run.frame(), middle);
    const QImage shot =
        run.frame()->screen()->grabWindow(run.frame()->winId(), at.x(), at.y(), 1, 1).toImage();
    return shot.isNull() ? 0x1000000 : shot.pixel(0, 0) & 0xFFFFFF;
}

bool displayIsSrgb() {
    const imaging::colour::ProfilePtr p = DisplayColour::screenProfile(0);
    return !p || p->isSrgb();
}

// A run with a solid picture of the given profile shown in the viewer.
struct ShownPicture {
    ProgramRun run;
    CShowFrame* viewer = nullptr;
    ShownPicture(const Bytes& icc, uint32_t rgb, int colourManagement = 1) {
        const std::string path = run.dir.file("photos/shown.jpg");
        colour::writeBytes(path, colour::solidJpeg(64, 48, rgb, icc));
        run.preset(
            [&](SettingsStore& s) { s.setInt("General", "Color Management", colourManagement); });
        run.start({path});
        viewer = run.viewer();
        if (viewer)
            (void)QTest::qWaitForWindowExposed(viewer);
    }
    ~ShownPicture() {
        if (run.app)
            run.stop();
    }
};

} // namespace

class TestX11DisplayColour : public QObject {
    Q_OBJECT
    ScratchDir home_;

private slots:
    void initTestCase() {
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            QSKIP("needs an X display (run-x11-tests.sh runs it under Xvfb)");
        useScratchHome(home_, 240);
    }
    void init() {
        RootProperties root;
        QVERIFY(root.ok());
        root.remove("_ICC_PROFILE");
    }

    void viewerFollowsTheDisplayProfile_data() {
        QTest::addColumn<Bytes>("picture"); // empty: no profile (sRGB)
        QTest::addColumn<Bytes>("display");
        QTest::addColumn<uint>("rgb");
        QTest::newRow("display P3 picture, Adobe RGB display")
            << colour::p3Profile() << colour::adobeRgbProfile() << 0xD0402Au;
        QTest::newRow("untagged picture, ProPhoto display")
            << Bytes{} << colour::proPhotoProfile() << 0x3080C0u;
        QTest::newRow("Adobe RGB picture, display P3 display")
            << colour::adobeRgbProfile() << colour::p3Profile() << 0x40B050u;
    }
    void viewerFollowsTheDisplayProfile() {
        QFETCH(Bytes, picture);
        QFETCH(Bytes, display);
        QFETCH(uint, rgb);
        const Bytes from = picture.empty() ? colour::srgbProfile() : picture;
        const uint32_t onSrgb = picture.empty() ? rgb : colour::expectedSrgb(picture, rgb);
        const uint32_t onDisplay = colour::expectedIn(from, display, rgb);
        QVERIFY2(!colour::near(onSrgb, onDisplay, 6), "rows must tell the displays apart");

        ShownPicture shown(picture, rgb);
        QVERIFY(shown.viewer);
        QVERIFY(displayIsSrgb());
        QTRY_VERIFY2(colour::near(shownColour(shown.viewer), onSrgb),
                     hex(shownColour(shown.viewer)) + " on sRGB, expected " + hex(onSrgb));

        RootProperties root;
        const uint64_t before = DisplayColour::generation();
        root.set("_ICC_PROFILE", display);
        QTRY_VERIFY(DisplayColour::generation() != before);
        QVERIFY(shown.run.app->colourLink()->displayProfile().profile(0) == display);
        QVERIFY(!displayIsSrgb());
        QTRY_VERIFY2(colour::near(shownColour(shown.viewer), onDisplay),
                     hex(shownColour(shown.viewer)) + " on the display's profile, expected " +
                         hex(onDisplay));

        root.remove("_ICC_PROFILE");
        QTRY_VERIFY(displayIsSrgb());
        QTRY_VERIFY2(colour::near(shownColour(shown.viewer), onSrgb),
                     hex(shownColour(shown.viewer)) + " back on sRGB, expected " + hex(onSrgb));
    }

    // The browser's thumbnails (kept in sRGB) are painted again for the
    // display's profile, and again when it goes.
    void thumbnailsFollowTheDisplayProfile() {
        ProgramRun run;
        run.start();
        QVERIFY(run.browsePhotos());
        QVERIFY(QTest::qWaitForWindowExposed(run.frame()));
        const int row = run.row("a.png");
        QVERIFY(row >= 0);
        const uint32_t cyan = QColor(Qt::darkCyan).rgb() & 0xFFFFFF;
        const Bytes display = colour::proPhotoProfile();
        const uint32_t onDisplay = colour::expectedIn(colour::srgbProfile(), display, cyan);
        QTRY_VERIFY2(colour::near(thumbnailColour(run, row), cyan),
                     hex(thumbnailColour(run, row)) + " on sRGB, expected " + hex(cyan));

        RootProperties root;
        root.set("_ICC_PROFILE", display);
        QTRY_VERIFY2(colour::near(thumbnailColour(run, row), onDisplay),
                     hex(thumbnailColour(run, row)) + " on the display's profile, expected " +
                         hex(onDisplay));
        root.remove("_ICC_PROFILE");
        QTRY_VERIFY2(colour::near(thumbnailColour(run, row), cyan),
                     hex(thumbnailColour(run, row)) + " back on sRGB, expected " + hex(cyan));
        run.stop();
    }

    // With colour management off the display's profile is read but the
    // picture's values are painted as they are.
    void offPaintsTheValuesAsTheyAre() {
        const uint32_t rgb = 0xD0402A;
        ShownPicture shown(colour::p3Profile(), rgb, 0);
        QVERIFY(shown.viewer);
        QVERIFY(!DisplayColour::enabled());
        RootProperties root;
        root.set("_ICC_PROFILE", colour::adobeRgbProfile());
        QTRY_VERIFY(!displayIsSrgb());
        QTest::qWait(200);
        QVERIFY2(colour::near(shownColour(shown.viewer), rgb),
                 hex(shownColour(shown.viewer)) + ", expected " + hex(rgb));
        root.remove("_ICC_PROFILE");
    }
};

QTEST_MAIN(TestX11DisplayColour)
#include "tst_x11displaycolour.moc"
