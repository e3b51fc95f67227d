#include "imaging/bitmap.h"
#include "imaging/picturesaver.h"
#include "print/core/printlayout.h"
#include "print/picturereader.h"
#include "print/printpreviewworker.h"
#include "tests/support/scratchdir.h"
#include "tests/support/testdata.h"
#include "tests/support/watchdog.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <thread>

using namespace kamelo;

namespace {

PageGeometry a4() {
    return PageGeometry{210, 297, 5, 5, 5, 5, false};
}

// The file reader, held up in read() until released.
class GateReader : public FilePictureReader {
public:
    bool read(const std::string& path, const SourceRect& source, int w, int h,
              QImage& out) override {
        entered = true;
        for (int i = 0; i < 1000 && !open; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ++reads;
        return FilePictureReader::read(path, source, w, h, out);
    }
    std::atomic<bool> entered{false};
    std::atomic<bool> open{false};
    std::atomic<int> reads{0};
};

} // namespace

class TestPrintPreview : public QObject {
    Q_OBJECT
private:
    test::ScratchDir dir_;
    std::vector<std::string> files_;
    const QSize box_{300, 380};

    PrintJob sheetJob(int columns) const {
        PrintJob job;
        job.settings.radioSheet = 1;
        job.settings.columnCount = columns;
        job.settings.rowCount = 2;
        job.settings.faceName = "굴림";
        job.files = files_;
        return job;
    }

    // Waits for the result of one generation and returns its image.
    static QImage waitFor(QSignalSpy& spy, quint64 generation) {
        QImage image;
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 20000) {
            for (const QList<QVariant>& call : spy)
                if (call.at(0).toULongLong() == generation)
                    return call.at(1).value<QImage>();
            spy.wait(100);
        }
        return image;
    }

private slots:
    void initTestCase() {
        const uint32_t colours[] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0x00FFFF};
        for (int i = 0; i < 5; ++i) {
            imaging::Bitmap b;
            b.create(800, 600, colours[i]);
            files_.push_back(dir_.file("p" + std::to_string(i) + ".png"));
            imaging::PictureSaver::save(b, files_.back(),
                                        imaging::PictureSaver::formatForExtension(".png"));
        }
    }

    void equalsASynchronousRender() {
        test::Watchdog dog(60);
        PrintPreviewWorker worker(std::make_shared<FilePictureReader>());
        QSignalSpy spy(&worker, &PrintPreviewWorker::rendered);
        const quint64 g = worker.request(sheetJob(2), a4(), 1, box_);
        const QImage shown = waitFor(spy, g);
        FilePictureReader reader;
        const QImage direct = PrintPreviewWorker::renderPreview(sheetJob(2), a4(), 1, box_, reader);
        QVERIFY(!shown.isNull());
        QCOMPARE(shown.size(), QSize(268, 380));
        QCOMPARE(shown, direct);
        // The red picture is in the middle of the first cell.
        const double s = 380 / 29700.0;
        QCOMPARE(shown.pixelColor(int((500 + 1000 + 4350) * s), int((500 + 1500 + 6275) * s)),
                 QColor(Qt::red));
    }

    void quickChangesEndOnTheLast() {
        test::Watchdog dog(60);
        PrintPreviewWorker worker(std::make_shared<FilePictureReader>());
        QSignalSpy spy(&worker, &PrintPreviewWorker::rendered);
        quint64 last = 0;
        for (int i = 0; i < 20; ++i)
            last = worker.request(sheetJob(1 + i % 4), a4(), 1, box_);
        QCOMPARE(last, quint64(20));
        const QImage shown = waitFor(spy, last);
        FilePictureReader reader;
        QCOMPARE(shown, PrintPreviewWorker::renderPreview(sheetJob(4), a4(), 1, box_, reader));
        QTest::qWait(200);
        // Nothing after the last result, and nothing older came after it.
        QCOMPARE(spy.last().at(0).toULongLong(), last);
        QVERIFY(spy.size() < 20);
    }

    void eventLoopRunsDuringASlowRender() {
        test::Watchdog dog(60);
        auto reader = std::make_shared<GateReader>();
        PrintPreviewWorker worker(reader);
        QSignalSpy spy(&worker, &PrintPreviewWorker::rendered);
        const quint64 g = worker.request(sheetJob(2), a4(), 1, box_);
        QTRY_VERIFY(reader->entered);
        int ticks = 0;
        QTimer timer;
        connect(&timer, &QTimer::timeout, this, [&ticks] { ++ticks; });
        timer.start(10);
        QTRY_VERIFY(ticks >= 3);
        QCOMPARE(spy.size(), 0);
        reader->open = true;
        QVERIFY(!waitFor(spy, g).isNull());
    }

    void closingMidRenderDetaches() {
        test::Watchdog dog(60);
        auto reader = std::make_shared<GateReader>();
        {
            auto worker = std::make_unique<PrintPreviewWorker>(reader, 100);
            worker->request(sheetJob(2), a4(), 1, box_);
            QTRY_VERIFY(reader->entered);
            QVERIFY(!worker->stop()); // still inside a picture: left to finish alone
        }
        QVERIFY(PrintPreviewWorker::runningThreads() >= 1);
        reader->open = true;
        QTRY_COMPARE(PrintPreviewWorker::runningThreads(), 0);
        // It stopped between pictures: one read, not the page's five.
        QCOMPARE(reader->reads.load(), 1);
        QCoreApplication::processEvents();
    }

    void datesTakenOfSamplePictures() {
        if (test::testDataDir().empty())
            QSKIP("sample pictures not found; set KAMELO_TESTDATA");
        FilePictureReader reader;
        QCOMPARE(reader.dateTaken(test::testDataFile("camera/Canon_40D.jpg")),
                 std::string("2008년5월30일 15시56분1초"));
        // Its date is blanks.
        QCOMPARE(reader.dateTaken(test::testDataFile("camera/FujiFilm SP-2500.jpg")),
                 std::string());
        QCOMPARE(reader.dateTaken(files_.front()), std::string()); // a PNG
        QCOMPARE(reader.dateTaken(dir_.file("missing.jpg")), std::string());
    }

    void jpegsAreDecodedReducedOnlyWhenThatIsEnough() {
        QCOMPARE(FilePictureReader::reductionFor(4000, 3000, 500, 375), 8);
        QCOMPARE(FilePictureReader::reductionFor(4000, 3000, 501, 375), 4);
        QCOMPARE(FilePictureReader::reductionFor(4000, 3000, 1000, 751), 2);
        QCOMPARE(FilePictureReader::reductionFor(4000, 3000, 2001, 10), 1);
        // A reduced read never gives more pixels than the destination has.
        imaging::Bitmap b;
        b.create(1600, 1200, 0x336699);
        const std::string jpeg = dir_.file("big.jpg");
        imaging::PictureSaver::saveJpeg(b, jpeg, 90);
        FilePictureReader reader;
        QImage out;
        QVERIFY(reader.read(jpeg, {0, 0, 1600, 1200}, 300, 225, out));
        QCOMPARE(out.size(), QSize(300, 225));
        QVERIFY(reader.read(jpeg, {400, 0, 800, 1200}, 100, 150, out));
        QCOMPARE(out.size(), QSize(100, 150));
        QVERIFY(reader.read(jpeg, {0, 0, 1600, 1200}, 3200, 2400, out));
        QCOMPARE(out.size(), QSize(1600, 1200)); // drawn larger by the painter
    }

    void unreadablePicturesAreListed() {
        test::Watchdog dog(60);
        test::writeFile(dir_.file("bad.jpg"), "not a picture");
        PrintJob job = sheetJob(2);
        job.files.insert(job.files.begin() + 1, dir_.file("bad.jpg"));
        job.settings.thumbnailFrame = 1;
        job.settings.thumbnailFrameColor = 0x00FF00; // 0x00BBGGRR: green
        FilePictureReader reader;
        QStringList failed;
        const QImage image =
            PrintPreviewWorker::renderPreview(job, a4(), 1, box_, reader, {}, &failed);
        QCOMPARE(failed, QStringList{QString::fromStdString(dir_.file("bad.jpg"))});
        // The first cell's band is filled with the frame colour around its picture.
        const PreviewFrame f = previewFrame(box_.width(), box_.height(), a4());
        const int x = int((500 + 1000 + 150) * f.scale), y = int((500 + 1500 + 150) * f.scale);
        QCOMPARE(image.pixelColor(x, y), QColor(0, 255, 0));
    }
};

QTEST_MAIN(TestPrintPreview)
#include "tst_printpreview.moc"
