// The frame panel driven by clicks and keys: frames chosen from the list,
// text drawn on a copy of the framed picture, and the alpha and offset edits.
#define QTEST_QPA_MOUSE_HANDLING

#include "frames/fontfallback.h"
#include "frames/ui/framepanel.h"
#include "frames/ui/frametools.h"
#include "resources/stringtable.h"
#include "tests/frames_ui/framepanelenv.h"
#include "tests/support/modalscript.h"
#include "tests/support/samepixels.h"
#include "viewer/eyedoc.h"
#include "viewer/showview.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QtTest>

#include <filesystem>

using namespace kamelo;
using namespace kamelo::edit;
using namespace kamelo::frames;
using namespace kamelo::test::framepanel;
using kamelo::test::activeModal;
using kamelo::test::samePixels;
using kamelo::test::Script;
namespace fs = std::filesystem;

class TestFramePanel : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { prepareRun(); }

    void textOnThenOffGivesTheFramedPictureBack() {
        Env e;
        e.doc.list().append(e.picture("p.png", 64, 48));
        CShowView view(e.doc);
        QCOMPARE(view.loadPicture(0), CShowView::kLoaded);
        const imaging::Bitmap original = e.doc.displayed();
        Shown s({&view, &e.doc, &e.store, nullptr}, listSkins(e.skins));
        auto* list = s.get<QListWidget>("frameList");
        QCOMPARE(list->count(), 4);
        QCOMPARE(list->item(0)->text(), res::qtext(res::IDS_FRAME_NONE));
        QCOMPARE(list->item(1)->text(), QString::fromUtf8("나무 액자"));
        QCOMPARE(s.get<QLabel>("help")->text(), res::qtext(res::IDS_ONE_PICTURE_SELECTED));
        // Composed at once: no frame yet, the picture as it was.
        QVERIFY(samePixels(e.doc.displayed(), original));

        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(list->item(0)).center());
        QTest::keyClick(focused(), Qt::Key_Down);
        QCOMPARE(s.panel->current().frameIndex, 1);
        const imaging::Bitmap framed = e.doc.displayed();
        QCOMPARE(framed.width(), 64 + 20);
        QCOMPARE(framed.height(), 48 + 20);
        QVERIFY(samePixels(framed, s.panel->framed()));

        click(s.get<QCheckBox>("drawText"));
        QVERIFY(!samePixels(e.doc.displayed(), framed));
        // More changes while the text is on: each starts again from the
        // framed picture.
        typeInto(s.get<QLineEdit>("text"), QStringLiteral("Hello frame"));
        QCOMPARE(s.panel->current().text, std::string("Hello frame"));
        QComboBox* position = s.get<QComboBox>("textPosition");
        // A click opens the list and gives the box the focus; Escape closes
        // the list and the arrow key picks the next anchor.
        QTest::mouseClick(position, Qt::LeftButton);
        QTest::keyClick(focused(), Qt::Key_Escape);
        QTRY_COMPARE(focused(), static_cast<QWidget*>(position));
        QTest::keyClick(focused(), Qt::Key_Down);
        QCOMPARE(position->currentIndex(), 1);
        QCOMPARE(s.panel->current().textPosition, 1);
        QVERIFY(samePixels(s.panel->framed(), framed));
        click(s.get<QCheckBox>("drawText"));
        QVERIFY(samePixels(e.doc.displayed(), framed));

        // Back to no frame gives the original whole.
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(list->item(1)).center());
        QTest::keyClick(focused(), Qt::Key_Home);
        QCOMPARE(s.panel->current().frameIndex, 0);
        QVERIFY(samePixels(e.doc.displayed(), original));

        // OK keeps the picture and writes the section.
        QSignalSpy finished(s.panel, &EditToolPanel::finished);
        click(s.get<QPushButton>("okButton"));
        QCOMPARE(finished.count(), 1);
        QCOMPARE(e.store.getString("Frame Decoration", "Text", ""), std::string("Hello frame"));
        QCOMPARE(e.store.getInt("Frame Decoration", "Frame Select", -1), 0);
        QCOMPARE(e.store.getInt("Frame Decoration", "Draw Text", -1), 0);
        QCOMPARE(e.store.getInt("Frame Decoration", "Text Position", -1), 1);
    }

    void noFrameWithTextDecoratesTheUnframedPicture() {
        Env e;
        e.doc.list().append(e.picture("p.png", 80, 60));
        CShowView view(e.doc);
        QCOMPARE(view.loadPicture(0), CShowView::kLoaded);
        const imaging::Bitmap original = e.doc.displayed();
        e.store.setInt("Frame Decoration", "Frame Select", 1);
        e.store.setInt("Frame Decoration", "Draw Text", 1);
        e.store.setInt("Frame Decoration", "Font Color", 0x0000FF);
        Shown s({&view, &e.doc, &e.store, nullptr}, listSkins(e.skins));
        // The stored frame is chosen, with the text over it.
        QCOMPARE(s.panel->current().frameIndex, 1);
        QCOMPARE(e.doc.displayed().width(), 100);
        auto* list = s.get<QListWidget>("frameList");
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(list->item(0)).center());
        QCOMPARE(s.panel->current().frameIndex, 0);
        const imaging::Bitmap& shown = e.doc.displayed();
        QCOMPARE(shown.width(), original.width());
        QCOMPARE(shown.height(), original.height());
        QVERIFY(!samePixels(shown, original));
        QVERIFY(samePixels(s.panel->framed(), original));
        click(s.get<QCheckBox>("drawText"));
        QVERIFY(samePixels(e.doc.displayed(), original));
    }

    void alphaAbove255WithEnterIsRefused() {
        Env e;
        e.doc.list().append(e.picture("p.png", 64, 48));
        CShowView view(e.doc);
        QCOMPARE(view.loadPicture(0), CShowView::kLoaded);
        Shown s({&view, &e.doc, &e.store, nullptr}, listSkins(e.skins));
        click(s.get<QCheckBox>("drawText"));
        const imaging::Bitmap before = e.doc.displayed();
        QSignalSpy preview(s.panel, &EditToolPanel::previewChanged);
        auto* alpha = s.get<QLineEdit>("alpha");
        QCOMPARE(alpha->text(), QStringLiteral("255"));
        typeInto(alpha, QStringLiteral("300"));
        bool seen = false;
        Script script({answerMessage(res::IDS_MSG_TEXT_ALPHA_RANGE, &seen)});
        QTest::keyClick(focused(), Qt::Key_Return);
        QVERIFY(script.done());
        QVERIFY(seen);
        // The edit has the focus with its text selected; nothing redrawn.
        reactivate(&s.window);
        QCOMPARE(focused(), static_cast<QWidget*>(alpha));
        QCOMPARE(alpha->selectedText(), QStringLiteral("300"));
        QCOMPARE(preview.count(), 0);
        QVERIFY(samePixels(e.doc.displayed(), before));
        QCOMPARE(int(s.panel->current().textAlpha), 255);
        // A value in range is taken and drawn.
        QTest::keyClicks(focused(), QStringLiteral("0"));
        QTest::keyClick(focused(), Qt::Key_Return);
        QCOMPARE(int(s.panel->current().textAlpha), 0);
        QCOMPARE(preview.count(), 1);
    }

    void enterClampsTheOffsetsForTheAnchor() {
        Env e;
        e.doc.list().append(e.picture("p.png", 64, 48));
        CShowView view(e.doc);
        QCOMPARE(view.loadPicture(0), CShowView::kLoaded);
        Shown s({&view, &e.doc, &e.store, nullptr}, listSkins(e.skins));
        click(s.get<QCheckBox>("drawText"));
        typeInto(s.get<QLineEdit>("text"), QStringLiteral("ab"));
        const OffsetRanges r = s.panel->textRanges();
        // Anchor 0 is the bottom left: right and up only.
        QCOMPARE(r.x.min, 0);
        QVERIFY(r.x.max > 0 && r.x.max < 64);
        QVERIFY(r.y.min < 0);
        QCOMPARE(r.y.max, 0);
        auto* x = s.get<QLineEdit>("textX");
        typeInto(x, QStringLiteral("99999"));
        QTest::keyClick(focused(), Qt::Key_Return);
        QCOMPARE(s.panel->current().textOffsetX, r.x.max);
        QCOMPARE(x->text(), QString::number(r.x.max));
        typeInto(s.get<QLineEdit>("textY"), QStringLiteral("-99999"));
        QTest::keyClick(focused(), Qt::Key_Return);
        QCOMPARE(s.panel->current().textOffsetY, r.y.min);
        typeInto(x, QStringLiteral("-7"));
        QTest::keyClick(focused(), Qt::Key_Return);
        QCOMPARE(s.panel->current().textOffsetX, 0);
        // The arrows step within the range.
        auto* spin = s.get<QSpinBox>("textXSpin");
        QCOMPARE(spin->minimum(), r.x.min);
        QCOMPARE(spin->maximum(), r.x.max);
        // A text wider than the canvas: 0..0, never an inverted range.
        typeInto(s.get<QLineEdit>("text"), QString(40, QLatin1Char('W')));
        QCOMPARE(s.panel->textRanges().x.min, 0);
        QCOMPARE(s.panel->textRanges().x.max, 0);
        QCOMPARE(spin->minimum(), 0);
        QCOMPARE(spin->maximum(), 0);
        typeInto(x, QStringLiteral("12"));
        QTest::keyClick(focused(), Qt::Key_Return);
        QCOMPARE(s.panel->current().textOffsetX, 0);
    }

    // Text that does not fit on the picture is cut: the panel says so while
    // it is typed. The font label names the face drawn, and a missing
    // stored face beside it.
    void theTextNotesWhatIsDrawn_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("position");
        QTest::addColumn<QString>("face");
        QTest::newRow("short") << "Hi" << 0 << "";
        QTest::newRow("wide") << "Make it Cool - Kamelo frame text" << 0 << "없는글꼴 Kamelo";
        QTest::newRow("wide, centred") << "Make it Cool - Kamelo frame text" << 7 << "";
        QTest::newRow("short, centred") << "Hi" << 7 << "없는글꼴 Kamelo";
    }

    void theTextNotesWhatIsDrawn() {
        QFETCH(QString, text);
        QFETCH(int, position);
        QFETCH(QString, face);
        Env e;
        e.doc.list().append(e.picture("p.png", 90, 60));
        CShowView view(e.doc);
        QCOMPARE(view.loadPicture(0), CShowView::kLoaded);
        const QString present = faceForDrawing(QString());
        e.store.setInt("Frame Decoration", "Text Position", position);
        e.store.setInt("Frame Decoration", "Font Size", 12);
        e.store.setString("Frame Decoration", "Font Face",
                          (face.isEmpty() ? present : face).toStdString());
        Shown s({&view, &e.doc, &e.store, nullptr}, listSkins(e.skins));
        QCOMPARE(s.get<QLabel>("fontLabel")->text().left(present.size() + 2),
                 present + (face.isEmpty() ? QStringLiteral(", ") : QStringLiteral(" (")));
        QCOMPARE(s.get<QLabel>("fontLabel")->text().contains(face), true);
        auto* note = s.get<QLabel>("textNote");
        click(s.get<QCheckBox>("drawText"));
        typeInto(s.get<QLineEdit>("text"), text);
        QCOMPARE(note->isVisible(), text.size() > 2);
        click(s.get<QCheckBox>("drawText")); // off: nothing is cut
        QVERIFY(!note->isVisible());
    }
};

QTEST_MAIN(TestFramePanel)
#include "tst_framepanel.moc"
