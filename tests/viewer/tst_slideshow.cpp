// The slide show in the view: steps, scene changes, held ticks, skipped
// pictures.
#include "base/pictureextensions.h"
#include "base/settingsstore.h"
#include "base/uisettings.h"
#include "imaging/transition.h"
#include "tests/support/scratchdir.h"
#include "tests/support/testdata.h"
#include "tests/support/viewerenv.h"
#include "viewer/eyedoc.h"
#include "viewer/readaheadworker.h"
#include "viewer/showview.h"

#include <QApplication>
#include <QImage>
#include <QtTest>

#include <filesystem>
#include <set>
#include <unistd.h>

using namespace kamelo;
namespace fs = std::filesystem;
using Step = CShowView::Step;
using imaging::Transition;

namespace {

struct Env : kamelo::test::ViewerEnv {
    // Pictures of the given sizes, each with its own colours and detail.
    void pictures(const std::vector<QSize>& sizes) {
        for (size_t i = 0; i < sizes.size(); ++i) {
            QImage img(sizes[i], QImage::Format_RGB32);
            for (int y = 0; y < img.height(); ++y)
                for (int x = 0; x < img.width(); ++x)
                    img.setPixel(x, y,
                                 qRgb(int(60 * i + x) % 256, (y * 3) % 256, int(90 * i) % 256));
            const std::string path = dir.file("p" + std::to_string(i) + ".png");
            QVERIFY(img.save(QString::fromStdString(path)));
            doc.list().append(path);
        }
    }
    void effects(std::initializer_list<int> on, int delay = 2000) {
        store.setInt("Slide Show", "Delay Time", delay);
        for (int i = 0; i < 8; ++i)
            store.setInt("Slide Show", "Effect " + std::to_string(i),
                         std::find(on.begin(), on.end(), i) != on.end() ? 1 : 0);
    }
};

// One step as a key would ask for it; returns once its change has begun
// (the picture may still be on its way from the worker).
bool stepAndStart(CShowView& view) {
    const int before = view.slideShow().changesPlayed();
    if (!view.navigate(Step::Next))
        return false;
    return QTest::qWaitFor([&] { return view.slideShow().changesPlayed() > before; }, 10000);
}

QImage onScreen(CShowView& view) {
    return view.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

} // namespace

class TestSlideShow : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { alarm(300); }

    void defaultsAndTheEffectList() {
        Env e;
        e.pictures({QSize(40, 30), QSize(50, 40)});
        CShowView view(e.doc);
        view.resize(200, 150);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QCOMPARE(view.loadPicture(0), CShowView::kLoaded);
        view.startSlideShow();
        QVERIFY(view.slideShowRunning());
        // Nothing stored: 2000 ms and all eight effects.
        QCOMPARE(view.slideShow().interval(), 2000);
        QCOMPARE(view.slideShow().enabled(), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7}));
        // About one display refresh per frame.
        QVERIFY(view.slideShow().framePeriod() >= 10 && view.slideShow().framePeriod() <= 20);
        view.stopSlideShow();
        QVERIFY(!view.slideShowRunning());
    }

    void eachEnabledEffectAppearsOverManySteps() {
        Env e;
        e.pictures({QSize(40, 30), QSize(50, 40)});
        e.effects({1, 3, 5, 7});
        CShowView view(e.doc);
        view.resize(200, 150);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QCOMPARE(view.loadPicture(0), CShowView::kLoaded);
        view.startSlideShow();
        std::set<int> seen;
        for (int i = 0; i < 400; ++i)
            seen.insert(view.slideShow().chooseEffect());
        QCOMPARE(seen, (std::set<int>{Transition::kPush, Transition::kFourWays,
                                      Transition::kRectangle, Transition::kPixelDrop}));
        // And through real steps: each change plays what was chosen.
        std::set<int> played;
        for (int i = 0; i < 40 && played.size() < 4; ++i) {
            QVERIFY(stepAndStart(view));
            played.insert(view.slideShow().currentEffect());
            QTRY_VERIFY(!view.slideShow().playing());
            QCOMPARE(view.slideShow().lastChangeFrames(), 43);
        }
        QCOMPARE(played.size(), size_t(4));
    }

    void allEffectsOffStillStepsWithNoEffect() {
        Env e;
        e.pictures({QSize(40, 30), QSize(50, 40), QSize(60, 20)});
        e.effects({}, 20);
        CShowView view(e.doc);
        view.resize(200, 150);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QCOMPARE(view.loadPicture(0), CShowView::kLoaded);
        std::vector<int> positions;
        connect(&view, &CShowView::pictureChanged, this,
                [&](const QString&, int position, int) { positions.push_back(position); });
        view.startSlideShow();
        QVERIFY(view.slideShow().enabled().empty());
        // From the last picture the show wraps to the first.
        QTRY_VERIFY_WITH_TIMEOUT(positions.size() >= 4, 20000);
        view.stopSlideShow();
        QCOMPARE(std::vector<int>(positions.begin(), positions.begin() + 4),
                 (std::vector<int>{2, 3, 1, 2}));
        QCOMPARE(view.slideShow().currentEffect(), Transition::kNone);
        QCOMPARE(view.slideShow().lastChangeFrames(), 1);
    }

    void onlyFadeEveryStepIsAFadeAndTicksWaitForIt() {
        Env e;
        e.pictures({QSize(40, 30), QSize(50, 40)});
        // A tick every 30 ms: most come while a change plays.
        e.effects({0}, 30);
        CShowView view(e.doc);
        view.resize(200, 150);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QCOMPARE(view.loadPicture(0), CShowView::kLoaded);
        int ticks = 0;
        std::vector<int> frames;
        view.startSlideShow();
        connect(&view.slideShow(), &SlideShow::tick, this, [&] { ++ticks; });
        connect(&view.slideShow(), &SlideShow::changeFinished, this, [&] {
            frames.push_back(view.slideShow().lastChangeFrames());
            QCOMPARE(view.slideShow().currentEffect(), Transition::kFade);
        });
        QTRY_VERIFY_WITH_TIMEOUT(frames.size() >= 3, 20000);
        disconnect(&view.slideShow(), nullptr, this, nullptr);
        view.stopSlideShow();
        // Every change ran its 43 frames: no tick cut into one. The ticks
        // that came meanwhile were held and each given once, one step each.
        for (int n : frames)
            QCOMPARE(n, 43);
        QVERIFY(view.slideShow().heldTicks() > 0);
        const int changes = view.slideShow().changesPlayed();
        QVERIFY2(ticks == changes || ticks == changes + 1,
                 qPrintable(QStringLiteral("%1 ticks, %2 changes").arg(ticks).arg(changes)));
    }

    void aListOfOneShowsTheSamePictureAgain() {
        Env e;
        e.pictures({QSize(40, 30)});
        e.effects({0});
        CShowView view(e.doc);
        view.resize(200, 150);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QCOMPARE(view.loadPicture(0), CShowView::kLoaded);
        std::vector<int> positions;
        connect(&view, &CShowView::pictureChanged, this,
                [&](const QString&, int position, int) { positions.push_back(position); });
        view.startSlideShow();
        const QImage before = onScreen(view);
        QVERIFY(stepAndStart(view));
        QTRY_VERIFY(!view.slideShow().playing());
        QVERIFY(stepAndStart(view));
        QTRY_VERIFY(!view.slideShow().playing());
        QCOMPARE(positions, (std::vector<int>{1, 1}));
        QVERIFY(view.hasPicture());
        // Same picture, same place: the slide is what a fitted view shows.
        const QImage after = onScreen(view);
        QCOMPARE(after.pixel(100, 75), before.pixel(100, 75));
    }

    void largerPictureShrinksKeepingItsProportions() {
        Env e;
        e.pictures({QSize(30, 30), QSize(2000, 1000)});
        e.effects({0});
        CShowView view(e.doc);
        view.resize(300, 200);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QCOMPARE(view.loadPicture(0), CShowView::kLoaded);
        view.startSlideShow();
        QVERIFY(stepAndStart(view));
        QTRY_VERIFY(!view.slideShow().playing());
        // 2000 x 1000 into 300 x 200: 300 x 150 from row 25.
        const QImage shot = onScreen(view);
        const QRgb bg = QColor(0x80, 0x80, 0x80).rgb();
        QCOMPARE(shot.pixel(150, 24), bg);
        QVERIFY(shot.pixel(150, 25) != bg);
        QVERIFY(shot.pixel(150, 174) != bg);
        QCOMPARE(shot.pixel(150, 175), bg);
        QVERIFY(shot.pixel(0, 100) != bg);
        QVERIFY(shot.pixel(299, 100) != bg);
    }

    void aFadeStartsFromWhatIsOnScreenInASmallView() {
        Env e;
        e.pictures({QSize(30, 30), QSize(2000, 1000), QSize(120, 300)});
        e.effects({0, 1});
        CShowView view(e.doc);
        // Far smaller than the screen.
        view.resize(310, 170);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QCOMPARE(view.loadPicture(0), CShowView::kLoaded);
        view.startSlideShow();
        bool fadeAfterPush = false;
        int last = Transition::kNone;
        for (int i = 0; i < 60 && !fadeAfterPush; ++i) {
            const QImage shown = onScreen(view);
            QVERIFY(stepAndStart(view));
            const int effect = view.slideShow().currentEffect();
            const QImage start = view.slideShow().changeStart();
            QCOMPARE(start.size(), QSize(310, 170));
            if (effect == Transition::kFade) {
                // Exactly what was on screen, whatever came before.
                QCOMPARE(start, shown);
                fadeAfterPush = last == Transition::kPush;
            } else {
                // Pushes start from the background when painting while loading.
                QCOMPARE(start.pixel(0, 0), QColor(0x80, 0x80, 0x80).rgb());
                QCOMPARE(start.pixel(155, 85), QColor(0x80, 0x80, 0x80).rgb());
            }
            last = effect;
            QTRY_VERIFY(!view.slideShow().playing());
        }
        QVERIFY(fadeAfterPush);
    }

    void brokenFilesAreSkippedWithoutADialog() {
        if (kamelo::test::testDataDir().empty())
            QSKIP("sample pictures not found");
        Env e;
        e.pictures({QSize(40, 30)});
        std::set<std::string> broken;
        for (const auto& entry : fs::directory_iterator(kamelo::test::testDataFile("broken"))) {
            const std::string name = entry.path().filename().string();
            if (!PictureExtensions::isPicturePath(name))
                continue;
            const std::string copy = e.dir.file(name);
            fs::copy_file(entry.path(), copy);
            fs::permissions(copy, fs::perms::owner_read | fs::perms::owner_write);
            e.doc.list().append(copy);
            broken.insert(name);
        }
        QVERIFY(broken.size() > 3);
        e.effects({}, 5);
        CShowView view(e.doc);
        view.resize(200, 150);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QCOMPARE(view.loadPicture(0), CShowView::kLoaded);
        std::set<QString> visited;
        QStringList skipped;
        int failures = 0;
        connect(&view, &CShowView::pictureChanged, this,
                [&](const QString& path, int, int) { visited.insert(QFileInfo(path).fileName()); });
        connect(&view, &CShowView::slideSkipped, this,
                [&](const QString& message) { skipped << message; });
        connect(&view, &CShowView::loadFailed, this, [&](const QString&) { ++failures; });
        view.startSlideShow();
        // Round the list twice.
        QTRY_VERIFY_WITH_TIMEOUT(
            int(visited.size()) + skipped.size() >= 2 * int(e.doc.list().count()), 60000);
        QVERIFY(view.slideShowRunning());
        view.stopSlideShow();
        QCOMPARE(failures, 0);
        QVERIFY(!QApplication::activeModalWidget());
        QVERIFY(!skipped.isEmpty());
        // Each skip names its file; every file was shown or skipped.
        for (const std::string& name : broken) {
            const QString n = QString::fromStdString(name);
            bool named = false;
            for (const QString& s : skipped)
                named = named || s.contains(QStringLiteral("'") + n + QStringLiteral("'"));
            QVERIFY2(named || visited.count(n), name.c_str());
        }
        QVERIFY(skipped.join(' ').contains(QStringLiteral("'empty.png'")));
    }

    void whenNothingLoadsTheShowStopsWithOneMessage() {
        Env e;
        for (const char* name : {"a.jpg", "b.png", "c.gif"}) {
            kamelo::test::writeFile(e.dir.file(name), std::string(name) + " is no picture");
            e.doc.list().append(e.dir.file(name));
        }
        e.effects({0}, 5);
        CShowView view(e.doc);
        view.resize(200, 150);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        int skipped = 0;
        QStringList messages;
        connect(&view, &CShowView::slideSkipped, this, [&](const QString&) { ++skipped; });
        connect(&view, &CShowView::loadFailed, this,
                [&](const QString& message) { messages << message; });
        view.startSlideShow();
        QTRY_VERIFY_WITH_TIMEOUT(!view.slideShowRunning(), 20000);
        QTest::qWait(50);
        QCOMPARE(messages.size(), 1);
        QVERIFY(messages.front().contains(QStringLiteral("슬라이드쇼")));
        QCOMPARE(skipped, 3);
    }

    void aStepWaitsForTheWorkerInsteadOfDecodingTwice() {
        Env e;
        e.pictures({QSize(40, 30), QSize(1600, 1200), QSize(50, 40)});
        e.effects({}, 60000);
        CShowView view(e.doc);
        view.resize(200, 150);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QCOMPARE(view.loadPicture(0), CShowView::kLoaded);
        view.startSlideShow();
        // The next slide is laid out ahead at the view's size.
        QVERIFY(view.readAhead().waitReady(e.doc.list().pathAt(1), 10000));
        QVERIFY(view.navigate(Step::Next));
        QCOMPARE(e.doc.list().current(), 1);
        QCOMPARE(e.doc.displayed().width(), 1600);
        QCOMPARE(view.slideShow().screen().size(), QSize(200, 150));
        view.stopSlideShow();
        // Stopped: the picture is laid out by the zoom mode again.
        QCOMPARE(view.displayRect(), QRect(0, 0, 200, 150));
    }
};

QTEST_MAIN(TestSlideShow)
#include "tst_slideshow.moc"
