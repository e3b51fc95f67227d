// The frame panel's skins and dialogs: damaged skins refused, no skins at all,
// the tag taken from the file dialog, and the font dialog.
#define QTEST_QPA_MOUSE_HANDLING

#include "edit/editpanel.h"
#include "frames/fontfallback.h"
#include "frames/ui/framepanel.h"
#include "frames/ui/frametools.h"
#include "resources/stringtable.h"
#include "tests/frames_ui/framepanelenv.h"
#include "tests/support/modalscript.h"
#include "tests/support/samepixels.h"
#include "tests/support/scratchdir.h"
#include "viewer/eyedoc.h"
#include "viewer/showview.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QFontDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>
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

class TestFrameDialogs : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { prepareRun(); }

    void damagedSkinsAreRefusedAndThePictureKept() {
        Env e;
        e.doc.list().append(e.picture("p.png", 64, 48));
        CShowView view(e.doc);
        QCOMPARE(view.loadPicture(0), CShowView::kLoaded);
        Shown s({&view, &e.doc, &e.store, nullptr}, listSkins(e.skins));
        auto* list = s.get<QListWidget>("frameList");
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(list->item(1)).center());
        const imaging::Bitmap framed = e.doc.displayed();
        QCOMPARE(framed.width(), 84);
        bool invalid = false;
        Script broken({answerMessage(res::IDS_MSG_FRAME_SKIN_INVALID, &invalid)});
        QTest::keyClick(focused(), Qt::Key_Down);
        QTRY_VERIFY(broken.done());
        QVERIFY(invalid);
        reactivate(&s.window);
        QCOMPARE(list->currentRow(), 1);
        QCOMPARE(s.panel->current().frameIndex, 1);
        QVERIFY(samePixels(e.doc.displayed(), framed));
        bool missing = false;
        Script noBitmap({answerMessage(res::IDS_MSG_FRAME_BITMAP_MISSING, &missing)});
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(list->item(3)).center());
        QTRY_VERIFY(noBitmap.done());
        QVERIFY(missing);
        QCOMPARE(list->currentRow(), 1);
        QVERIFY(samePixels(e.doc.displayed(), framed));
    }

    void withoutSkinsTheToolStaysClosed() {
        Env e;
        e.doc.list().append(e.picture("p.png", 64, 48));
        CShowView view(e.doc);
        QCOMPARE(view.loadPicture(0), CShowView::kLoaded);
        const std::string empty = e.dir.file("emptyskin");
        fs::create_directories(empty);
        kamelo::test::writeFile(empty + "/readme.txt", "no skins here");
        registerFrameTool(empty);
        QWidget window;
        auto* panel = new EditPanel(&view, e.doc, &e.store, &window);
        (new QVBoxLayout(&window))->addWidget(panel);
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        bool seen = false;
        Script script({answerMessage(res::IDS_MSG_NO_FRAME_SKIN, &seen)});
        click(panel->button(EditPanel::kFrameButton));
        QTRY_VERIFY(script.done());
        QVERIFY(seen);
        QVERIFY(!panel->toolOpen());
        QCOMPARE(panel->currentTool(), ToolId::None);

        // With skins it opens on the viewer's picture.
        registerFrameTool(e.skins);
        click(panel->button(EditPanel::kFrameButton));
        QVERIFY(panel->toolOpen());
        QVERIFY(qobject_cast<FramePanel*>(panel->toolPanel()));
        QCOMPARE(panel->title(), res::qtext(res::IDS_FRAME_TOOL));
    }

    void theTagComesFromTheFileDialog() {
        Env e;
        e.doc.list().append(e.picture("p.png", 64, 48));
        const std::string tag = e.picture("tag.png", 10, 8);
        CShowView view(e.doc);
        QCOMPARE(view.loadPicture(0), CShowView::kLoaded);
        const imaging::Bitmap original = e.doc.displayed();
        Shown s({&view, &e.doc, &e.store, nullptr}, listSkins(e.skins));
        auto* check = s.get<QCheckBox>("drawTag");
        // Cancelling the dialog the check box opened turns the tag off.
        Script cancelled({{[] { return activeModal<QFileDialog>() != nullptr; },
                           [] { QTest::keyClick(focused(), Qt::Key_Escape); }}});
        click(check);
        QTRY_VERIFY(cancelled.done());
        reactivate(&s.window);
        QVERIFY(!check->isChecked());
        QCOMPARE(s.panel->current().drawTag, 0);
        QVERIFY(samePixels(e.doc.displayed(), original));

        // A file typed into the dialog is taken.
        Script chosen({{[] { return activeModal<QFileDialog>() != nullptr; },
                        [tag] {
                            QTest::keyClicks(focused(), QString::fromStdString(tag));
                            QTest::keyClick(focused(), Qt::Key_Return);
                        }}});
        click(check);
        QTRY_VERIFY(chosen.done());
        reactivate(&s.window);
        QVERIFY(check->isChecked());
        QCOMPARE(s.panel->current().tagPath, tag);
        QCOMPARE(s.get<QLineEdit>("tagPath")->text(), QString::fromStdString(tag));
        QVERIFY(!samePixels(e.doc.displayed(), original));
        // The tag's own size limits its offsets: anchor 0 allows 0..64-10.
        QCOMPARE(s.panel->tagRanges().x.min, 0);
        QCOMPARE(s.panel->tagRanges().x.max, 54);
        QCOMPARE(s.panel->tagRanges().y.min, -40);
        QCOMPARE(s.panel->tagRanges().y.max, 0);
        click(check);
        QVERIFY(samePixels(e.doc.displayed(), original));
    }

    void theFontDialogKeepsSizeAndEffects() {
        Env e;
        e.doc.list().append(e.picture("p.png", 64, 48));
        CShowView view(e.doc);
        QCOMPARE(view.loadPicture(0), CShowView::kLoaded);
        e.store.setInt("Frame Decoration", "Font Size", 20);
        e.store.setInt("Frame Decoration", "Strikeout Style", 1);
        e.store.setInt("Frame Decoration", "Underline Style", 1);
        Shown s({&view, &e.doc, &e.store, nullptr}, listSkins(e.skins));
        auto* label = s.get<QLabel>("fontLabel");
        // The face the text is drawn with, beside the stored one it stands for.
        const QString used = faceForDrawing(QString::fromUtf8("굴림"));
        const QString shown = used == QString::fromUtf8("굴림")
                                  ? QString::fromUtf8("굴림, 20, 취소선, 밑줄")
                                  : used + QString::fromUtf8(" (굴림 없음), 20, 취소선, 밑줄");
        QCOMPARE(label->text(), shown);
        // Accepted as it opened: the size and the effects come back, and the
        // stored face stays though the system lacks it.
        QString face;
        Script script({{[] {
                            QWidget* d = activeModal();
                            return d && d->objectName() == "fontDialog";
                        },
                        [&face] {
                            auto* d = qobject_cast<QFontDialog*>(activeModal());
                            face = d->currentFont().family();
                            QTest::keyClick(focused(), Qt::Key_Return);
                        }}});
        click(s.get<QPushButton>("fontButton"));
        QTRY_VERIFY(script.done());
        const DecorationRecord& r = s.panel->current();
        QCOMPARE(r.fontSize, 20);
        QCOMPARE(r.strikeout, 1);
        QCOMPARE(r.underline, 1);
        QCOMPARE(r.bold, 0);
        QVERIFY(!face.isEmpty());
        QCOMPARE(r.fontFace, std::string("굴림"));
        QCOMPARE(label->text(), shown);
    }
};

QTEST_MAIN(TestFrameDialogs)
#include "tst_framedialogs.moc"
