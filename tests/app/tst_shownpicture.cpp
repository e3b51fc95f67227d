// The shown picture is only ever its own file's: tools, batch hand-overs and
// writes on a viewer that showed another picture before, driven by keys and
// clicks; and what the browser shows after the program wrote a file.
#define QTEST_QPA_MOUSE_HANDLING

#include "app/commandids.h"
#include "app/commandtable.h"
#include "edit/editpanel.h"
#include "edit/resizerotatetools.h"
#include "edit/rotateops.h"
#include "imaging/picturefile.h"
#include "programrun.h"
#include "resources/qtstrings.h"
#include "tests/frames_ui/skinwriter.h"
#include "tests/support/modalscript.h"

#include <QAbstractButton>
#include <QFileDialog>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QToolButton>

using namespace kamelo;
using namespace kamelo::test;

namespace {

imaging::Bitmap load(const QString& path) {
    imaging::Bitmap b;
    imaging::PictureFile::load(path.toStdString(), b);
    return b;
}

void key(QWidget* fallback, int k, Qt::KeyboardModifiers mods = {}) {
    QTest::keyClick(focused() ? focused() : fallback, Qt::Key(k), mods);
}

void click(QWidget* in, const char* name) {
    auto* b = in->findChild<QAbstractButton*>(QLatin1String(name));
    QVERIFY2(b && b->isEnabled(), name);
    QTest::mouseClick(b, Qt::LeftButton);
}

// Answers the next message box with the button of that text (none: its
// OK), keeping what it said.
Script* answer(int buttonText, QString* text = nullptr) {
    return new Script({{[] { return activeModal<QMessageBox>(); },
                        [=] {
                            auto* box = activeModal<QMessageBox>();
                            if (text)
                                *text = box->text();
                            for (QAbstractButton* b : box->buttons())
                                if (buttonText ? b->text() == res::qtext(buttonText)
                                               : box->buttonRole(b) == QMessageBox::AcceptRole)
                                    return QTest::mouseClick(b, Qt::LeftButton);
                        }}});
}

struct Run : ProgramRun {
    // t1 and t2 of their own, other.png 54 x 70; a frame skin to choose.
    Run() {
        for (auto [name, w, h] :
             {std::tuple{"t1.png", 40, 30}, {"t2.png", 44, 30}, {"other.png", 54, 70}}) {
            QImage img(w, h, QImage::Format_RGB32);
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x)
                    img.setPixel(x, y, qRgb(x * 5, y * 7, w * 3));
            img.save(photo(name));
        }
        writeSkin(dir.file("program/skin"), "wood", {"나무"});
        start();
    }
    imaging::Bitmap& shown() { return app->doc().displayed(); }
    CShowFrame* enter(const char* name) {
        list()->selectIndex(row(name));
        list()->currentView()->setFocus();
        QTest::keyClick(focused(), Qt::Key_Return);
        return app->viewerFrame();
    }
    // t1 and t2 clicked in the list and a batch key pressed: the viewer.
    CShowFrame* batchOnBoth(int toolKey) {
        clickItem(list(), row("t1.png"));
        clickItem(list(), row("t2.png"), Qt::ControlModifier);
        QTest::keyClick(focused(), Qt::Key(toolKey), Qt::ControlModifier);
        return app->viewerFrame();
    }
    // The viewer on name, its picture in and the keyboard on it.
    CShowFrame* viewerOn(const char* name) {
        CShowFrame* v = browsePhotos() ? enter(name) : nullptr;
        return v && viewer() && QTest::qWaitForWindowActive(v) ? v : nullptr;
    }
    // Ctrl+J, "오른쪽으로 90도", OK.
    static bool turnRight(CShowFrame* v) {
        key(v, Qt::Key_J, Qt::ControlModifier);
        if (!v->editPanel()->toolOpen())
            return false;
        click(v->editPanel()->toolPanel(), "rotateRight");
        click(v->editPanel()->toolPanel(), "ok");
        return !v->editPanel()->toolOpen();
    }
    // other.png edited in the viewer, left with "아니오": its bitmap stays.
    bool leaveEditedPicture() {
        CShowFrame* v = viewerOn("other.png");
        if (!v || !turnRight(v))
            return false;
        std::unique_ptr<Script> no(answer(res::IDS_NO));
        key(v, Qt::Key_Return);
        return QTest::qWaitFor([&] { return !app->viewerFrame(); }, 5000) && no->done() &&
               browsePhotos();
    }
};

} // namespace

class TestShownPicture : public QObject {
    Q_OBJECT
    ScratchDir home_;

private slots:
    void initTestCase() {
        useScratchHome(home_, 400);
        edit::registerResizeRotateTools();
    }

    void everyToolTakesOnlyTheSelectedFilesPicture_data() {
        QTest::addColumn<bool>("batch");
        QTest::addColumn<int>("toolKey");   // with Ctrl in the browser and for rotate
        QTest::addColumn<int>("button");    // an edit panel button instead of a key
        QTest::addColumn<QString>("press"); // a button that works from the picture
        QTest::newRow("viewer rotate") << false << int(Qt::Key_J) << 0 << "rotateAuto";
        QTest::newRow("viewer resize") << false << int(Qt::Key_R) << 0 << "";
        QTest::newRow("viewer crop") << false << int(Qt::Key_K) << 0 << "";
        QTest::newRow("viewer colour") << false << int(Qt::Key_H) << 0 << "autoContrast";
        QTest::newRow("viewer sharpness") << false << 0 << edit::EditPanel::kSharpenButton << "";
        QTest::newRow("viewer frame") << false << int(Qt::Key_D) << 0 << "";
        QTest::newRow("batch rotate") << true << int(Qt::Key_J) << 0 << "rotateAuto";
        QTest::newRow("batch colour") << true << int(Qt::Key_H) << 0 << "autoContrast";
        QTest::newRow("batch frame") << true << int(Qt::Key_D) << 0 << "";
    }
    void everyToolTakesOnlyTheSelectedFilesPicture() {
        QFETCH(bool, batch);
        QFETCH(int, toolKey);
        QFETCH(int, button);
        QFETCH(QString, press);
        Run r;
        QVERIFY(r.leaveEditedPicture());
        const imaging::Bitmap t1 = load(r.photo("t1.png"));
        CShowFrame* v = nullptr;
        if (batch) {
            v = r.batchOnBoth(toolKey);
        } else {
            v = r.enter("t1.png");
        }
        QVERIFY(v);
        // Nothing of the last viewer's picture, and no tool until t1 is in.
        QVERIFY(!v->view()->hasPicture());
        QVERIFY(!v->editPanel()->toolOpen());
        QVERIFY(!v->editPanel()->canOpen(edit::ToolId::Rotate));
        QVERIFY(r.viewer() && QTest::qWaitForWindowActive(v));
        edit::EditPanel* panel = v->editPanel();
        if (!batch && button)
            QTest::mouseClick(panel->button(button), Qt::LeftButton);
        else if (!batch)
            key(v, toolKey, toolKey == Qt::Key_J ? Qt::ControlModifier : Qt::NoModifier);
        QTRY_VERIFY(panel->toolOpen());
        if (!press.isEmpty())
            click(panel->toolPanel(), press.toLatin1().constData());
        // t1 (40 wide), framed or not; the picture left (70 x 54) never.
        QTest::qWait(100);
        QTRY_VERIFY(r.shown().width() == 40 || r.shown().width() == 60);
        key(v, Qt::Key_Escape); // the tool's Cancel
        QTRY_VERIFY(!panel->toolOpen());
        QVERIFY(kamelo::imaging::samePixels(r.shown(), t1));
        QVERIFY(v->windowTitle().startsWith(r.photo("t1.png")));
        // Turned right and saved: t1 holds its own picture turned.
        QVERIFY(Run::turnRight(v));
        key(v, Qt::Key_S, Qt::ControlModifier);
        imaging::Bitmap turned = t1;
        QCOMPARE(edit::RotateOps::applyCode(turned, edit::RotateCode::Right), 1);
        QTRY_VERIFY(kamelo::imaging::samePixels(load(r.photo("t1.png")), turned));
        r.stop();
    }

    // A write of a picture that is not its file's (a stale picture, a file
    // changed since) writes nothing; a Save As makes the new file the
    // document's, which the next Save writes.
    void writesCheckTheShownPicturesFile_data() {
        QTest::addColumn<QString>("state");
        QTest::addColumn<int>("command");
        QTest::addColumn<int>("message");
        for (int c : {cmd::kSave, cmd::kSaveAs, cmd::kConvert, cmd::kRotate}) {
            QTest::addRow("other file %d", c)
                << "other" << c
                << int(c == cmd::kRotate ? res::IDS_MSG_TOOL_PICTURE_NOT_OF_FILE
                                         : res::IDS_MSG_PICTURE_NOT_OF_FILE);
            QTest::addRow("changed %d", c)
                << "changed" << c << int(res::IDS_MSG_PICTURE_FILE_CHANGED);
        }
        QTest::addRow("save as, then save") << "own" << int(cmd::kSaveAs) << 0;
    }
    void writesCheckTheShownPicturesFile() {
        QFETCH(QString, state);
        QFETCH(int, command);
        QFETCH(int, message);
        Run r;
        CShowFrame* v = r.viewerOn("t1.png");
        QVERIFY(v && Run::turnRight(v));
        const std::string t1 = r.photo("t1.png").toStdString();
        if (state == "other") {
            r.shown() = load(r.photo("t2.png"));
            r.app->doc().setSource(PictureSource::of(r.photo("t2.png").toStdString()));
        } else if (state == "changed") {
            QTest::qWait(20); // a newer time than the first write
            writeFile(t1, readFile(t1) + "x");
        }
        const std::string before = readFile(t1);
        const auto names = QDir(r.photo()).entryList(QDir::Files);
        QString said;
        std::unique_ptr<Script> box(answer(0, &said));
        Script saveAs({{[] { return activeModal<QFileDialog>(); },
                        [] {
                            QTest::keyClick(focused(), Qt::Key_A, Qt::ControlModifier);
                            QTest::keyClicks(focused(), QStringLiteral("new.png"));
                            QTest::keyClick(focused(), Qt::Key_Return);
                        }}});
        if (command == cmd::kSave)
            key(v, Qt::Key_S, Qt::ControlModifier);
        else if (command == cmd::kConvert)
            key(v, Qt::Key_F);
        else if (command == cmd::kRotate)
            key(v, Qt::Key_J, Qt::ControlModifier);
        else
            QTest::mouseClick(v->editPanel()->button(edit::EditPanel::kSaveButton), Qt::LeftButton);
        if (message) {
            QTRY_VERIFY(box->done());
            QCOMPARE(said, QString::fromUtf8(res::format(message, "t1.png")));
            QCOMPARE(readFile(t1), before);
            QCOMPARE(QDir(r.photo()).entryList(QDir::Files), names);
            QVERIFY(!v->editPanel()->toolOpen());
        } else {
            QTRY_VERIFY(saveAs.done());
            QTRY_COMPARE(QString::fromStdString(r.app->doc().list().currentPath()),
                         r.photo("new.png"));
            QVERIFY(!v->view()->isModified());
            v->activateWindow(); // as the window manager gives it back
            QVERIFY(QTest::qWaitForWindowActive(v));
            QVERIFY(Run::turnRight(v));
            key(v, Qt::Key_S, Qt::ControlModifier);
            QTRY_VERIFY(kamelo::imaging::samePixels(load(r.photo("new.png")), r.shown()));
            QCOMPARE(readFile(t1), before);
        }
        r.stop();
    }

    // The hand-over runs nothing when the picture shown is none of its files'.
    void aBatchOnAnotherFilesPictureRunsNothing() {
        Run r;
        QVERIFY(r.browsePhotos());
        r.batchOnBoth(Qt::Key_J);
        CShowFrame* v = r.viewer();
        QVERIFY(v);
        QTRY_VERIFY(v->editPanel()->toolOpen());
        r.shown() = load(r.photo("other.png"));
        r.app->doc().setSource(PictureSource::of(r.photo("other.png").toStdString()));
        const std::string t1 = readFile(r.photo("t1.png").toStdString());
        click(v->editPanel()->toolPanel(), "applyToAll");
        QString said;
        std::unique_ptr<Script> box(answer(0, &said));
        click(v->editPanel()->toolPanel(), "ok");
        QTRY_VERIFY(box->done());
        QCOMPARE(said,
                 QString::fromUtf8(res::format(res::IDS_MSG_BATCH_PICTURE_NOT_OF_FILE, "t1.png")));
        QTRY_VERIFY(r.frame()->isEnabled());
        QCOMPARE(readFile(r.photo("t1.png").toStdString()), t1);
        r.stop();
    }

    void saveRefreshesTheBrowsersCellAndCache() {
        Run r;
        auto cell = [&] {
            const QImage i = r.list()
                                 ->model()
                                 ->data(r.list()->model()->index(r.row("t1.png"), 0),
                                        ThumbListModel::CellImageRole)
                                 .value<QImage>();
            return i.pixel(i.width() / 2, i.height() / 2);
        };
        QVERIFY(r.browsePhotos());
        const QRgb before = cell();
        CShowFrame* v = r.viewerOn("t1.png");
        QVERIFY(v);
        key(v, Qt::Key_H);
        click(v->editPanel()->toolPanel(), "grey");
        click(v->editPanel()->toolPanel(), "okButton");
        key(v, Qt::Key_S, Qt::ControlModifier);
        key(v, Qt::Key_Return);
        QTRY_VERIFY(!r.app->viewerFrame());
        QTRY_VERIFY_WITH_TIMEOUT(
            cell() != before && qRed(cell()) == qBlue(cell()) && !r.list()->isLoading(), 20000);
        // Listed again from the cache, without a loader: the new thumbnail.
        QTRY_VERIFY_WITH_TIMEOUT(!r.list()->isSavingCache(), 10000);
        QVERIFY(r.list()->loadFolder(r.photo(), CThumbListCtrl::Refresh::Quick));
        QVERIFY(!r.list()->isLoading());
        QCOMPARE(qRed(cell()), qBlue(cell()));
        r.stop();
    }

    void aBatchRunKeepsTheSelection() {
        Run r;
        QVERIFY(r.browsePhotos());
        r.batchOnBoth(Qt::Key_J);
        CShowFrame* v = r.viewer();
        QVERIFY(v);
        QTRY_VERIFY(v->editPanel()->toolOpen());
        click(v->editPanel()->toolPanel(), "rotateRight");
        click(v->editPanel()->toolPanel(), "applyToAll");
        Script close({{[] {
                           QWidget* d = activeModal();
                           return d && d->objectName() == "batchProgress" &&
                                  d->findChild<QPlainTextEdit*>()->toPlainText().contains(
                                      QString::fromUtf8("완료"));
                       },
                       [] { QTest::keyClick(focused(), Qt::Key_Return); }}});
        click(v->editPanel()->toolPanel(), "ok");
        QTRY_VERIFY(close.done());
        QTRY_VERIFY(r.frame()->isEnabled());
        QCOMPARE(r.list()->selectedIndexes(), (QList<int>{r.row("t1.png"), r.row("t2.png")}));
        QCOMPARE(load(r.photo("t1.png")).width(), 30);
        r.stop();
    }
};

QTEST_MAIN(TestShownPicture)
#include "tst_shownpicture.moc"
