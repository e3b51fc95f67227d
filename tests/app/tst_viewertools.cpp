// The viewer's tools as a user reaches them: the frame tool from its key,
// the tools menu and the context menu; the crop's typed sizes held to a
// proportion and cut as shown; its selection line on any picture.
#define QTEST_QPA_MOUSE_HANDLING

#include "app/commandids.h"
#include "app/commandtable.h"
#include "edit/croppanel.h"
#include "edit/editpanel.h"
#include "programrun.h"
#include "tests/frames_ui/skinwriter.h"

#include <QAction>
#include <QDockWidget>
#include <QMenu>
#include <QMenuBar>
#include <QSpinBox>

using namespace kamelo;
using namespace kamelo::test;

namespace {

// The viewer on photos/name, its picture in and the keyboard on it.
CShowFrame* openViewer(ProgramRun& r, const char* name) {
    if (!r.browsePhotos())
        return nullptr;
    r.list()->selectIndex(r.row(name));
    r.list()->currentView()->setFocus();
    QTest::keyClick(focused(), Qt::Key_Return);
    CShowFrame* v = r.viewer();
    return v && QTest::qWaitForWindowActive(v) ? v : nullptr;
}

// Replaces a spin box's number as a user does and ends it with Enter.
void typeInto(QSpinBox* spin, int value) {
    QVERIFY(spin);
    QTest::mouseClick(spin, Qt::LeftButton, {}, QPoint(8, spin->height() / 2));
    QTRY_VERIFY(spin->hasFocus());
    QTest::keyClick(focused(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(focused(), QString::number(value));
    QTest::keyClick(focused(), Qt::Key_Return);
}

} // namespace

class TestViewerTools : public QObject {
    Q_OBJECT
    ScratchDir home_;

private slots:
    void initTestCase() { useScratchHome(home_, 300); }

    // "도구 > 액자넣기(D)...", D and the context menu's item open the frame
    // panel on the shown picture.
    void theFrameToolOpensFromTheViewer_data() {
        QTest::addColumn<QString>("way");
        for (const char* way : {"D key", "tools menu", "context menu"})
            QTest::newRow(way) << way;
    }
    void theFrameToolOpensFromTheViewer() {
        QFETCH(QString, way);
        ProgramRun r;
        writeSkin(r.dir.file("program/skin"), "wood", {"나무 액자"});
        r.start();
        CShowFrame* v = openViewer(r, "b.png");
        QVERIFY(v);
        QAction* frame = v->commands()->action(cmd::kFrameDecoration);
        if (way == "D key")
            QTest::keyClick(focused(), Qt::Key_D);
        else if (way == "tools menu")
            QTest::keyClick(focused(), Qt::Key_T, Qt::AltModifier);
        else // then the tools submenu by its letter
            QTest::mouseClick(v->view(), Qt::RightButton, {}, v->view()->rect().center());
        auto menu = [] { return qobject_cast<QMenu*>(QApplication::activePopupWidget()); };
        if (way == "context menu") {
            QTRY_VERIFY(menu());
            QTest::keyClick(menu(), Qt::Key_T);
        }
        if (way != "D key") {
            QTRY_VERIFY(menu() && menu()->actions().contains(frame));
            QTest::mouseClick(menu(), Qt::LeftButton, {}, menu()->actionGeometry(frame).center());
        }
        QTRY_VERIFY(v->editPanel()->toolOpen());
        QCOMPARE(v->editPanel()->currentTool(), edit::ToolId::Frame);
        QVERIFY(v->editBar()->isVisible());
        r.stop();
    }

    // Typed sizes with "자르기 비율 유지": the proportion holds for the typed
    // and the limited size, and OK cuts what the edits show.
    void typedCropSizesKeepTheProportion_data() {
        QTest::addColumn<QList<int>>("keys"); // hold, proportion, turned
        QTest::addColumn<QSize>("typed");     // height first, then width (0: not typed)
        QTest::addColumn<QSize>("cut");
        // The picture is 1000 x 700, shown smaller than that.
        const QSize wide(1000, 666);
        QTest::newRow("3 X 2, width past the edge") << QList{1, 2, 0} << QSize(5000, 0) << wide;
        QTest::newRow("3 X 2, height then width") << QList{1, 2, 0} << QSize(5000, 300) << wide;
        QTest::newRow("3 X 2, height past the edge") << QList{1, 2, 0} << QSize(0, 5000) << wide;
        QTest::newRow("10 X 8 turned") << QList{1, 8, 1} << QSize(400, 0) << QSize(400, 500);
        QTest::newRow("1 X 1, height limits") << QList{1, 1, 0} << QSize(900, 0) << QSize(700, 700);
        QTest::newRow("free") << QList{0, 2, 0} << QSize(5000, 333) << QSize(1000, 333);
    }
    void typedCropSizesKeepTheProportion() {
        QFETCH(QList<int>, keys);
        QFETCH(QSize, typed);
        QFETCH(QSize, cut);
        ProgramRun r;
        QImage img(1000, 700, QImage::Format_RGB32);
        img.fill(Qt::darkYellow);
        QVERIFY(img.save(r.photo("big.png"), "PNG"));
        r.preset([&](SettingsStore& s) {
            s.setInt("General", edit::CropPanel::kHoldKey, keys[0]);
            s.setInt("General", edit::CropPanel::kSelectKey, keys[1]);
            s.setInt("General", edit::CropPanel::kSwapKey, keys[2]);
        });
        r.start();
        CShowFrame* v = openViewer(r, "big.png");
        QVERIFY(v);
        QVERIFY(v->view()->zoomFactor() < 1.0);
        QTest::keyClick(focused(), Qt::Key_K);
        QTRY_VERIFY(v->editPanel()->toolOpen());
        QWidget* panel = v->editPanel()->toolPanel();
        auto* w = panel->findChild<QSpinBox*>(QStringLiteral("width"));
        auto* h = panel->findChild<QSpinBox*>(QStringLiteral("height"));
        if (typed.height())
            typeInto(h, typed.height());
        if (typed.width())
            typeInto(w, typed.width());
        QCOMPARE(QSize(w->value(), h->value()), cut);
        QTest::mouseClick(panel->findChild<QWidget*>(QStringLiteral("okButton")), Qt::LeftButton);
        QTRY_VERIFY(!v->editPanel()->toolOpen());
        const imaging::Bitmap& shown = r.app->doc().displayed();
        QCOMPARE(QSize(shown.width(), shown.height()), cut);
        r.stop();
    }

    // The selection's outline stands out on white, middle grey and black.
    void theSelectionLineShowsOnAnyPicture() {
        for (const int grey : {255, 128, 0}) {
            ProgramRun r;
            QImage img(300, 200, QImage::Format_RGB32);
            img.fill(qRgb(grey, grey, grey));
            QVERIFY(img.save(r.photo("plain.png"), "PNG"));
            r.start();
            CShowFrame* v = openViewer(r, "plain.png");
            QVERIFY(v);
            QTest::keyClick(focused(), Qt::Key_K);
            QTRY_VERIFY(v->editPanel()->toolOpen());
            CShowView* view = v->view();
            const QPoint c = view->rect().center();
            QTest::mousePress(view, Qt::LeftButton, {}, c - QPoint(60, 40));
            QTest::mouseMove(view, c);
            QTest::mouseMove(view, c + QPoint(60, 40));
            QTest::mouseRelease(view, Qt::LeftButton, {}, c + QPoint(60, 40));
            const SelectionRect s = view->selection();
            QVERIFY(!s.empty());
            const QImage shot = view->grab().toImage();
            int standOut = 0; // top edge pixels far from the picture's grey
            for (int x = s.left + 2; x < s.right - 2; ++x)
                standOut += std::abs(qGray(shot.pixel(x, s.top)) - grey) >= 96;
            QVERIFY2(standOut >= s.width() / 4, qPrintable(QString::number(grey)));
            r.stop();
        }
    }
};

QTEST_MAIN(TestViewerTools)
#include "tst_viewertools.moc"
