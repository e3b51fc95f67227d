// The display's colour profiles as the X server publishes them on the root
// window. Run twice: offscreen (no X: no profiles) and under Xvfb by
// run-x11-tests.sh, where the test sets the properties as a colour manager
// would, over its own connection.
#include "platform/displayprofile.h"
#include "tests/platform/rootproperties.h"
#include "tests/support/colourpictures.h"
#include "tests/support/watchdog.h"

#include <QGuiApplication>
#include <QSignalSpy>
#include <QtGui/qguiapplication_platform.h>
#include <QtTest>

#include <xcb/xcb.h>

using namespace kamelo;
using Bytes = std::vector<uint8_t>;
namespace colour = kamelo::testing::colour;

Q_DECLARE_METATYPE(Bytes)

namespace {

bool onX11() {
    return QGuiApplication::platformName() == QLatin1String("xcb");
}

// Bytes that are not all alike, so a piece read at the wrong offset shows.
Bytes pattern(size_t size) {
    Bytes b(size);
    for (size_t i = 0; i < size; ++i)
        b[i] = uint8_t(i * 7 + i / 251);
    return b;
}

// Qt's own connection's event mask on the root window.
uint32_t qtRootMask() {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* c = x11->connection();
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    xcb_get_window_attributes_reply_t* a =
        xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, root), nullptr);
    const uint32_t mask = a ? a->your_event_mask : 0;
    std::free(a);
    return mask;
}

} // namespace

class TestDisplayProfile : public QObject {
    Q_OBJECT

private slots:
    void propertyNames_data() {
        QTest::addColumn<int>("screen");
        QTest::addColumn<QByteArray>("name");
        QTest::newRow("first") << 0 << QByteArray("_ICC_PROFILE");
        QTest::newRow("second") << 1 << QByteArray("_ICC_PROFILE_1");
        QTest::newRow("twelfth") << 11 << QByteArray("_ICC_PROFILE_11");
    }
    void propertyNames() {
        QFETCH(int, screen);
        QFETCH(QByteArray, name);
        QCOMPARE(DisplayProfile::propertyName(screen), name);
    }

    // Offscreen (and on Wayland) nothing is read: every screen is sRGB.
    void withoutX11NoProfiles() {
        if (onX11())
            QSKIP("runs without an X display");
        DisplayProfile profiles;
        QVERIFY(!profiles.onX11());
        QCOMPARE(profiles.screenCount(), 1);
        QVERIFY(profiles.profile(0).empty());
        QVERIFY(profiles.profile(-1).empty());
        QVERIFY(profiles.profile(5).empty());
    }

    // Qt's own interest in the root window stays; property changes are added.
    void keepsQtsRootEventMask() {
        if (!onX11())
            QSKIP("needs an X display (run-x11-tests.sh runs it under Xvfb)");
        const uint32_t before = qtRootMask();
        DisplayProfile profiles;
        QVERIFY(profiles.onX11());
        const uint32_t after = qtRootMask();
        QCOMPARE(after & before, before);
        QVERIFY(after & XCB_EVENT_MASK_PROPERTY_CHANGE);
    }

    // Each row sets the first screen's property (or another one) and sees
    // what the profile reads afterwards; the change notice is what makes it
    // read again.
    void readsWhatIsPublished_data() {
        QTest::addColumn<QByteArray>("property");
        QTest::addColumn<Bytes>("bytes");
        QTest::addColumn<int>("format");
        QTest::addColumn<Bytes>("expected");

        const Bytes p3 = colour::p3Profile();
        const Bytes cap = pattern(DisplayProfile::kMaxBytes);
        QTest::newRow("a display P3 profile") << QByteArray("_ICC_PROFILE") << p3 << 8 << p3;
        QTest::newRow("read in several pieces, odd length")
            << QByteArray("_ICC_PROFILE") << pattern(1000003) << 8 << pattern(1000003);
        QTest::newRow("exactly the largest taken") << QByteArray("_ICC_PROFILE") << cap << 8 << cap;
        QTest::newRow("one byte too large")
            << QByteArray("_ICC_PROFILE") << pattern(DisplayProfile::kMaxBytes + 1) << 8 << Bytes{};
        QTest::newRow("32-bit items are no profile")
            << QByteArray("_ICC_PROFILE") << pattern(4096) << 32 << Bytes{};
        QTest::newRow("a screen that is not there")
            << QByteArray("_ICC_PROFILE_3") << p3 << 8 << Bytes{};
    }
    void readsWhatIsPublished() {
        if (!onX11())
            QSKIP("needs an X display (run-x11-tests.sh runs it under Xvfb)");
        QFETCH(QByteArray, property);
        QFETCH(Bytes, bytes);
        QFETCH(int, format);
        QFETCH(Bytes, expected);
        test::Watchdog dog(60);
        test::RootProperties root;
        QVERIFY(root.ok());
        // A known start: a small marker profile on the first screen.
        const Bytes marker = pattern(64);
        root.set("_ICC_PROFILE", marker);
        DisplayProfile profiles;
        QCOMPARE(profiles.profile(0), marker);
        QSignalSpy changed(&profiles, &DisplayProfile::changed);

        root.set(property, bytes, uint8_t(format));
        if (property == "_ICC_PROFILE") {
            QTRY_COMPARE(changed.count(), 1);
        } else {
            // Something that must come after it: the marker goes.
            root.remove("_ICC_PROFILE");
            QTRY_COMPARE(changed.count(), 1);
        }
        QCOMPARE(profiles.profile(0).size(), expected.size());
        QVERIFY(profiles.profile(0) == expected);
        root.remove(property);
    }

    // The same bytes again are no change; deleting the property is one.
    void tellsOnlyOfChanges() {
        if (!onX11())
            QSKIP("needs an X display (run-x11-tests.sh runs it under Xvfb)");
        test::Watchdog dog(60);
        test::RootProperties root;
        QVERIFY(root.ok());
        root.remove("_ICC_PROFILE");
        DisplayProfile profiles;
        QVERIFY(profiles.profile(0).empty());
        QSignalSpy changed(&profiles, &DisplayProfile::changed);
        const Bytes adobe = colour::adobeRgbProfile();
        root.set("_ICC_PROFILE", adobe);
        QTRY_COMPARE(changed.count(), 1);
        QVERIFY(profiles.profile(0) == adobe);
        root.set("_ICC_PROFILE", adobe);
        root.set("_KAMELO_TEST_OTHER", adobe);
        root.remove("_ICC_PROFILE");
        // The rewrite and the other property told nothing; the removal did.
        QTRY_COMPARE(changed.count(), 2);
        QVERIFY(profiles.profile(0).empty());
        QTest::qWait(100);
        QCOMPARE(changed.count(), 2);
        root.remove("_KAMELO_TEST_OTHER");
    }
};

QTEST_MAIN(TestDisplayProfile)
#include "tst_displayprofile.moc"
