// Batch runs of the frame panel over camera pictures: the files framed and
// their camera information kept, a broken file, and the overwrite question.
#define QTEST_QPA_MOUSE_HANDLING

#include "edit/batchhandover.h"
#include "exif/jpegpropertyinfo.h"
#include "frames/ui/framepanel.h"
#include "imaging/fileinfo.h"
#include "imaging/picturefile.h"
#include "resources/stringtable.h"
#include "tests/frames_ui/framepanelenv.h"
#include "tests/support/modalscript.h"
#include "tests/support/testdata.h"
#include "viewer/eyedoc.h"
#include "viewer/showview.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QtTest>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

using namespace kamelo;
using namespace kamelo::edit;
using namespace kamelo::frames;
using namespace kamelo::test::framepanel;
using kamelo::test::activeModal;
using kamelo::test::Script;
namespace fs = std::filesystem;

namespace {

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

class TestFrameBatch : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { prepareRun(); }

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

QTEST_MAIN(TestFrameBatch)
#include "tst_framebatch.moc"
