// The colour tool counts the picture's own values: a Display P3 picture shown
// converted for the screen still has its histogram at the values it stores.
#include "base/settingsstore.h"
#include "base/uisettings.h"
#include "edit/colourpanel.h"
#include "edit/editpanel.h"
#include "edit/picturetools.h"
#include "imaging/colour/displaycolour.h"
#include "tests/support/colourpictures.h"
#include "tests/support/scratchdir.h"
#include "tests/support/watchdog.h"
#include "viewer/eyedoc.h"
#include "viewer/showview.h"

#include <QHBoxLayout>
#include <QToolButton>
#include <QtTest>

#include <algorithm>
#include <csignal>

using namespace kamelo;
using namespace kamelo::edit;
namespace tc = kamelo::testing::colour;

class TestColourHistogram : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        std::signal(SIGALRM, SIG_DFL);
        registerPictureTools();
    }

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

        CEyeDoc doc;
        doc.list().append(path);
        QWidget window;
        auto* view = new CShowView(doc, &window);
        auto* panel = new EditPanel(view, doc, &store, &window);
        auto* layout = new QHBoxLayout(&window);
        layout->addWidget(view, 1);
        layout->addWidget(panel);
        window.resize(600, 400);
        window.show();
        QCOMPARE(view->loadPicture(0), CShowView::kLoaded);
        panel->refreshButtons();
        QTest::mouseClick(panel->button(EditPanel::kColourButton), Qt::LeftButton);
        auto* colour = qobject_cast<ColourPanel*>(panel->toolPanel());
        QVERIFY(colour);
        const auto& red = colour->picture().levels().histogram(1);
        const int peak = int(std::max_element(red.begin(), red.end()) - red.begin());
        QVERIFY2(std::abs(peak - 0xD0) <= 1, qPrintable(QString::number(peak)));
        setUiSettings(nullptr);
        setSettingsStore(nullptr);
    }
};

QTEST_MAIN(TestColourHistogram)
#include "tst_colourhistogram.moc"
