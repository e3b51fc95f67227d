// The frame panel driven by clicks and keys: frames chosen from the list,
// text and tag drawn on a copy of the framed picture, the alpha and offset
// edits, damaged skins, the tag file dialog, and batch runs over camera
// pictures with the overwrite question and a broken file.
#define QTEST_QPA_MOUSE_HANDLING

#include "base/settingsstore.h"
#include "base/uisettings.h"
#include "edit/batchhandover.h"
#include "edit/editpanel.h"
#include "exif/jpegpropertyinfo.h"
#include "frames/core/frameskin.h"
#include "frames/fontfallback.h"
#include "frames/framebatch.h"
#include "frames/ui/framepanel.h"
#include "frames/ui/frametools.h"
#include "imaging/fileinfo.h"
#include "imaging/picturefile.h"
#include "resources/qtstrings.h"
#include "resources/stringtable.h"
#include "skinwriter.h"
#include "tests/support/modalscript.h"
#include "tests/support/scratchdir.h"
#include "tests/support/testdata.h"
#include "viewer/eyedoc.h"
#include "viewer/showview.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFontDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QToolButton>
#include <QVBoxLayout>
#include <QtTest>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <unistd.h>

using namespace kamelo;
using namespace kamelo::edit;
using namespace kamelo::frames;
using kamelo::test::activeModal;
using kamelo::test::Script;
namespace fs = std::filesystem;

namespace {

struct Env {
    kamelo::test::ScratchDir dir;
    SettingsStore store{dir.file("k.sqlite")};
    CUiSettings settings;
    CEyeDoc doc;
    std::string skins = dir.file("skin");
    Env() {
        settings.applyOrientation = 1;
        setUiSettings(&settings);
        setSettingsStore(&store);
        kamelo::test::writeSkin(skins, "a_wood", {"나무 액자"});
        kamelo::test::writeSkin(skins, "b_broken", {"망가진 액자", 0});
        kamelo::test::writeSkin(skins, "c_nobitmap", {"그림 없는 액자", 20, false});
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
    // A w x h picture with a gradient, so that every pixel tells where it is.
    std::string picture(const std::string& name, int w, int h) {
        QImage img(w, h, QImage::Format_RGB32);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                img.setPixel(x, y, qRgb(x * 255 / w, y * 255 / h, 90));
        const std::string path = dir.file(name);
        img.save(QString::fromStdString(path), "PNG");
        return path;
    }
};

bool samePixels(const imaging::Bitmap& a, const imaging::Bitmap& b) {
    if (a.width() != b.width() || a.height() != b.height())
        return false;
    for (int y = 0; y < a.height(); ++y)
        if (std::memcmp(a.row(y), b.row(y), size_t(a.width()) * 3) != 0)
            return false;
    return true;
}

QWidget* focused() {
    return QApplication::focusWidget();
}

template <class T> T* child(QWidget* w, const char* name) {
    return w->findChild<T*>(QLatin1String(name));
}

void click(QAbstractButton* b) {
    QVERIFY(b);
    QVERIFY(b->isEnabled());
    // A check box takes clicks on its box and label, not the empty rest.
    const QPoint at = qobject_cast<QCheckBox*>(b) || qobject_cast<QRadioButton*>(b)
                          ? QPoint(8, b->height() / 2)
                          : b->rect().center();
    QTest::mouseClick(b, Qt::LeftButton, {}, at);
}

// The window manager gives the window the keyboard back after a dialog.
void reactivate(QWidget* window) {
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));
}

// Replaces an edit's text the way a user does: click, select all, type.
void typeInto(QLineEdit* edit, const QString& text) {
    QVERIFY(edit);
    QTest::mouseClick(edit, Qt::LeftButton);
    QCOMPARE(focused(), static_cast<QWidget*>(edit));
    QTest::keyClick(focused(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(focused(), text);
}

// A message box with this text, answered with Enter.
Script::Step answerMessage(int textId, bool* seen) {
    return {[] { return activeModal<QMessageBox>() != nullptr; },
            [textId, seen] {
                auto* box = activeModal<QMessageBox>();
                *seen = box->text() == res::qtext(textId);
                QTest::keyClick(focused(), Qt::Key_Return);
            }};
}

// The panel in a window of its own, shown and focused as in the edit bar.
struct Shown {
    QWidget window;
    FramePanel* panel;
    Shown(const EditContext& c, std::vector<SkinEntry> skins)
        : panel(new FramePanel(c, std::move(skins), &window)) {
        auto* l = new QVBoxLayout(&window);
        l->addWidget(panel);
        window.resize(320, 900);
        window.show();
        window.activateWindow();
        (void)QTest::qWaitForWindowActive(&window);
    }
    template <class T> T* get(const char* name) { return child<T>(panel, name); }
};

std::string exivValue(const std::string& path, const std::string& key) {
    const std::string command = "exiv2 -q -K " + key + " -Pv '" + path + "' 2>/dev/null";
    std::string out;
    if (FILE* p = ::popen(command.c_str(), "r")) {
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, p))
            out += buffer;
        ::pclose(p);
    }
    while (!out.empty() && (out.back() == '\n' || out.back() == ' '))
        out.pop_back();
    return out;
}

bool haveExiv2() {
    return std::system("command -v exiv2 >/dev/null 2>&1") == 0;
}

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

} // namespace

class TestFramePanel : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        // A hang ends the run instead of blocking the suite.
        std::signal(SIGALRM, SIG_DFL);
        alarm(300);
        BatchHandOver::registerOperation(EditTool::Frame, frameBatchOperation());
    }

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

    void aBatchRunsThroughThePanel() {
        if (test::testDataDir().empty())
            QSKIP("sample pictures not found; set KAMELO_TESTDATA");
        Env e;
        std::vector<std::string> paths = {
            e.copy("camera/Canon_40D.jpg", "a.jpg"),
            e.copy("camera/Canon PowerShot S330.jpg", "b.jpg"),
            e.picture("c.png", 50, 40),
            e.copy("broken/empty.png", "d.jpg"),
        };
        const std::string out = e.dir.file("out/new");
        QVERIFY(!fs::exists(out));

        QString log;
        runBatch(e, paths, out, false, &log);
        // Each written file is framed; the broken one has a failure line.
        QVERIFY2(log.contains(QString::fromStdString(paths[3]) + QStringLiteral(" -> 실패")),
                 qPrintable(log));
        QVERIFY(!fs::exists(out + "/d.jpg"));
        imaging::FileInfo info;
        QCOMPARE(imaging::PictureFile::readInfo(out + "/a.jpg", info), 1);
        QCOMPARE(info.format, imaging::PictureFormat::Jpeg);
        QCOMPARE(info.width, 100 + 20);
        QCOMPARE(info.height, 68 + 20);
        QCOMPARE(imaging::PictureFile::readInfo(out + "/b.jpg", info), 1);
        QCOMPARE(info.width, 800 + 20);
        QCOMPARE(imaging::PictureFile::readInfo(out + "/c.png", info), 1);
        QCOMPARE(info.format, imaging::PictureFormat::Png);
        QCOMPARE(info.width, 50 + 20);
        // The camera items go along.
        for (const std::string name : {"a.jpg", "b.jpg"}) {
            const std::string src = e.dir.file(name);
            const std::string dst = out + "/" + name;
            if (haveExiv2()) {
                for (const char* key :
                     {"Exif.Image.Make", "Exif.Image.Model", "Exif.Photo.DateTimeOriginal"}) {
                    const std::string v = exivValue(src, key);
                    QVERIFY(!v.empty());
                    QCOMPARE(exivValue(dst, key), v);
                }
            } else {
                const JpegPropertyInfo a = JpegPropertyInfo::read(src);
                const JpegPropertyInfo b = JpegPropertyInfo::read(dst);
                for (uint16_t tag : {uint16_t(271), uint16_t(272), uint16_t(36867)}) {
                    QVERIFY(a.item(tag) && b.item(tag));
                    QCOMPARE(b.item(tag)->text, a.item(tag)->text);
                }
            }
        }
        QCOMPARE(e.store.getInt("Frame Decoration", "Radio Save", -1), 1);
        QCOMPARE(e.store.getInt("general", "Rotate Radio Button", -1), 1);
        QCOMPARE(e.store.getInt("Frame Decoration", "Frame Select", -1), 1);

        // Again into the same folder: asked before each existing file is
        // replaced; "모두 아니오" keeps them all.
        const std::string a = readAll(out + "/a.jpg");
        const std::string c = readAll(out + "/c.png");
        runBatch(e, paths, out, true, &log);
        QCOMPARE(readAll(out + "/a.jpg"), a);
        QCOMPARE(readAll(out + "/c.png"), c);
    }

private:
    // Opens the panel on paths as the browser hands them over, frames every
    // picture with the first skin and its text, and runs into folder.
    // Answers the overwrite question with "모두 아니오" when asked for.
    void runBatch(Env& e, const std::vector<std::string>& paths, const std::string& folder,
                  bool again, QString* log) {
        BatchHandOver h;
        QVERIFY(h.begin(EditTool::Frame, paths));
        CShowView view(e.doc);
        QCOMPARE(imaging::PictureFile::load(paths[0], e.doc.displayed()), 1);
        Shown s({&view, &e.doc, &e.store, &h}, listSkins(e.skins));
        const QString count = QString::fromUtf8(res::format(res::IDS_N_PICTURES_SELECTED, 4));
        QCOMPARE(s.get<QLabel>("help")->text(), count);
        QCOMPARE(s.panel->batchCaption(),
                 QString::fromUtf8("액자넣기(1/4) - ") + QString::fromStdString(paths[0]));
        // The first composition comes once the panel is up.
        QTRY_VERIFY(s.panel->framed().isAllocated());
        auto* okButton = s.get<QPushButton>("okButton");
        auto* next = s.get<QPushButton>("next");
        QVERIFY(!okButton->isEnabled());
        QVERIFY(!s.get<QPushButton>("previous")->isEnabled());
        QCOMPARE(s.get<QLineEdit>("folder")->text(),
                 QString::fromStdString(e.dir.path()) + QStringLiteral("/output"));
        if (!again) {
            auto* list = s.get<QListWidget>("frameList");
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                              list->visualItemRect(list->item(1)).center());
            click(s.get<QCheckBox>("drawText"));
            QSignalSpy captions(s.panel, &EditToolPanel::captionChanged);
            click(next);
            QCOMPARE(captions.count(), 1);
            QCOMPARE(captions.at(0).at(0).toString(),
                     QString::fromUtf8("액자넣기(2/4) - ") + QString::fromStdString(paths[1]));
            // Each file shows framed with the values carried over.
            QCOMPARE(e.doc.displayed().width(), 800 + 20);
            click(next);
            QCOMPARE(e.doc.displayed().width(), 50 + 20);
            bool cannotLoad = false;
            Script broken({answerMessage(res::IDS_MSG_CANNOT_LOAD_PICTURE, &cannotLoad)});
            click(next);
            QTRY_VERIFY(broken.done());
            QVERIFY(cannotLoad);
            reactivate(&s.window);
            QCOMPARE(s.panel->currentIndex(), 3);
            click(s.get<QRadioButton>("toFolder"));
        } else {
            // The stored choices come back: the frame and the folder mode.
            QCOMPARE(s.panel->current().frameIndex, 1);
            QVERIFY(s.get<QRadioButton>("toFolder")->isChecked());
            click(s.get<QCheckBox>("applyToAll"));
            QVERIFY(!next->isEnabled());
        }
        QVERIFY(okButton->isEnabled());
        typeInto(s.get<QLineEdit>("folder"), QString::fromStdString(folder));
        int asked = 0;
        std::vector<Script::Step> steps;
        if (again)
            steps.push_back({[] {
                                 QWidget* d = activeModal();
                                 return d && d->objectName() == "overwritePrompt";
                             },
                             [&asked] {
                                 ++asked;
                                 click(activeModal()->findChild<QAbstractButton*>("noToAll"));
                             }});
        steps.push_back({[] {
                             QWidget* d = activeModal();
                             return d && d->objectName() == "batchProgress" &&
                                    d->findChild<QPlainTextEdit*>()->toPlainText().contains(
                                        res::qtext(res::IDS_BATCH_DONE));
                         },
                         [log] {
                             *log = activeModal()->findChild<QPlainTextEdit*>()->toPlainText();
                             QTest::keyClick(focused(), Qt::Key_Return);
                         }});
        Script script(std::move(steps));
        QSignalSpy handed(s.panel, &EditToolPanel::handedOver);
        click(okButton);
        QVERIFY(script.done());
        QCOMPARE(handed.count(), 1);
        QVERIFY(!h.active());
        QCOMPARE(asked, again ? 1 : 0);
    }
};

QTEST_MAIN(TestFramePanel)
#include "tst_framepanel.moc"
