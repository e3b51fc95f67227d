// The viewer shows camera pictures upright when the setting asks for it:
// decoded band by band (the bands painted turned) or at once, or taken from
// the read-ahead; with the setting 0 they are shown as stored.
#include "base/settingsstore.h"
#include "base/uisettings.h"
#include "imaging/orientation.h"
#include "imaging/picturefile.h"
#include "tests/support/scratchdir.h"
#include "tests/support/testdata.h"
#include "tests/support/viewerenv.h"
#include "viewer/eyedoc.h"
#include "viewer/readaheadworker.h"
#include "viewer/showview.h"
#include "viewer/viewersave.h"
#include "viewer/viewpainter.h"

#include <QKeyEvent>
#include <QPainter>
#include <QtTest>

#include <filesystem>
#include <unistd.h>

using namespace kamelo;
namespace fs = std::filesystem;
using Step = CShowView::Step;

namespace {

struct Sample {
    const char* file;
    int orientation;
};
const Sample kSamples[] = {
    {"Apple iPhone 5.jpg", 3}, {"Nikon D40.jpg", 6}, {"Canon PowerShot A85.jpg", 8}};

std::string samplePath(const Sample& s) {
    return kamelo::test::testDataFile(std::string("camera/") + s.file);
}

using Env = kamelo::test::ViewerEnv;

// Mean colours of a 3 x 3 grid: a fingerprint that survives scaling.
QList<QColor> grid(const QImage& picture) {
    const QImage small = picture.convertToFormat(QImage::Format_RGB32)
                             .scaled(30, 30, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    QList<QColor> cells;
    for (int gy = 0; gy < 3; ++gy)
        for (int gx = 0; gx < 3; ++gx) {
            long r = 0, g = 0, b = 0;
            for (int y = gy * 10; y < gy * 10 + 10; ++y)
                for (int x = gx * 10; x < gx * 10 + 10; ++x) {
                    const QRgb p = small.pixel(x, y);
                    r += qRed(p);
                    g += qGreen(p);
                    b += qBlue(p);
                }
            cells << QColor(int(r / 100), int(g / 100), int(b / 100));
        }
    return cells;
}

int distance(const QImage& a, const QImage& b) {
    const QList<QColor> ga = grid(a), gb = grid(b);
    int d = 0;
    for (int i = 0; i < 9; ++i)
        d += std::abs(ga[i].red() - gb[i].red()) + std::abs(ga[i].green() - gb[i].green()) +
             std::abs(ga[i].blue() - gb[i].blue());
    return d;
}

// The picture as stored and turned upright by the imaging module.
struct Reference {
    QImage stored, upright;
};
Reference reference(const std::string& path, int orientation) {
    imaging::Bitmap b;
    imaging::LoadOptions o;
    o.scaleDenominator = 8;
    Reference r;
    if (imaging::PictureFile::load(path, b, o) < 1)
        return r;
    r.stored = b.view().copy();
    if (imaging::Orientation::makeUpright(b, orientation) >= 1)
        r.upright = b.view().copy();
    return r;
}

bool sameShape(QSize a, QSize b) {
    return (a.width() > a.height()) == (b.width() > b.height());
}

} // namespace

class TestViewUpright : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        alarm(300);
        if (kamelo::test::testDataDir().empty())
            QSKIP("sample pictures not found; set KAMELO_TESTDATA");
    }

    void theViewShowsCameraPicturesUpright_data() {
        QTest::addColumn<int>("setting");
        QTest::addColumn<bool>("bands");
        QTest::newRow("upright, band by band") << 1 << true;
        QTest::newRow("upright, at once") << 1 << false;
        QTest::newRow("as stored, band by band") << 0 << true;
        QTest::newRow("as stored, at once") << 0 << false;
    }
    void theViewShowsCameraPicturesUpright() {
        QFETCH(int, setting);
        QFETCH(bool, bands);
        Env e;
        e.settings.applyOrientation = setting;
        for (const Sample& s : kSamples)
            e.doc.list().append(samplePath(s));
        CShowView view(e.doc);
        view.setPaintWhileLoading(bands);
        view.resize(400, 400);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        for (int i = 0; i < 3; ++i) {
            const Sample& s = kSamples[i];
            QCOMPARE(view.loadPicture(i), CShowView::kLoaded);
            const Reference ref = reference(samplePath(s), s.orientation);
            const QImage& expected = setting ? ref.upright : ref.stored;
            const QImage& other = setting ? ref.stored : ref.upright;
            const imaging::Bitmap& shown = e.doc.displayed();
            imaging::FileInfo info;
            QVERIFY(imaging::PictureFile::readInfo(samplePath(s), info) >= 1);
            const bool swap = setting && imaging::Orientation::swapsSides(s.orientation);
            QCOMPARE(shown.width(), swap ? info.height : info.width);
            QCOMPARE(shown.height(), swap ? info.width : info.height);
            QVERIFY(sameShape(QSize(shown.width(), shown.height()), expected.size()));
            QVERIFY(sameShape(view.displayRect().size(), expected.size()));
            const QImage picture = shown.view();
            QVERIFY2(distance(picture, expected) < distance(picture, other), s.file);
            // What the window draws is the same picture.
            const QImage drawn = view.grab().toImage().copy(view.displayRect());
            QVERIFY2(distance(drawn, expected) < distance(drawn, other), s.file);
        }
    }

    void theReadAheadPictureIsUprightToo() {
        Env e;
        const Sample& s = kSamples[1];
        for (int setting : {1, 0}) {
            e.settings.applyOrientation = setting;
            ReadAheadWorker worker;
            worker.post(samplePath(s));
            QVERIFY(worker.waitReady(samplePath(s), 20000));
            imaging::Bitmap out;
            QVERIFY(worker.take(samplePath(s), out));
            QCOMPARE(out.width() < out.height(), setting == 1); // the D40 stands when turned
        }
    }

    void turnedBandsArePaintedWhereTheyWillStand() {
        // A stored 40 x 20 picture, its top half red and bottom half blue,
        // orientation 6: upright it is 20 x 40 with red on the right.
        imaging::Bitmap b;
        QCOMPARE(b.create(40, 20, 0x0000FF), 1);
        for (int y = 0; y < 10; ++y)
            for (int x = 0; x < 40; ++x) {
                uint8_t* p = b.row(y) + x * 3;
                p[0] = 0;
                p[1] = 0;
                p[2] = 255;
            }
        QImage canvas(100, 100, QImage::Format_RGB32);
        ViewPainter::Scene scene;
        scene.client = canvas.rect();
        scene.background = Qt::black;
        scene.bitmap = &b;
        scene.dest = QRect(30, 10, 40, 80); // upright, twice the size
        scene.decoding = true;
        scene.orientation = 6;
        scene.decodedRows = 10; // only the red half so far
        {
            QPainter p(&canvas);
            ViewPainter::paint(p, scene);
        }
        QCOMPARE(canvas.pixelColor(60, 50), QColor(Qt::red));   // right half: decoded
        QCOMPARE(canvas.pixelColor(40, 50), QColor(Qt::black)); // left half: not yet
        QCOMPARE(canvas.pixelColor(20, 50), QColor(Qt::black)); // outside dest
        scene.decodedRows = 20;
        {
            QPainter p(&canvas);
            ViewPainter::paint(p, scene);
        }
        QCOMPARE(canvas.pixelColor(60, 50), QColor(Qt::red));
        QCOMPARE(canvas.pixelColor(40, 50), QColor(Qt::blue));
        QCOMPARE(canvas.pixelColor(31, 11), QColor(Qt::blue));
        QCOMPARE(canvas.pixelColor(68, 88), QColor(Qt::red));
        QCOMPARE(canvas.pixelColor(75, 50), QColor(Qt::black));
    }

    void aKeyDuringATurnedDecodeStillTakesItsStep() {
        Env e;
        const std::string small = e.dir.file("small.png");
        QImage img(30, 20, QImage::Format_RGB32);
        img.fill(Qt::gray);
        QVERIFY(img.save(QString::fromStdString(small)));
        e.doc.list().append(small);
        e.doc.list().append(samplePath(kSamples[1])); // decoded band by band, turned
        e.doc.list().append(small);
        fs::copy_file(small, e.dir.file("last.png"));
        e.doc.list().append(e.dir.file("last.png"));
        CShowView view(e.doc);
        view.resize(300, 300);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QCOMPARE(view.loadPicture(0), CShowView::kLoaded);
        QCoreApplication::postEvent(&view, new QKeyEvent(QEvent::KeyPress, Qt::Key_End, {}));
        QVERIFY(view.navigate(Step::Next));
        QCOMPARE(e.doc.list().current(), 3);
        QCOMPARE(e.doc.displayed().width(), 30);
    }

    void savingTheShownPictureWritesItUpright() {
        Env e;
        const std::string path = e.dir.file("phone.jpg");
        fs::copy_file(samplePath(kSamples[2]), path);
        e.doc.list().append(path);
        CShowView view(e.doc);
        view.resize(300, 300);
        QCOMPARE(view.loadPicture(0), CShowView::kLoaded);
        const int w = e.doc.displayed().width(), h = e.doc.displayed().height();
        imaging::FileInfo stored;
        QVERIFY(imaging::PictureFile::readInfo(path, stored) >= 1);
        QCOMPARE(QSize(w, h), QSize(stored.height, stored.width)); // orientation 8
        QCOMPARE(ViewerSave::save(e.doc.displayed(), path, picturesUpright()), 1);
        QCOMPARE(imaging::Orientation::read(path), 1);
        // Shown again: the same upright picture, not turned a second time.
        QCOMPARE(view.loadPicture(0), CShowView::kLoaded);
        QCOMPARE(e.doc.displayed().width(), w);
        QCOMPARE(e.doc.displayed().height(), h);
    }
};

QTEST_MAIN(TestViewUpright)
#include "tst_viewupright.moc"
