// The rotate and resize panels driven by clicks and keys: the viewer's
// picture turned and mirrored in memory, "자동 회전" under both
// orientation settings, the batch panel's enabling over ten files, and the
// resize panel's refusal.
#include "base/settingsstore.h"
#include "base/uisettings.h"
#include "edit/batchhandover.h"
#include "edit/editpanel.h"
#include "edit/resizeform.h"
#include "edit/resizepanel.h"
#include "edit/resizerotatetools.h"
#include "edit/rotateops.h"
#include "edit/rotatepanel.h"
#include "exif/jpegpropertyinfo.h"
#include "imaging/orientation.h"
#include "imaging/picturefile.h"
#include "resources/qtstrings.h"
#include "resources/stringtable.h"
#include "tests/support/modalscript.h"
#include "tests/support/scratchdir.h"
#include "tests/support/testdata.h"
#include "viewer/eyedoc.h"
#include "viewer/showview.h"
#include "viewer/viewersave.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QToolButton>
#include <QVBoxLayout>
#include <QtTest>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <unistd.h>

using namespace kamelo;
using namespace kamelo::edit;
using kamelo::test::activeModal;
using kamelo::test::Script;
namespace fs = std::filesystem;

namespace {

struct Env {
    kamelo::test::ScratchDir dir;
    SettingsStore store{dir.file("k.sqlite")};
    CUiSettings settings;
    CEyeDoc doc;
    Env(int applyOrientation) {
        settings.applyOrientation = applyOrientation;
        setUiSettings(&settings);
        setSettingsStore(&store);
    }
    ~Env() {
        setUiSettings(nullptr);
        setSettingsStore(nullptr);
    }
    std::string copy(const std::string& relative, const std::string& name) {
        const std::string to = dir.file(name);
        fs::copy_file(kamelo::test::testDataFile(relative), to);
        fs::permissions(to, fs::perms::owner_write, fs::perm_options::add);
        return to;
    }
};

void click(QAbstractButton* b) {
    QVERIFY(b);
    QVERIFY(b->isEnabled());
    QTest::mouseClick(b, Qt::LeftButton);
}

// The panel in a window of its own, shown and focused as in the edit bar.
template <class Panel> struct Shown {
    QWidget window;
    Panel* panel;
    explicit Shown(const EditContext& c) : panel(new Panel(c, &window)) {
        auto* l = new QVBoxLayout(&window);
        l->addWidget(panel);
        window.show();
        window.activateWindow();
        (void)QTest::qWaitForWindowActive(&window);
    }
};

} // namespace

class TestRotateResizePanels : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        // A hang ends the run instead of blocking the suite.
        std::signal(SIGALRM, SIG_DFL);
        alarm(240);
        registerResizeRotateTools();
        if (test::testDataDir().empty())
            QSKIP("sample pictures not found; set KAMELO_TESTDATA");
    }

    void buttonsTurnThePictureAndOriginalTakesBackTheLast() {
        Env e(1);
        e.doc.list().append(e.copy("camera/Canon_40D.jpg", "a.jpg"));
        CShowView view(e.doc);
        QCOMPARE(view.loadPicture(0), CShowView::kLoaded);
        const imaging::Bitmap original = e.doc.displayed();
        Shown<RotatePanel> s({&view, &e.doc, &e.store, nullptr});
        QSignalSpy preview(s.panel, &EditToolPanel::previewChanged);
        click(s.panel->button(RotateCode::Left));
        click(s.panel->button(RotateCode::Left));
        QCOMPARE(preview.count(), 2);
        QVERIFY(view.isModified());
        imaging::Bitmap half = original;
        QCOMPARE(RotateOps::applyCode(half, RotateCode::HalfTurn), 1);
        QVERIFY(samePixels(e.doc.displayed(), half));
        click(s.panel->originalButton());
        imaging::Bitmap left = original;
        QCOMPARE(RotateOps::applyCode(left, RotateCode::Left), 1);
        QVERIFY(samePixels(e.doc.displayed(), left));
        QCOMPARE(s.panel->currentCode(), RotateCode::None);
        // A diagonal and its undo give the picture back byte for byte.
        click(s.panel->button(RotateCode::RightDiagonal));
        click(s.panel->originalButton());
        QVERIFY(samePixels(e.doc.displayed(), left));
        // Enter is OK: the panel closes keeping the picture.
        QSignalSpy finished(s.panel, &EditToolPanel::finished);
        s.panel->enterPressed();
        QCOMPARE(finished.count(), 1);
    }

    void autoRotateStandsTheStoredPictureUprightOnce() {
        Env e(0); // shown as stored
        const std::string six = e.copy("camera/Sony Cybershot (3).jpg", "six.jpg");
        e.doc.list().append(six);
        CShowView view(e.doc);
        QCOMPARE(view.loadPicture(0), CShowView::kLoaded);
        const imaging::Bitmap stored = e.doc.displayed();
        Shown<RotatePanel> s({&view, &e.doc, &e.store, nullptr});
        click(s.panel->button(RotateCode::Auto));
        imaging::Bitmap upright = stored;
        QCOMPARE(imaging::Orientation::makeUpright(upright, 6), 1);
        QVERIFY(samePixels(e.doc.displayed(), upright));
        QVERIFY(view.orientationMark());
        QVERIFY(view.isModified());
        QCOMPARE(s.panel->currentCode(), RotateCode::Right);
        // A second press finds the mark: nothing turns twice.
        click(s.panel->button(RotateCode::Auto));
        QVERIFY(samePixels(e.doc.displayed(), upright));
        QCOMPARE(s.panel->lastNotice(), res::qtext(res::IDS_ROTATE_ALREADY_UPRIGHT));
        // Saved while the mark is set: orientation 1, so no reader turns it again.
        QCOMPARE(ViewerSave::save(e.doc.displayed(), six, view.orientationMark()), 1);
        QCOMPARE(JpegPropertyInfo::read(six).shortOr(274), uint16_t(1));
        QCOMPARE(imaging::Orientation::read(six), 1);
        imaging::Bitmap back;
        QCOMPARE(imaging::PictureFile::load(six, back), 1);
        QCOMPARE(back.width(), upright.width());
        QCOMPARE(back.height(), upright.height());
        // A new load clears the mark.
        QCOMPARE(view.loadPicture(0), CShowView::kLoaded);
        QVERIFY(!view.orientationMark());
    }

    // "원래 그림으로", OK then "실행취소", and Cancel each put the modified
    // flag and the orientation mark back as they were before.
    void takingBackAutoRotateRestoresTheFlags() {
        Env e(0);
        e.doc.list().append(e.copy("camera/Sony Cybershot (3).jpg", "six.jpg"));
        CShowView view(e.doc);
        QCOMPARE(view.loadPicture(0), CShowView::kLoaded);
        const imaging::Bitmap stored = e.doc.displayed();
        QWidget window;
        auto* panel = new EditPanel(&view, e.doc, &e.store, &window);
        auto* l = new QVBoxLayout(&window);
        l->addWidget(panel);
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        const auto openRotate = [&]() -> RotatePanel* {
            click(panel->button(EditPanel::kRotateButton));
            return qobject_cast<RotatePanel*>(panel->toolPanel());
        };
        const auto flags = [&] { return std::pair(view.isModified(), view.orientationMark()); };
        using Flags = std::pair<bool, bool>;

        RotatePanel* rotate = openRotate();
        QVERIFY(rotate);
        click(rotate->button(RotateCode::Auto));
        QCOMPARE(flags(), Flags(true, true));
        click(rotate->originalButton());
        QVERIFY(samePixels(e.doc.displayed(), stored));
        QCOMPARE(flags(), Flags(false, false));
        // Turned again and kept: the undo button takes it back, flags too.
        click(rotate->button(RotateCode::Auto));
        click(rotate->findChild<QPushButton*>("ok"));
        QVERIFY(!panel->toolOpen());
        QCOMPARE(flags(), Flags(true, true));
        click(panel->button(EditPanel::kUndoButton));
        QVERIFY(samePixels(e.doc.displayed(), stored));
        QCOMPARE(flags(), Flags(false, false));
        QVERIFY(!panel->button(EditPanel::kUndoButton)->isEnabled());
        // Cancel after the turn.
        rotate = openRotate();
        click(rotate->button(RotateCode::Auto));
        click(rotate->findChild<QPushButton*>("cancel"));
        QVERIFY(!panel->toolOpen());
        QVERIFY(samePixels(e.doc.displayed(), stored));
        QCOMPARE(flags(), Flags(false, false));

        // A picture already changed stays changed: the flags go back to
        // what they were before the last step, not to "unchanged".
        rotate = openRotate();
        click(rotate->button(RotateCode::MirrorLeftRight));
        click(rotate->findChild<QPushButton*>("ok"));
        QCOMPARE(flags(), Flags(true, false));
        const imaging::Bitmap mirrored = e.doc.displayed();
        rotate = openRotate();
        click(rotate->button(RotateCode::Auto));
        QCOMPARE(flags(), Flags(true, true));
        click(rotate->originalButton());
        QVERIFY(samePixels(e.doc.displayed(), mirrored));
        QCOMPARE(flags(), Flags(true, false));
        click(rotate->findChild<QPushButton*>("ok"));
        QCOMPARE(flags(), Flags(true, false));
    }

    void autoRotateLeavesUprightAndUntaggedFilesAlone() {
        Env e(0);
        e.doc.list().append(e.copy("camera/Canon_40D.jpg", "one.jpg"));
        e.doc.list().append(e.copy("camera/Pentax ist D.jpg", "none.jpg"));
        CShowView view(e.doc);
        for (int i = 0; i < 2; ++i) {
            QCOMPARE(view.loadPicture(i), CShowView::kLoaded);
            const imaging::Bitmap before = e.doc.displayed();
            Shown<RotatePanel> s({&view, &e.doc, &e.store, nullptr});
            click(s.panel->button(RotateCode::Auto));
            QVERIFY(samePixels(e.doc.displayed(), before));
            QVERIFY(!view.orientationMark());
            QVERIFY(!view.isModified());
            QCOMPARE(s.panel->lastNotice(), res::qtext(res::IDS_ROTATE_NOTHING_TO_TURN));
        }
    }

    void withApplyOrientationThePictureIsAlreadyUpright() {
        Env e(1);
        e.doc.list().append(e.copy("camera/Canon PowerShot A85.jpg", "eight.jpg"));
        CShowView view(e.doc);
        QCOMPARE(view.loadPicture(0), CShowView::kLoaded);
        const imaging::Bitmap shown = e.doc.displayed();
        Shown<RotatePanel> s({&view, &e.doc, &e.store, nullptr});
        click(s.panel->button(RotateCode::Auto));
        QVERIFY(samePixels(e.doc.displayed(), shown));
        QCOMPARE(s.panel->lastNotice(), res::qtext(res::IDS_ROTATE_ALREADY_UPRIGHT));
        QVERIFY(!view.isModified());
    }

    void batchOkWaitsForTheLastOfTenFiles() {
        Env e(1);
        std::vector<std::string> paths;
        for (int i = 0; i < 10; ++i)
            paths.push_back(e.copy("camera/Canon_40D.jpg", "p" + std::to_string(i) + ".jpg"));
        e.doc.list().append(paths[0]);
        CShowView view(e.doc);
        QCOMPARE(view.loadPicture(0), CShowView::kLoaded);
        BatchHandOver handOver;
        QVERIFY(handOver.begin(EditTool::Rotate, paths));
        Shown<RotatePanel> s({&view, &e.doc, &e.store, &handOver});
        auto* ok = s.panel->findChild<QPushButton*>("ok");
        auto* next = s.panel->findChild<QPushButton*>("next");
        auto* previous = s.panel->findChild<QPushButton*>("previous");
        QVERIFY(!ok->isEnabled());
        QVERIFY(!previous->isEnabled());
        QSignalSpy captions(s.panel, &EditToolPanel::captionChanged);
        for (int i = 1; i < 10; ++i) {
            QVERIFY(!ok->isEnabled());
            click(next);
            QCOMPARE(s.panel->currentIndex(), i);
        }
        QVERIFY(ok->isEnabled());
        QVERIFY(!next->isEnabled());
        QVERIFY(previous->isEnabled());
        QCOMPARE(captions.count(), 9);
        QCOMPARE(s.panel->batchCaption(),
                 QString::fromUtf8(res::format(res::IDS_ROTATE_BATCH_CAPTION, 10, 10)) +
                     QString::fromStdString(paths[9]));
        click(previous);
        QVERIFY(!ok->isEnabled());
        handOver.cancel();
    }

    void batchCodesPerFileAndApplyToAll() {
        Env e(1);
        std::vector<std::string> paths;
        for (int i = 0; i < 3; ++i)
            paths.push_back(e.copy("camera/Canon_40D.jpg", "p" + std::to_string(i) + ".jpg"));
        e.doc.list().append(paths[0]);
        CShowView view(e.doc);
        QCOMPARE(view.loadPicture(0), CShowView::kLoaded);
        const imaging::Bitmap first = e.doc.displayed();
        imaging::Bitmap source;
        QCOMPARE(imaging::PictureFile::load(paths[0], source), 1);

        // Per file: left on the first, mirrored on the second, shown as previews.
        BatchHandOver handOver;
        QVERIFY(handOver.begin(EditTool::Rotate, paths));
        {
            Shown<RotatePanel> s({&view, &e.doc, &e.store, &handOver});
            click(s.panel->button(RotateCode::Left));
            imaging::Bitmap left = first;
            QCOMPARE(RotateOps::applyCode(left, RotateCode::Left), 1);
            QVERIFY(samePixels(e.doc.displayed(), left));
            // Pressed twice, the code is still one quarter turn.
            click(s.panel->button(RotateCode::Left));
            QVERIFY(samePixels(e.doc.displayed(), left));
            click(s.panel->findChild<QPushButton*>("next"));
            QCOMPARE(s.panel->currentCode(), RotateCode::None);
            click(s.panel->button(RotateCode::MirrorLeftRight));
            click(s.panel->findChild<QPushButton*>("previous"));
            QCOMPARE(s.panel->currentCode(), RotateCode::Left);
            QVERIFY(samePixels(e.doc.displayed(), left));
            // Apply to all: the current code everywhere, OK at once.
            auto* all = s.panel->findChild<QCheckBox*>("applyToAll");
            click(all);
            QVERIFY(s.panel->findChild<QPushButton*>("ok")->isEnabled());
            QVERIFY(!s.panel->findChild<QPushButton*>("next")->isEnabled());
            click(s.panel->findChild<QRadioButton*>("toFolder"));
            QCOMPARE(s.panel->findChild<QLineEdit*>("folder")->text(),
                     QString::fromStdString(e.dir.file("rotated")));
            QSignalSpy handed(s.panel, &EditToolPanel::handedOver);
            Script done({{[] {
                              QWidget* d = activeModal();
                              return d && d->objectName() == "batchProgress" &&
                                     d->findChild<QPlainTextEdit*>()->toPlainText().contains(
                                         QString::fromUtf8("완료"));
                          },
                          [] { QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return); }}});
            click(s.panel->findChild<QPushButton*>("ok"));
            QVERIFY(done.done());
            QCOMPARE(handed.count(), 1);
        }
        QCOMPARE(e.store.getInt("general", "Rotate Radio Button", -1), 1);
        for (const std::string& p : paths) {
            const std::string out = e.dir.file("rotated/" + fs::path(p).filename().string());
            imaging::Bitmap written;
            QCOMPARE(imaging::PictureFile::load(out, written), 1);
            QCOMPARE(written.width(), source.height());
            QCOMPARE(written.height(), source.width());
        }
    }

    void resizeRefusesAZeroSideAndKeepsThePanel() {
        Env e(1);
        e.doc.list().append(e.copy("camera/Issue 508.jpg", "tiny.jpg")); // 1 x 1
        CShowView view(e.doc);
        QCOMPARE(view.loadPicture(0), CShowView::kLoaded);
        Shown<ResizePanel> s({&view, &e.doc, &e.store, nullptr});
        QSignalSpy finished(s.panel, &EditToolPanel::finished);
        auto* percent = s.panel->findChild<QLineEdit*>("percent");
        percent->setFocus();
        percent->selectAll();
        QTest::keyClicks(percent, "5");
        Script refused({{[] { return activeModal<QMessageBox>() != nullptr; },
                         [] {
                             auto* box = activeModal<QMessageBox>();
                             QCOMPARE(box->text(), res::qtext(res::IDS_MSG_RESIZE_FAILED));
                             box->accept();
                         }}});
        click(s.panel->findChild<QPushButton*>("ok"));
        QVERIFY(refused.done());
        QCOMPARE(finished.count(), 0);
        QCOMPARE(e.doc.displayed().width(), 1);
        QVERIFY(!view.isModified());
        QCOMPARE(e.store.getInt("General", "Percent", 0), 5);
    }

    void resizeByFittedWidth() {
        Env e(1);
        e.doc.list().append(e.copy("camera/Canon_40D.jpg", "a.jpg"));
        CShowView view(e.doc);
        QCOMPARE(view.loadPicture(0), CShowView::kLoaded);
        const int w = e.doc.displayed().width(), h = e.doc.displayed().height();
        Shown<ResizePanel> s({&view, &e.doc, &e.store, nullptr});
        QSignalSpy finished(s.panel, &EditToolPanel::finished);
        click(s.panel->findChild<QRadioButton*>("bySize"));
        auto* height = s.panel->findChild<QLineEdit*>("height");
        auto* width = s.panel->findChild<QLineEdit*>("width");
        QVERIFY(!height->isEnabled()); // keep ratio, fit width: only the width
        QVERIFY(width->isEnabled());
        QVERIFY(!s.panel->findChild<QLineEdit*>("percent")->isEnabled());
        width->setFocus();
        width->selectAll();
        QTest::keyClicks(width, "1x00"); // digits only
        QCOMPARE(width->text(), QStringLiteral("100"));
        QTest::keyClick(width, Qt::Key_Return);
        s.panel->enterPressed(); // the edit panel routes Enter no field kept
        QCOMPARE(finished.count(), 1);
        QCOMPARE(e.doc.displayed().width(), 100);
        QCOMPARE(e.doc.displayed().height(), int(h * (100.0 / w)));
        QVERIFY(view.isModified());
        QCOMPARE(e.store.getInt("General", "Radio Selected", -1), 1);
        QCOMPARE(e.store.getInt("General", "Resize_CX", -1), 100);
    }
};

QTEST_MAIN(TestRotateResizePanels)
#include "tst_rotateresizepanels.moc"
