// The colour tool's live preview under a marker drag with the mouse: the
// steps are shown at the view's size, and the picture that OK keeps is
// exactly the levels applied to the original.
#define QTEST_QPA_MOUSE_HANDLING

#include "base/settingsstore.h"
#include "base/uisettings.h"
#include "edit/colourpanel.h"
#include "edit/editpanel.h"
#include "edit/histogrambox.h"
#include "edit/picturetools.h"
#include "imaging/colorops.h"
#include "imaging/colour/displaycolour.h"
#include "tests/support/colourpictures.h"
#include "tests/support/scratchdir.h"
#include "tests/support/watchdog.h"
#include "viewer/eyedoc.h"
#include "viewer/showview.h"

#include <QHBoxLayout>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>
#include <QtTest>

#include <algorithm>
#include <csignal>
#include <cstring>

using namespace kamelo;
using namespace kamelo::edit;
namespace tc = kamelo::testing::colour;

namespace {

imaging::Bitmap levelled(const imaging::Bitmap& source, const LevelsAdjuster& levels) {
    imaging::Bitmap out;
    imaging::ColorOps::mapTables(source, out, levels.table(LevelsAdjuster::kRed),
                                 levels.table(LevelsAdjuster::kGreen),
                                 levels.table(LevelsAdjuster::kBlue));
    return out;
}

// A picture much larger than the view, every pixel its own.
void writePicture(const std::string& path, int w, int h) {
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y, qRgb((x * 7) & 255, (y * 5) & 255, (x + y) & 255));
    QVERIFY(img.save(QString::fromStdString(path), "PNG"));
}

// The viewer with its edit bar beside it, shown.
struct ToolWindow {
    CEyeDoc doc; // outlives the window's view and panel
    QWidget window;
    CShowView* view;
    EditPanel* panel;
    ToolWindow(const std::string& path, SettingsStore& store)
        : view(new CShowView(doc, &window)), panel(new EditPanel(view, doc, &store, &window)) {
        doc.list().append(path);
        auto* layout = new QHBoxLayout(&window);
        layout->addWidget(view, 1);
        layout->addWidget(panel);
        window.resize(700, 500);
        window.show();
        window.activateWindow();
    }
};

} // namespace

class TestColourPreview : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        std::signal(SIGALRM, SIG_DFL);
        registerPictureTools();
    }

    void aDraggedMarkerPreviewsSmallAndOkKeepsTheExactLevels() {
        kamelo::test::Watchdog dog(120);
        kamelo::test::ScratchDir dir;
        SettingsStore store(dir.file("k.sqlite"));
        CUiSettings settings;
        setUiSettings(&settings);
        setSettingsStore(&store);
        const std::string path = dir.file("big.png");
        writePicture(path, 1600, 1200);
        ToolWindow w(path, store);
        QVERIFY(QTest::qWaitForWindowActive(&w.window));
        QCOMPARE(w.view->loadPicture(0), CShowView::kLoaded);
        CEyeDoc& doc = w.doc;
        CShowView* view = w.view;
        EditPanel* panel = w.panel;
        panel->refreshButtons();
        const imaging::Bitmap original = doc.displayed();
        QVERIFY(view->displayRect().width() < original.width());

        QTest::mouseClick(panel->button(EditPanel::kColourButton), Qt::LeftButton);
        auto* colour = qobject_cast<ColourPanel*>(panel->toolPanel());
        QVERIFY(colour);
        auto* histogram = colour->findChild<HistogramBox*>(QStringLiteral("histogram"));
        QVERIFY(histogram);
        const int y = HistogramBox::kBoxHeight + 6;
        const int x = HistogramBox::xOf(histogram->marker(HistogramBox::Black));
        QTest::mousePress(histogram, Qt::LeftButton, {}, QPoint(x, y));
        for (int step = 1; step <= 4; ++step) {
            QTest::mouseMove(histogram, QPoint(x + 10 * step, y));
            // While the marker moves only the shown copy changes.
            QVERIFY(colour->picture().previewPending());
            QVERIFY(samePixels(doc.displayed(), original));
        }
        QTest::mouseRelease(histogram, Qt::LeftButton, {}, QPoint(x + 40, y));
        QVERIFY(!colour->picture().previewPending());
        QCOMPARE(colour->findChild<QLineEdit*>(QStringLiteral("inBlack"))->text(),
                 QStringLiteral("40"));
        const imaging::Bitmap expected = levelled(original, colour->picture().levels());
        QVERIFY(!samePixels(expected, original));
        QVERIFY(samePixels(doc.displayed(), expected));

        // Dragged again, then OK without letting go first is not possible
        // with a mouse; OK after the drop keeps the exact result.
        const int g = HistogramBox::xOf(histogram->marker(HistogramBox::Gamma));
        QTest::mousePress(histogram, Qt::LeftButton, {}, QPoint(g, y));
        QTest::mouseMove(histogram, QPoint(g + 25, y));
        QVERIFY(colour->picture().previewPending());
        QTest::mouseRelease(histogram, Qt::LeftButton, {}, QPoint(g + 25, y));
        const imaging::Bitmap expected2 = levelled(original, colour->picture().levels());
        QTest::mouseClick(colour->findChild<QPushButton*>(QStringLiteral("okButton")),
                          Qt::LeftButton);
        QVERIFY(!panel->toolOpen());
        QVERIFY(samePixels(doc.displayed(), expected2));
        QVERIFY(view->isModified());
        setUiSettings(nullptr);
        setSettingsStore(nullptr);
    }

    // A Display P3 picture shown converted for the screen still has its
    // histogram at the values it stores.
    void theHistogramCountsThePicturesOwnValues() {
        kamelo::test::Watchdog dog(120);
        kamelo::test::ScratchDir dir;
        imaging::colour::DisplayColour::reset(); // managed, as the program starts
        SettingsStore store(dir.file("k.sqlite"));
        CUiSettings settings;
        setUiSettings(&settings);
        setSettingsStore(&store);
        constexpr uint32_t kColour = 0xD04030;
        const std::string path = dir.file("p3.jpg");
        tc::writeBytes(path, tc::solidJpeg(200, 150, kColour, tc::p3Profile()));
        const int converted = int(tc::expectedSrgb(tc::p3Profile(), kColour) >> 16);
        QVERIFY(std::abs(converted - 0xD0) > 4);

        ToolWindow w(path, store);
        QCOMPARE(w.view->loadPicture(0), CShowView::kLoaded);
        w.panel->refreshButtons();
        QTest::mouseClick(w.panel->button(EditPanel::kColourButton), Qt::LeftButton);
        auto* colour = qobject_cast<ColourPanel*>(w.panel->toolPanel());
        QVERIFY(colour);
        const auto& red = colour->picture().levels().histogram(1);
        const int peak = int(std::max_element(red.begin(), red.end()) - red.begin());
        QVERIFY2(std::abs(peak - 0xD0) <= 1, qPrintable(QString::number(peak)));
        setUiSettings(nullptr);
        setSettingsStore(nullptr);
    }
};

QTEST_MAIN(TestColourPreview)
#include "tst_colourpreview.moc"
