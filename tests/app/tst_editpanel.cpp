// The viewer's edit panel driven as a user does: tool keys, typed values,
// buttons, the histogram's markers and the view's selection with the mouse.
#define QTEST_QPA_MOUSE_HANDLING

#include "edit/editpanel.h"
#include "edit/histogrambox.h"
#include "programrun.h"
#include "resources/qtstrings.h"

#include <QAbstractButton>
#include <QDockWidget>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QToolButton>

using namespace kamelo;
using namespace kamelo::test;

namespace {

// Every pixel its own: red x, green y, blue the 256-blocks.
void writeUnique(const QString& path, int w, int h) {
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y, qRgb(x & 255, y & 255, (x >> 8) * 16 + (y >> 8)));
    img.save(path, "PNG");
}

CShowFrame* openViewer(ProgramRun& r, const char* name) {
    if (!r.browsePhotos())
        return nullptr;
    CThumbListCtrl* list = r.list();
    list->selectIndex(r.row(name));
    list->currentView()->setFocus();
    QTest::keyClick(focused(), Qt::Key_Return);
    CShowFrame* v = r.viewer();
    if (v && !QTest::qWaitForWindowActive(v))
        return nullptr;
    return v;
}

bool samePixels(const imaging::Bitmap& a, const imaging::Bitmap& b) {
    return a.width() == b.width() && a.height() == b.height() &&
           std::memcmp(a.bits(), b.bits(), a.byteCount()) == 0;
}

// Types text into a field as the keyboard does, then leaves it with Tab.
void typeInto(QWidget* field, const QString& text, Qt::Key end = Qt::Key_Tab) {
    QTest::mouseClick(field, Qt::LeftButton);
    QTRY_VERIFY(field->hasFocus() || field->isAncestorOf(QApplication::focusWidget()));
    QTest::keyClick(focused(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(focused(), text);
    QTest::keyClick(focused(), end);
}

template <class T> T* child(QWidget* parent, const char* name) {
    return parent->findChild<T*>(QLatin1String(name));
}

} // namespace

class TestEditPanel : public QObject {
    Q_OBJECT
    ScratchDir home_;

    struct Run {
        ProgramRun r;
        CShowFrame* v = nullptr;
        edit::EditPanel* panel = nullptr;
        imaging::Bitmap original;
        imaging::Bitmap& shown() { return r.app->doc().displayed(); }
    };

    bool open(Run& run, int w = 600, int h = 400) {
        writeUnique(run.r.photo("g.png"), w, h);
        run.r.start();
        run.v = openViewer(run.r, "g.png");
        if (!run.v)
            return false;
        run.panel = run.v->editPanel();
        run.original = run.shown();
        return run.original.width() == w;
    }

private slots:
    void initTestCase() { useScratchHome(home_, 240); }

    void cancelAfterSeveralColourChangesRestoresThePicture() {
        Run t;
        QVERIFY(open(t));
        QVERIFY(!t.v->view()->editLock());
        QTest::keyClick(focused(), Qt::Key_H);
        QTRY_VERIFY(t.panel->toolOpen());
        QCOMPARE(t.panel->currentTool(), edit::ToolId::Colour);
        QVERIFY(t.v->editBar()->isVisible());
        QVERIFY(t.v->view()->editLock());
        QCOMPARE(t.v->editBar()->windowTitle(), res::qtext(res::IDS_COLOUR_TOOL));
        QWidget* tool = t.panel->toolPanel();

        typeInto(child<QLineEdit>(tool, "inBlack"), "40");
        QVERIFY(!samePixels(t.shown(), t.original));
        QTest::mouseClick(child<QPushButton>(tool, "autoContrast"), Qt::LeftButton);
        auto* histogram = child<edit::HistogramBox>(tool, "histogram");
        const int x = edit::HistogramBox::xOf(histogram->marker(edit::HistogramBox::Gamma));
        const int y = edit::HistogramBox::kBoxHeight + 6;
        QTest::mousePress(histogram, Qt::LeftButton, {}, QPoint(x, y));
        QTest::mouseMove(histogram, QPoint(x + 30, y));
        QTest::mouseRelease(histogram, Qt::LeftButton, {}, QPoint(x + 30, y));
        QVERIFY(child<QLineEdit>(tool, "gamma")->text() != QLatin1String("1.00"));
        QVERIFY(!samePixels(t.shown(), t.original));

        QTest::mouseClick(child<QPushButton>(tool, "cancelButton"), Qt::LeftButton);
        QVERIFY(!t.panel->toolOpen());
        QVERIFY(!t.v->view()->editLock());
        QVERIFY(samePixels(t.shown(), t.original));
        QVERIFY(!t.v->view()->isModified());
        QCOMPARE(t.v->editBar()->windowTitle(), res::qtext(res::IDS_EDIT_BAR_CAPTION));
        t.r.stop();
    }

    void gammaIsHeldToItsRangeAndEscCancels() {
        Run t;
        QVERIFY(open(t));
        QTest::keyClick(focused(), Qt::Key_H);
        QTRY_VERIFY(t.panel->toolOpen());
        QWidget* tool = t.panel->toolPanel();
        auto* histogram = child<edit::HistogramBox>(tool, "histogram");
        // 1.00 sits halfway between black 0 and white 255.
        QCOMPARE(histogram->marker(edit::HistogramBox::Gamma), 127);
        auto* gamma = child<QLineEdit>(tool, "gamma");
        auto* spin = child<QSpinBox>(tool, "gammaSpin");
        typeInto(gamma, "0.05");
        QCOMPARE(gamma->text(), QStringLiteral("0.10"));
        QCOMPARE(spin->value(), 10);
        typeInto(gamma, "12");
        QCOMPARE(gamma->text(), QStringLiteral("10.00"));
        QCOMPARE(spin->value(), 1000);
        QCOMPARE(histogram->marker(edit::HistogramBox::Gamma), 255);
        // Input black stays two below input white.
        auto* white = child<QLineEdit>(tool, "inWhite");
        typeInto(white, "100");
        typeInto(child<QLineEdit>(tool, "inBlack"), "200");
        QCOMPARE(child<QLineEdit>(tool, "inBlack")->text(), QStringLiteral("98"));

        // Esc from a field is the tool's Cancel, not the viewer's exit.
        typeInto(gamma, "2", Qt::Key_Escape);
        QTRY_VERIFY(!t.panel->toolOpen());
        QVERIFY(t.r.app->viewerFrame());
        QVERIFY(samePixels(t.shown(), t.original));
        QVERIFY(!t.v->view()->editLock());
        t.r.stop();
    }

    void undoUndoesOnlyTheLastTool() {
        Run t;
        QVERIFY(open(t));
        auto* undo = t.panel->button(edit::EditPanel::kUndoButton);
        auto* save = t.panel->button(edit::EditPanel::kSaveButton);
        QVERIFY(!undo->isEnabled());
        QVERIFY(!save->isEnabled());
        QTest::keyClick(focused(), Qt::Key_H);
        QTRY_VERIFY(t.panel->toolOpen());
        typeInto(child<QLineEdit>(t.panel->toolPanel(), "inWhite"), "200");
        QTest::mouseClick(child<QPushButton>(t.panel->toolPanel(), "okButton"), Qt::LeftButton);
        QVERIFY(!t.panel->toolOpen());
        QVERIFY(t.v->view()->isModified());
        QVERIFY(undo->isEnabled());
        QVERIFY(save->isEnabled());
        const imaging::Bitmap afterColour = t.shown();
        QVERIFY(!samePixels(afterColour, t.original));

        QTest::mouseClick(t.panel->button(edit::EditPanel::kSharpenButton), Qt::LeftButton);
        QTRY_VERIFY(t.panel->toolOpen());
        QCOMPARE(t.panel->currentTool(), edit::ToolId::Sharpness);
        QVERIFY(!undo->isEnabled());
        auto* slider = child<QSlider>(t.panel->toolPanel(), "sharpenSlider");
        QTest::mouseClick(child<QAbstractButton>(t.panel->toolPanel(), "choiceSharpen"),
                          Qt::LeftButton);
        slider->setFocus();
        QTest::keyClick(slider, Qt::Key_End);
        QCOMPARE(child<QLabel>(t.panel->toolPanel(), "sharpenValue")->text(),
                 QStringLiteral("970"));
        QVERIFY(!samePixels(t.shown(), afterColour));
        QTest::mouseClick(child<QPushButton>(t.panel->toolPanel(), "okButton"), Qt::LeftButton);
        QVERIFY(!t.panel->toolOpen());

        QTest::mouseClick(undo, Qt::LeftButton);
        QVERIFY(samePixels(t.shown(), afterColour));
        QVERIFY(t.v->view()->isModified());
        QVERIFY(!undo->isEnabled());
        t.r.stop();
    }

    void closingTheBarIsCancel() {
        Run t;
        QVERIFY(open(t));
        QTest::keyClick(focused(), Qt::Key_H);
        QTRY_VERIFY(t.panel->toolOpen());
        QTest::mouseClick(child<QPushButton>(t.panel->toolPanel(), "grey"), Qt::LeftButton);
        QVERIFY(!samePixels(t.shown(), t.original));
        auto* close = t.v->editBar()->findChild<QAbstractButton*>(
            QStringLiteral("qt_dockwidget_closebutton"));
        QVERIFY(close);
        QTest::mouseClick(close, Qt::LeftButton);
        QTRY_VERIFY(!t.v->editBar()->isVisible());
        QVERIFY(!t.panel->toolOpen());
        QVERIFY(!t.v->view()->editLock());
        QVERIFY(samePixels(t.shown(), t.original));
        QVERIFY(!t.v->view()->isModified());
        t.r.stop();
    }

    void closingTheViewerWithAToolOpenIsCancel() {
        Run t;
        QVERIFY(open(t));
        QTest::keyClick(focused(), Qt::Key_H);
        QTRY_VERIFY(t.panel->toolOpen());
        QTest::mouseClick(child<QPushButton>(t.panel->toolPanel(), "grey"), Qt::LeftButton);
        ModalWatch watch; // a save question would be a fault
        t.v->close();
        QTRY_VERIFY(!t.r.app->viewerFrame());
        QCOMPARE(watch.seen, 0);
        t.r.stop();
    }

    void cropOfATypedWidthClampsAtTheEdge() {
        Run t;
        QVERIFY(open(t));
        QTest::keyClick(focused(), Qt::Key_K);
        QTRY_VERIFY(t.panel->toolOpen());
        QCOMPARE(t.panel->currentTool(), edit::ToolId::Crop);
        QVERIFY(t.v->view()->selectionActive());
        QWidget* tool = t.panel->toolPanel();
        // No selection yet: OK changes nothing and the panel stays.
        QTest::mouseClick(child<QPushButton>(tool, "okButton"), Qt::LeftButton);
        QVERIFY(t.panel->toolOpen());
        QVERIFY(samePixels(t.shown(), t.original));

        auto* width = child<QSpinBox>(tool, "width");
        auto* height = child<QSpinBox>(tool, "height");
        typeInto(height, "50", Qt::Key_Return);
        typeInto(width, "5000", Qt::Key_Return);
        QCOMPARE(width->value(), 600);
        QCOMPARE(height->value(), 50);
        QVERIFY(t.panel->toolOpen()); // Enter stayed with the field
        QTest::mouseClick(child<QPushButton>(tool, "okButton"), Qt::LeftButton);
        QVERIFY(!t.panel->toolOpen());
        QCOMPARE(t.shown().width(), 600);
        QCOMPARE(t.shown().height(), 50);
        QCOMPARE(t.shown().pixel(599, 49), t.original.pixel(599, 49));
        QVERIFY(!t.v->view()->selectionActive());
        QVERIFY(t.v->view()->isModified());
        t.r.stop();
    }

    void cropAtAThirdCutsTheRightPixels() {
        Run t;
        QVERIFY(open(t, 900, 600));
        QVERIFY(t.v->view()->setZoomPercent(33));
        QTest::keyClick(focused(), Qt::Key_K);
        QTRY_VERIFY(t.panel->toolOpen());
        CShowView* view = t.v->view();
        const QRect shown = view->displayRect();
        const QPoint from = shown.topLeft() + QPoint(31, 17);
        const QPoint to = shown.topLeft() + QPoint(200, 150);
        QTest::mousePress(view, Qt::LeftButton, {}, from);
        QTest::mouseMove(view, (from + to) / 2);
        QTest::mouseMove(view, to);
        QTest::mouseRelease(view, Qt::LeftButton, {}, to);
        // Window to picture: minus the picture's corner, divided by the
        // drawn scale, truncated.
        const double f = double(shown.width()) / 900;
        const int left = int(31 / f), top = int(17 / f);
        const int right = int(200 / f), bottom = int(150 / f);
        view->setFocus();
        QTest::keyClick(view, Qt::Key_Return); // the tool's OK
        QTRY_VERIFY(!t.panel->toolOpen());
        QCOMPARE(t.shown().width(), right - left);
        QCOMPARE(t.shown().height(), bottom - top);
        QCOMPARE(t.shown().pixel(0, 0), t.original.pixel(left, top));
        QCOMPARE(t.shown().pixel(right - left - 1, bottom - top - 1),
                 t.original.pixel(right - 1, bottom - 1));
        QCOMPARE(view->panOffset(), QPoint());
        t.r.stop();
    }

    void viewerCommandsOpenTheirToolsWithTheBar() {
        Run t;
        QVERIFY(open(t));
        if (t.v->editBar()->isVisible())
            t.v->toggleEditBar();
        QTest::keyClick(focused(), Qt::Key_K);
        QTRY_VERIFY(t.panel->toolOpen());
        QVERIFY(t.v->editBar()->isVisible());
        // Another tool's key does nothing while one is open.
        QTest::keyClick(t.v->view(), Qt::Key_H);
        QCOMPARE(t.panel->currentTool(), edit::ToolId::Crop);
        QTest::keyClick(t.v->view(), Qt::Key_Escape);
        QTRY_VERIFY(!t.panel->toolOpen());
        QVERIFY(t.r.app->viewerFrame());
        QVERIFY(!t.v->view()->selectionActive());
        // The frame tool has no panel yet.
        QVERIFY(!t.panel->button(edit::EditPanel::kFrameButton)->isEnabled());
        QVERIFY(t.panel->button(edit::EditPanel::kColourButton)->isEnabled());
        t.r.stop();
    }
};

QTEST_MAIN(TestEditPanel)
#include "tst_editpanel.moc"
