// A start-up question waits for the picture the viewer is decoding: asked
// between two bands it would hold the rest of the picture back.
#include "app/afterpictureload.h"
#include "base/settingsstore.h"
#include "base/uisettings.h"
#include "tests/support/scratchdir.h"
#include "viewer/eyedoc.h"
#include "viewer/showview.h"

#include <QImage>
#include <QtTest>

using namespace kamelo;

class TestAfterPictureLoad : public QObject {
    Q_OBJECT
    struct Env {
        kamelo::test::ScratchDir dir;
        SettingsStore store{dir.file("k.sqlite")};
        CUiSettings settings;
        CEyeDoc doc;
        Env() {
            setUiSettings(&settings);
            setSettingsStore(&store);
        }
        ~Env() {
            setUiSettings(nullptr);
            setSettingsStore(nullptr);
        }
    };

    static std::string bigPicture(Env& e, const char* name) {
        QImage picture(2400, 1800, QImage::Format_RGB32);
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x)
                picture.setPixel(x, y, qRgb(x % 256, y % 256, (x ^ y) % 256));
        const std::string path = e.dir.file(name);
        picture.save(QString::fromStdString(path), "JPEG", 90);
        return path;
    }

private slots:
    void runsAtOnceWithNothingLoading() {
        int ran = 0;
        afterPictureLoaded(nullptr, [&] { ++ran; });
        QCOMPARE(ran, 1);
        Env e;
        CShowView view(e.doc);
        afterPictureLoaded(&view, [&] { ++ran; });
        QCOMPARE(ran, 2);
    }

    void waitsForTheLastBandAndRunsOnce() {
        Env e;
        e.doc.list().append(bigPicture(e, "a.jpg"));
        e.doc.list().append(bigPicture(e, "b.jpg"));
        CShowView view(e.doc);
        view.setPaintWhileLoading(true);
        view.resize(400, 300);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        int ran = 0, asked = 0;
        bool whileLoading = false, whileSharpening = false;
        int rowsWhenRun = 0;
        // Asked from inside the decode, as the update check's answer would be.
        connect(&view, &CShowView::progress, this, [&](int percent) {
            if (percent > 0 && percent < 100 && view.isLoading() && asked++ == 0)
                afterPictureLoaded(&view, [&] {
                    ++ran;
                    whileLoading = view.isLoading();
                    whileSharpening = view.isSharpening() || view.showsSmallerDecode();
                    rowsWhenRun = e.doc.displayed().height();
                });
        });
        QCOMPARE(view.loadPicture(0), CShowView::kLoaded);
        QVERIFY(asked > 0);
        QTRY_COMPARE(ran, 1);
        QVERIFY(!whileLoading);
        // Nor while the full decode behind the smaller one still runs.
        QVERIFY(!whileSharpening);
        QCOMPARE(rowsWhenRun, 1800);
        // Later loads report progress too; the question is not asked again.
        QCOMPARE(view.loadPicture(1), CShowView::kLoaded);
        QTest::qWait(20);
        QCOMPARE(ran, 1);
    }
};

QTEST_MAIN(TestAfterPictureLoad)
#include "tst_afterpictureload.moc"
