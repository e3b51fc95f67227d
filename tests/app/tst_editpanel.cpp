// The viewer's edit panel driven as a user does: tool keys, typed values,
// buttons, the histogram's markers and the view's selection with the mouse.
#define QTEST_QPA_MOUSE_HANDLING

#include "edit/editpanel.h"
#include "edit/histogrambox.h"
#include "imaging/picturefile.h"
#include "programrun.h"
#include "resources/qtstrings.h"
#include "resources/stringtable.h"
#include "tests/support/modalscript.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QDockWidget>
#include <QLineEdit>
#include <QPlainTextEdit>
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
        // The frame tool registers its panel at start-up.
        QVERIFY(t.panel->button(edit::EditPanel::kFrameButton)->isEnabled());
        QVERIFY(t.panel->button(edit::EditPanel::kColourButton)->isEnabled());
        t.r.stop();
    }

    void batchColourKeepsOneRecordPerFile() {
        ProgramRun r;
        for (const char* name : {"g1.png", "g2.png", "g3.png"})
            writeUnique(r.photo(name), 90 + int(name[1] - '0'), 60);
        r.start();
        QVERIFY(r.browsePhotos());
        clickItem(r.list(), r.row("g1.png"));
        clickItem(r.list(), r.row("g2.png"), Qt::ControlModifier);
        clickItem(r.list(), r.row("g3.png"), Qt::ControlModifier);
        QTRY_COMPARE(r.list()->selectedIndexes().size(), 3);
        QTest::keyClick(focused(), Qt::Key_H, Qt::ControlModifier);
        CShowFrame* v = r.viewer();
        QVERIFY(v);
        edit::EditPanel* panel = v->editPanel();
        QTRY_VERIFY(panel->toolOpen());
        QCOMPARE(panel->currentTool(), edit::ToolId::Colour);
        QWidget* tool = panel->toolPanel();
        auto* ok = child<QPushButton>(tool, "okButton");
        auto* next = child<QPushButton>(tool, "next");
        QVERIFY(!ok->isEnabled());
        QVERIFY(!child<QPushButton>(tool, "previous")->isEnabled());
        QVERIFY(v->windowTitle().startsWith(
            QString::fromUtf8(res::format(res::IDS_COLOUR_BATCH_CAPTION, 1, 3))));

        QTest::mouseClick(child<QPushButton>(tool, "grey"), Qt::LeftButton);
        QTest::mouseClick(next, Qt::LeftButton);
        QVERIFY(v->windowTitle().endsWith(r.photo("g2.png")));
        QCOMPARE(r.app->doc().displayed().width(), 92);
        QVERIFY(!ok->isEnabled());
        QTest::mouseClick(next, Qt::LeftButton);
        QVERIFY(ok->isEnabled());
        QVERIFY(!next->isEnabled());
        auto* toFolder = child<QAbstractButton>(tool, "toFolder");
        toFolder->setFocus();
        QTest::keyClick(toFolder, Qt::Key_Space);
        QVERIFY(toFolder->isChecked());
        const QString out = r.photo("output");
        QCOMPARE(child<QLineEdit>(tool, "folder")->text(), out);

        QString log;
        Script script({
            {[] {
                 QWidget* d = activeModal();
                 return d && d->objectName() == "batchProgress" &&
                        d->findChild<QPlainTextEdit*>()->toPlainText().contains(
                            QString::fromUtf8("완료"));
             },
             [&log] {
                 log = activeModal()->findChild<QPlainTextEdit*>()->toPlainText();
                 QTest::keyClick(focused(), Qt::Key_Return);
             }},
        });
        QTest::mouseClick(ok, Qt::LeftButton);
        QTRY_VERIFY(script.done());
        QTRY_VERIFY(!r.app->viewerFrame());
        QTRY_VERIFY(r.frame()->isEnabled());
        QVERIFY2(!log.contains(QLatin1String("g1.png")) || QFile::exists(out + "/g1.png"),
                 qPrintable(log));
        // The first file went grey; the two only looked at kept their pixels.
        imaging::Bitmap g1, g2, g3, source;
        QCOMPARE(imaging::PictureFile::load((out + "/g1.png").toStdString(), g1), 1);
        const uint32_t p = g1.pixel(50, 20);
        QCOMPARE(p >> 16 & 255, p & 255);
        QCOMPARE(imaging::PictureFile::load((out + "/g2.png").toStdString(), g2), 1);
        QCOMPARE(imaging::PictureFile::load(r.photo("g2.png").toStdString(), source), 1);
        QVERIFY(samePixels(g2, source));
        QCOMPARE(imaging::PictureFile::load((out + "/g3.png").toStdString(), g3), 1);
        QCOMPARE(imaging::PictureFile::load(r.photo("g3.png").toStdString(), source), 1);
        QVERIFY2(samePixels(g3, source), qPrintable(QStringLiteral("%1x%2 %3x%4 %5 %6")
                                                        .arg(g3.width())
                                                        .arg(g3.height())
                                                        .arg(source.width())
                                                        .arg(source.height())
                                                        .arg(g3.pixel(50, 20), 0, 16)
                                                        .arg(source.pixel(50, 20), 0, 16)));
        r.stop();
    }
};

QTEST_MAIN(TestEditPanel)
#include "tst_editpanel.moc"
