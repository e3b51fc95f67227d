#include "app/headstartdecode.h"
#include "imaging/picturefile.h"
#include "tests/support/scratchdir.h"
#include "tests/support/viewerenv.h"
#include "viewer/bandloader.h"
#include "viewer/showview.h"

#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <QtTest>

#include <cstring>
#include <filesystem>
#include <sys/stat.h>

using namespace kamelo;

namespace {

// Detail in every pixel: a decode at another scale differs everywhere.
std::string detailedJpeg(test::ScratchDir& dir, const std::string& name, int w, int h,
                         bool progressive = false) {
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y, qRgb((x * 7) ^ (y * 3), (x * y) % 251, ((x / 3) + (y / 5)) % 256));
    const std::string path = dir.file(name);
    QImageWriter writer(QString::fromStdString(path), "jpeg");
    writer.setQuality(92);
    writer.setProgressiveScanWrite(progressive);
    if (!writer.write(img))
        qFatal("cannot write %s", path.c_str());
    return path;
}

// A baseline JPEG's frame header made to claim another size.
void claimSize(const std::string& path, int width, int height) {
    QFile f(QString::fromStdString(path));
    if (!f.open(QIODevice::ReadWrite))
        qFatal("cannot open %s", path.c_str());
    QByteArray bytes = f.readAll();
    const qsizetype sof = bytes.indexOf(QByteArray("\xFF\xC0", 2));
    if (sof < 0)
        qFatal("no baseline frame header in %s", path.c_str());
    bytes[sof + 5] = char(height >> 8);
    bytes[sof + 6] = char(height & 0xFF);
    bytes[sof + 7] = char(width >> 8);
    bytes[sof + 8] = char(width & 0xFF);
    f.seek(0);
    f.write(bytes);
}

// Counts how the band loader uses a head start, passing everything on.
struct Watched : BandLoader::HeadStart {
    std::unique_ptr<HeadStartDecode> inner;
    int* waits;
    bool* gone;
    Watched(std::unique_ptr<HeadStartDecode> d, int* w, bool* g)
        : inner(std::move(d)), waits(w), gone(g) {}
    ~Watched() override { *gone = true; }
    bool matches(const std::string& p, int s) const override { return inner->matches(p, s); }
    bool wait(int seen, int ms, const imaging::Bitmap*& b, int& rows) override {
        ++*waits;
        return inner->wait(seen, ms, b, rows);
    }
    void stop() override { inner->stop(); }
    int finish(imaging::Bitmap& out) override { return inner->finish(out); }
};

} // namespace

class TestHeadStart : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { BandLoader::offerHeadStart(nullptr); }

    void scaleIsTheViewersForAFittedPicture_data() {
        QTest::addColumn<QSize>("picture");
        QTest::addColumn<int>("orientation");
        QTest::addColumn<QSize>("view");
        QTest::addColumn<int>("scale");
        QTest::newRow("24 MP on 1080p") << QSize(6000, 4000) << 1 << QSize(1920, 972) << 4;
        QTest::newRow("turned 24 MP") << QSize(6000, 4000) << 6 << QSize(1920, 972) << 4;
        QTest::newRow("6 MP on 1080p") << QSize(3000, 2000) << 1 << QSize(1920, 972) << 2;
        QTest::newRow("96 MP on 1080p") << QSize(12000, 8000) << 1 << QSize(1920, 972) << 8;
        QTest::newRow("24 MP on 1440p") << QSize(6000, 4000) << 1 << QSize(2560, 1296) << 2;
        QTest::newRow("fits the view") << QSize(800, 600) << 1 << QSize(1920, 972) << 1;
        QTest::newRow("no view") << QSize(6000, 4000) << 1 << QSize() << 1;
    }
    void scaleIsTheViewersForAFittedPicture() {
        QFETCH(QSize, picture);
        QFETCH(int, orientation);
        QFETCH(QSize, view);
        QFETCH(int, scale);
        QCOMPARE(HeadStartDecode::scaleFor(picture.width(), picture.height(), orientation, view),
                 scale);
    }

    void theViewIsGuessedBelowTheBars() {
        QCOMPARE(HeadStartDecode::viewGuessFor(QSize(1920, 1080)), QSize(1920, 972));
    }

    void onlyABaselineJpegDecodedSmallerGetsAHeadStart_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("started");
        for (const char* k : {"baseline", "progressive", "small", "png", "missing", "fifo",
                              "folder", "huge claim", "beyond one bitmap"})
            QTest::newRow(k) << QString::fromLatin1(k) << (std::strcmp(k, "baseline") == 0);
    }
    void onlyABaselineJpegDecodedSmallerGetsAHeadStart() {
        QFETCH(QString, kind);
        QFETCH(bool, started);
        test::ScratchDir dir;
        std::string path = dir.file("x.jpg");
        if (kind == "baseline" || kind == "progressive")
            path = detailedJpeg(dir, "x.jpg", 1600, 1200, kind == "progressive");
        else if (kind == "small")
            path = detailedJpeg(dir, "x.jpg", 300, 200);
        else if (kind == "png")
            QVERIFY(QImage(1600, 1200, QImage::Format_RGB32)
                        .save(QString::fromStdString(path = dir.file("x.png"))));
        else if (kind == "fifo")
            QCOMPARE(::mkfifo(path.c_str(), 0600), 0); // not waited on
        else if (kind == "folder")
            std::filesystem::create_directory(path);
        else if (kind == "huge claim" || kind == "beyond one bitmap") {
            // 25 MP even at an eighth; 5 MP at an eighth, but the viewer's
            // tiles show such a picture.
            const int height = kind == "huge claim" ? 40000 : 16000;
            claimSize(path = detailedJpeg(dir, "x.jpg", 64, 64), 40000, height);
            imaging::FileInfo info;
            QCOMPARE(imaging::PictureFile::readInfo(path, info), 1);
            QCOMPARE(info.width, 40000);
        }
        QCOMPARE(bool(HeadStartDecode::start(path, QSize(400, 300))), started);
    }

    void theRowsFollowedEndInTheViewersPicture() {
        test::ScratchDir dir;
        const std::string path = detailedJpeg(dir, "big.jpg", 1600, 1200);
        auto decode = HeadStartDecode::start(path, QSize(400, 300));
        QVERIFY(decode);
        QCOMPARE(decode->scale(), 4);
        imaging::Bitmap want;
        imaging::LoadOptions options;
        options.scaleDenominator = 4;
        QCOMPARE(imaging::PictureFile::load(path, want, options), 1);

        int seen = 0;
        QByteArray firstRow;
        for (int round = 0; round < 5000; ++round) {
            const imaging::Bitmap* bitmap = nullptr;
            int rows = 0;
            const bool ended = decode->wait(seen, 10, bitmap, rows);
            QVERIFY(rows >= seen);
            if (ended)
                break;
            if (bitmap && rows > 0 && firstRow.isEmpty())
                firstRow =
                    QByteArray(reinterpret_cast<const char*>(bitmap->row(0)), bitmap->width() * 3);
            seen = rows;
        }
        imaging::Bitmap got;
        QCOMPARE(decode->finish(got), 1);
        QVERIFY(samePixels(got, want));
        if (!firstRow.isEmpty())
            QCOMPARE(firstRow,
                     QByteArray(reinterpret_cast<const char*>(want.row(0)), want.width() * 3));
    }

    void onlyTheSameFileAtTheSameScaleMatches() {
        test::ScratchDir dir;
        const std::string path = detailedJpeg(dir, "big.jpg", 1600, 1200);
        const std::string other = detailedJpeg(dir, "other.jpg", 1600, 1200);
        auto decode = HeadStartDecode::start(path, QSize(400, 300));
        QVERIFY(decode);
        QVERIFY(decode->matches(path, 4));
        QVERIFY(!decode->matches(path, 2));
        QVERIFY(!decode->matches(other, 4));
        // Written again meanwhile: what was decoded is not that file.
        std::filesystem::rename(other, path);
        QVERIFY(!decode->matches(path, 4));
    }

    void aStoppedOrDroppedDecodeEnds() {
        test::ScratchDir dir;
        const std::string path = detailedJpeg(dir, "big.jpg", 1600, 1200);
        auto stopped = HeadStartDecode::start(path, QSize(400, 300));
        QVERIFY(stopped);
        stopped->stop();
        imaging::Bitmap got;
        stopped->finish(got);
        auto dropped = HeadStartDecode::start(path, QSize(400, 300));
        QVERIFY(dropped);
        dropped.reset(); // stops and waits: nothing outlives it
    }

    void theViewFollowsOnlyAMatchingHeadStart_data() {
        QTest::addColumn<QSize>("guess");
        QTest::addColumn<bool>("followed");
        QTest::newRow("same view") << QSize(400, 300) << true;
        // Guessed for a larger view: decoded at a half, the view wants a quarter.
        QTest::newRow("larger view") << QSize(800, 600) << false;
    }
    void theViewFollowsOnlyAMatchingHeadStart() {
        QFETCH(QSize, guess);
        QFETCH(bool, followed);
        test::ViewerEnv e;
        const std::string path = detailedJpeg(e.dir, "big.jpg", 1600, 1200);
        e.doc.list().append(path);
        CShowView plain(e.doc);
        plain.resize(400, 300);
        plain.show();
        QVERIFY(QTest::qWaitForWindowExposed(&plain));
        QCOMPARE(plain.loadPicture(0), CShowView::kLoaded);
        const QImage want = plain.snapshot();

        test::ViewerEnv f;
        f.doc.list().append(path);
        CShowView view(f.doc);
        view.resize(400, 300);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        int waits = 0;
        bool gone = false;
        BandLoader::offerHeadStart(
            std::make_unique<Watched>(HeadStartDecode::start(path, guess), &waits, &gone));
        QCOMPARE(view.loadPicture(0), CShowView::kLoaded);
        QCOMPARE(waits > 0, followed);
        QVERIFY(gone); // used or dropped, it is let go
        QVERIFY(view.showsSmallerDecode());
        QCOMPARE(view.snapshot(), want);
        // The full picture still follows.
        QTRY_VERIFY_WITH_TIMEOUT(!view.showsSmallerDecode(), 20000);
        QCOMPARE(f.doc.displayedNow().width(), 1600);
    }
};

QTEST_MAIN(TestHeadStart)
#include "tst_headstart.moc"
