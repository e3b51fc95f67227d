// Save in the viewer after turns with the rotate tool: a picture that was
// only turned is written from its file, turned on its compressed data (the
// very pixels jpegtran gives); any other edit is compressed as before.
#define QTEST_QPA_MOUSE_HANDLING

#include "edit/editpanel.h"
#include "edit/resizerotatetools.h"
#include "imaging/picturefile.h"
#include "programrun.h"
#include "tests/support/testdata.h"

#include <QAbstractButton>
#include <QPushButton>
#include <QStatusBar>

#include <cstdlib>

using namespace kamelo;
using namespace kamelo::test;

namespace {

bool samePixels(const std::string& a, const std::string& b) {
    imaging::Bitmap x, y;
    if (imaging::PictureFile::load(a, x) < 1 || imaging::PictureFile::load(b, y) < 1 ||
        x.width() != y.width() || x.height() != y.height())
        return false;
    for (int r = 0; r < x.height(); ++r)
        if (std::memcmp(x.row(r), y.row(r), size_t(x.width()) * 3) != 0)
            return false;
    return true;
}

std::string quote(const std::string& s) {
    return "'" + s + "'";
}

} // namespace

class TestLosslessSave : public QObject {
    Q_OBJECT
    ScratchDir home_;

private slots:
    void initTestCase() {
        useScratchHome(home_, 300);
        edit::registerResizeRotateTools();
    }

    void saveTurnsTheFileItself_data() {
        QTest::addColumn<QString>("sample");
        QTest::addColumn<QStringList>("buttons"); // of the rotate tool, in order
        QTest::addColumn<bool>("grey");           // the colour tool's grey after them
        QTest::addColumn<QString>("jpegtran");    // the same turn
        QTest::addColumn<QString>("size");        // of the file written
        QTest::addColumn<QString>("expect");      // lossless, unchanged, reencoded, edited
        // Shown upright by its orientation 6: a right turn more is half a turn.
        QTest::newRow("right of an upright-shown picture")
            << "Samsung GT-I9000 (Galaxy S).jpg" << QStringList{"rotateRight"} << false
            << "-rotate 180"
            << "640x480"
            << "lossless";
        QTest::newRow("mirror") << "kodak-dc240.jpg" << QStringList{"mirrorLeftRight"} << false
                                << "-flip horizontal"
                                << "640x480"
                                << "lossless";
        QTest::newRow("left and right again")
            << "kodak-dc240.jpg" << QStringList{"rotateLeft", "rotateRight"} << false << "-copy all"
            << "640x480"
            << "unchanged";
        QTest::newRow("turned, then levels")
            << "kodak-dc240.jpg" << QStringList{"rotateRight"} << true << "-rotate 90"
            << "480x640"
            << "edited";
        QTest::newRow("edges of no whole blocks")
            << "Sony Cybershot (3).jpg" << QStringList{"rotateRight"} << false << ""
            << "311x450"
            << "reencoded";
    }

    void saveTurnsTheFileItself() {
        QFETCH(QString, sample);
        QFETCH(QStringList, buttons);
        QFETCH(bool, grey);
        QFETCH(QString, jpegtran);
        QFETCH(QString, size);
        QFETCH(QString, expect);
        if (testDataDir().empty())
            QSKIP("sample pictures not found; set KAMELO_TESTDATA");
        if (std::system("command -v jpegtran >/dev/null && command -v exiftool >/dev/null") != 0)
            QSKIP("jpegtran and exiftool check the results");
        ProgramRun r;
        const std::string path = r.photo("p.jpg").toStdString();
        const std::string original = r.dir.file("original.jpg");
        writeFile(path, readFile(testDataFile("camera/" + sample.toStdString())));
        writeFile(original, readFile(path));
        r.start();
        QVERIFY(r.browsePhotos());
        r.list()->selectIndex(r.row("p.jpg"));
        r.list()->currentView()->setFocus();
        QTest::keyClick(focused(), Qt::Key_Return);
        CShowFrame* v = r.viewer();
        QVERIFY(v && QTest::qWaitForWindowActive(v));
        edit::EditPanel* panel = v->editPanel();
        // The tools open on the full picture, not a smaller first decode.
        QTRY_VERIFY(!v->view()->isLoading() && !v->view()->showsSmallerDecode());

        QTest::keyClick(focused(), Qt::Key_J, Qt::ControlModifier);
        QTRY_VERIFY(panel->toolOpen());
        QCOMPARE(panel->currentTool(), edit::ToolId::Rotate);
        for (const QString& name : buttons)
            QTest::mouseClick(panel->toolPanel()->findChild<QAbstractButton*>(name),
                              Qt::LeftButton);
        QTest::mouseClick(panel->toolPanel()->findChild<QPushButton*>(QStringLiteral("ok")),
                          Qt::LeftButton);
        QTRY_VERIFY(!panel->toolOpen());
        if (grey) {
            QTest::keyClick(focused(), Qt::Key_H);
            QTRY_VERIFY(panel->toolOpen());
            QTest::mouseClick(panel->toolPanel()->findChild<QPushButton*>(QStringLiteral("grey")),
                              Qt::LeftButton);
            QTest::mouseClick(
                panel->toolPanel()->findChild<QPushButton*>(QStringLiteral("okButton")),
                Qt::LeftButton);
            QTRY_VERIFY(!panel->toolOpen());
        }
        v->view()->setFocus();
        QTest::keyClick(focused(), Qt::Key_S, Qt::ControlModifier);
        QTRY_VERIFY(!v->view()->isModified());

        const std::string written = r.dir.file("written.jpg");
        writeFile(written, readFile(path));
        char line[64] = {};
        FILE* p = popen(("exiftool -s3 -ImageSize " + quote(written)).c_str(), "r");
        QVERIFY(p);
        const size_t n = fread(line, 1, sizeof line - 1, p);
        pclose(p);
        QCOMPARE(QString::fromUtf8(line, int(n)).trimmed(), size);
        const bool reencoded =
            v->statusBar()->currentMessage().contains(QString::fromUtf8("무손실 회전 불가"));
        QCOMPARE(reencoded, expect == QLatin1String("reencoded"));
        if (expect == QLatin1String("unchanged"))
            QCOMPARE(readFile(written), readFile(original));
        if (!jpegtran.isEmpty()) {
            const std::string theirs = r.dir.file("theirs.jpg");
            QCOMPARE(std::system(("jpegtran " + jpegtran.toStdString() + " -outfile " +
                                  quote(theirs) + " " + quote(original))
                                     .c_str()),
                     0);
            QCOMPARE(samePixels(written, theirs), expect != QLatin1String("edited"));
        }
        r.stop();
    }
};

QTEST_MAIN(TestLosslessSave)
#include "tst_losslesssave.moc"
