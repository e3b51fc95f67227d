// Reading the next picture ahead: scaled for the view, handed over only for
// its own path, never a second huge picture, never waited for when stuck.

#include "imaging/memorybudget.h"
#include "imaging/picturefile.h"
#include "tests/viewer/showviewenv.h"
#include "viewer/eyedoc.h"
#include "viewer/readaheadworker.h"
#include "viewer/showview.h"
#include "viewer/viewpainter.h"

#include <QImage>
#include <QtTest>

using namespace kamelo;
using namespace kamelo::test::showview;
using kamelo::test::samePixels;
using Step = CShowView::Step;

class TestReadAhead : public QObject {
    Q_OBJECT
private slots:
    void theNextPictureComesScaledToItsPlace() {
        Env e;
        e.pictures({QSize(50, 50)});
        const std::string next = detailedJpeg(e.dir, "next.jpg", 1600, 1200);
        e.doc.list().append(next);
        CShowView view(e.doc);
        view.resize(400, 300);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QCOMPARE(view.loadPicture(0), CShowView::kLoaded);
        view.listChanged(); // reads the next one ahead
        QVERIFY(view.readAhead().waitReady(next, 20000));
        QVERIFY(view.navigate(Step::Next));
        QCOMPARE(view.currentPath(), QString::fromStdString(next));
        // Handed over whole: no smaller decode, no background decode.
        QVERIFY(!view.showsSmallerDecode());
        QVERIFY(!e.doc.pictureOnItsWay());
        const QImage handed = view.snapshot();

        // The same as the view paints when it decodes the picture itself.
        e.settings.paintWhileLoading = 0;
        CShowView own(e.doc);
        own.resize(400, 300);
        own.show();
        QVERIFY(QTest::qWaitForWindowExposed(&own));
        QCOMPARE(own.loadPicture(1), CShowView::kLoaded);
        QCOMPARE(handed, own.snapshot());
    }

    void theReadAheadScalesForTheViewAndLendsMemory() {
        Env e;
        const std::string a = detailedJpeg(e.dir, "a.jpg", 800, 600);
        const std::string b = detailedJpeg(e.dir, "b.jpg", 800, 600);
        ReadAheadWorker worker;
        ReadAheadWorker::ViewFit fit;
        fit.client = QSize(200, 200);
        worker.post(a, fit);
        QVERIFY(worker.waitReady(a, 10000));
        imaging::Bitmap first;
        QImage screen;
        QVERIFY(worker.take(a, first, nullptr, &screen));
        QCOMPARE(screen.size(), QSize(200, 150));
        QCOMPARE(screen, ViewPainter::screenCopy(first, QSize(200, 150), 0));
        // Given back, its memory holds the next picture of the same size.
        const uint8_t* pages = first.bits();
        worker.recycle(std::move(first));
        worker.post(b, fit);
        QVERIFY(worker.waitReady(b, 10000));
        imaging::Bitmap second;
        QVERIFY(worker.take(b, second, nullptr, &screen));
        QCOMPARE(second.bits(), pages);
        imaging::Bitmap expected;
        QCOMPARE(imaging::PictureFile::load(b, expected), 1);
        QVERIFY(samePixels(second, expected));
        // Shown at its own size there is nothing to scale.
        fit.client = QSize(1000, 1000);
        worker.post(a, fit);
        QVERIFY(worker.waitReady(a, 10000));
        QVERIFY(worker.take(a, second, nullptr, &screen));
        QVERIFY(screen.isNull());
    }

    void theReadAheadPictureIsUsedOnlyForItsOwnPath() {
        Env e;
        e.pictures({QSize(30, 30), QSize(40, 40)});
        ReadAheadWorker worker;
        const std::string a = e.doc.list().pathAt(0), b = e.doc.list().pathAt(1);
        worker.post(b);
        QVERIFY(worker.waitReady(b, 5000));
        imaging::Bitmap out;
        QVERIFY(!worker.take(a, out));
        QVERIFY(worker.take(b, out));
        QCOMPARE(out.width(), 40);
        QVERIFY(!worker.take(b, out)); // handed out once
        // Fast repeats: only the last request counts.
        for (int i = 0; i < 50; ++i)
            worker.post(i % 2 ? a : b);
        QVERIFY(worker.waitReady(a, 5000));
        QVERIFY(!worker.take(b, out));
        QVERIFY(worker.take(a, out));
        QCOMPARE(out.width(), 30);
    }

    void aReadAheadNeverAddsASecondHugePicture() {
        Env e;
        e.pictures({QSize(3000, 2000), QSize(3000, 2000)});
        // "Huge" shrunk to 16 MB so that 18 MB pictures count as huge.
        imaging::memorybudget::setLimitsForTesting(size_t(16) << 20, size_t(1) << 30, 0);
        const std::string b = e.doc.list().pathAt(1);
        {
            imaging::Bitmap onScreen;
            QCOMPARE(imaging::PictureFile::load(e.doc.list().pathAt(0), onScreen), 1);
            ReadAheadWorker worker;
            worker.post(b);
            // Skipped, not decoded beside the one on screen.
            QVERIFY(!worker.waitReady(b, 1500));
            imaging::Bitmap out;
            QVERIFY(!worker.take(b, out));
            onScreen.free();
            worker.post(b);
            QVERIFY(worker.waitReady(b, 5000)); // alone it may
        }
        imaging::memorybudget::setLimitsForTesting(0, 0, 0);
        // The worker's thread lets go of its picture when it ends.
        QTRY_COMPARE_WITH_TIMEOUT(imaging::memorybudget::hugeBytesInUse(), size_t(0), 20000);
    }

    void aReadAheadStuckInADecodeIsLeftToFinishOnItsOwn() {
        Env e;
        // A picture large enough that its decode outlasts the stop timeout
        // (FIFOs no longer block a read: they are refused at once).
        const std::string big = e.dir.file("big.jpg");
        {
            QImage img(6000, 6000, QImage::Format_RGB32);
            quint32 seed = 12345;
            for (int y = 0; y < img.height(); ++y) {
                auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
                for (int x = 0; x < img.width(); ++x) {
                    seed = seed * 1664525u + 1013904223u;
                    line[x] = 0xFF000000u | (seed >> 8);
                }
            }
            QVERIFY(img.save(QString::fromStdString(big), "JPEG", 95));
        }
        {
            ReadAheadWorker worker(1);
            worker.post(big);
            QTest::qWait(20);
        } // the worker goes; its thread is still decoding
        QVERIFY(ReadAheadWorker::lastStopDetached());
        // It ends on its own, touching nothing that was freed.
        QTest::qWait(3000);
        ReadAheadWorker quick;
        quick.post(e.dir.file("missing.png"));
        QTest::qWait(20);
    }
};

QTEST_MAIN(TestReadAhead)
#include "tst_readahead.moc"
