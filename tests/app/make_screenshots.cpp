// Renders the program offscreen on drawn pictures and saves the browser and
// the viewer as PNG files for the software-centre entry:
//   make_screenshots OUTDIR    (scripts/make-screenshots.sh)
#include "chrome/uilocale.h"
#include "programrun.h"

#include <QDir>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <cstdio>

using namespace kamelo;
using namespace kamelo::test;

namespace {

struct Scene {
    const char* name;
    QColor skyTop, skyBottom, ground, accent;
};

// A landscape: sky, sun, hills and a foreground band, in the scene's colours.
void drawPicture(const QString& path, const Scene& s, int variant) {
    QImage img(480, 320, QImage::Format_RGB32);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, 220);
    sky.setColorAt(0, s.skyTop);
    sky.setColorAt(1, s.skyBottom);
    p.fillRect(img.rect(), sky);
    QRadialGradient sun(QPointF(120 + variant * 50, 80), 40);
    sun.setColorAt(0, QColor(255, 244, 200));
    sun.setColorAt(1, QColor(255, 214, 90, 0));
    p.setBrush(sun);
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPointF(120 + variant * 50, 80), 40, 40);
    QPainterPath hills(QPointF(0, 320));
    for (int x = 0; x <= 480; x += 8)
        hills.lineTo(x, 200 - 50 * std::sin((x + variant * 70) / 90.0) -
                            20 * std::cos((x + variant * 30) / 37.0));
    hills.lineTo(480, 320);
    p.setBrush(s.ground);
    p.drawPath(hills);
    p.setBrush(s.accent);
    p.drawRect(0, 280 - variant * 4, 480, 60);
    p.end();
    img.save(path, path.endsWith(QLatin1String(".png")) ? "PNG" : "JPG", 90);
}

bool save(QWidget* w, const QString& path) {
    QCoreApplication::processEvents();
    if (!w->grab().save(path, "PNG")) {
        std::fprintf(stderr, "could not write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

int run(const QString& outDir) {
    const Scene scenes[] = {
        {"바다", QColor(70, 140, 220), QColor(190, 226, 250), QColor(40, 110, 150),
         QColor(230, 210, 160)},
        {"사막", QColor(80, 150, 225), QColor(250, 220, 170), QColor(214, 150, 70),
         QColor(236, 190, 110)},
        {"숲", QColor(100, 170, 230), QColor(210, 236, 250), QColor(50, 120, 60),
         QColor(90, 150, 70)},
        {"노을", QColor(60, 50, 120), QColor(250, 150, 90), QColor(70, 40, 70),
         QColor(120, 60, 80)},
        {"눈", QColor(120, 160, 210), QColor(230, 240, 250), QColor(240, 244, 250),
         QColor(200, 210, 225)},
        {"들판", QColor(90, 160, 230), QColor(220, 240, 250), QColor(150, 180, 60),
         QColor(210, 190, 80)},
    };
    ProgramRun r;
    // The folder tree leads through the home folder, not through whatever
    // else lies in the temporary folder.
    qputenv("HOME", QByteArray::fromStdString(r.dir.file("")));
    for (const char* stale : {"a.png", "b.png", "c.png", "notes.txt"})
        std::filesystem::remove(r.dir.file(std::string("photos/") + stale));
    int i = 0;
    for (const Scene& s : scenes) {
        for (int v = 0; v < 2; ++v)
            drawPicture(r.photo() +
                            QStringLiteral("/%1 %2.jpg").arg(QString::fromUtf8(s.name)).arg(v + 1),
                        s, (i + v) % 3);
        ++i;
    }
    r.preset([](SettingsStore& s) {
        s.setInt("position", "browser x", 0);
        s.setInt("position", "browser y", 0);
        s.setInt("position", "browser cx", 800);
        s.setInt("position", "browser cy", 500);
        s.setInt("position", "viewer maximize", 0);
        s.setInt("position", "viewer x", 0);
        s.setInt("position", "viewer y", 0);
        s.setInt("position", "viewer cx", 800);
        s.setInt("position", "viewer cy", 500);
    });
    r.start();
    if (!r.browsePhotos()) {
        std::fprintf(stderr, "the browser did not list the pictures\n");
        return 1;
    }
    r.list()->selectIndex(r.row("사막 1.jpg"));
    r.frame()->resize(800, 500);
    QTest::qWait(200);
    if (!save(r.frame(), outDir + "/browser.png"))
        return 1;
    r.list()->currentView()->setFocus();
    QTest::keyClick(focused(), Qt::Key_Return);
    CShowFrame* v = r.viewer();
    if (!v) {
        std::fprintf(stderr, "the viewer did not open\n");
        return 1;
    }
    v->resize(800, 500);
    QTest::qWait(200);
    if (!save(v, outDir + "/viewer.png"))
        return 1;
    r.stop();
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_screenshots OUTDIR\n");
        return 2;
    }
    QApplication app(argc, argv);
    UiLocale::installQtCatalogue(app);
    UiLocale::applyUiFont();
    QDir().mkpath(QString::fromLocal8Bit(argv[1]));
    return run(QDir(QString::fromLocal8Bit(argv[1])).absolutePath());
}
