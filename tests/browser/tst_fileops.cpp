#include "base/settingsstore.h"
#include "base/uisettings.h"
#include "browser/core/droprule.h"
#include "browser/leftview.h"
#include "browser/listfileactions.h"
#include "browser/newfolderdialog.h"
#include "browser/shelltreemodel.h"
#include "browser/thumblistctrl.h"
#include "browser/thumblistmodel.h"
#include "chrome/fileui.h"
#include "platform/fileclipboard.h"
#include "tests/support/scratchdir.h"
#include "tests/support/watchdog.h"

#include <QClipboard>
#include <QDialogButtonBox>
#include <QDir>
#include <QGuiApplication>
#include <QLineEdit>
#include <QListView>
#include <QMimeData>
#include <QPushButton>
#include <QtTest>

#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

using namespace kamelo;
using kamelo::test::readFile;
using kamelo::test::ScratchDir;
using kamelo::test::writeFile;
namespace fs = std::filesystem;

using kamelo::test::Watchdog;

namespace {

// Answers every question in code and keeps what would have been shown.
struct RecordingUi : FileUi {
    bool confirmAnswer = true;
    FileOps::Clash clashAnswer = FileOps::Clash::Skip;
    QStringList confirmations, clashes, errors;
    bool confirm(QWidget*, const QString& text) override {
        confirmations << text;
        return confirmAnswer;
    }
    FileOps::Clash clash(QWidget*, const QString& target) override {
        clashes << target;
        return clashAnswer;
    }
    void error(QWidget*, const QString& text) override { errors << text; }
};

struct Env {
    ScratchDir dir;
    SettingsStore store{dir.file("k.sqlite")};
    CUiSettings settings;
    RecordingUi ui;
    Env() {
        setUiSettings(&settings);
        setSettingsStore(&store);
    }
    ~Env() {
        setUiSettings(nullptr);
        setSettingsStore(nullptr);
    }
    QString path(const std::string& rel) const { return QString::fromStdString(dir.file(rel)); }
};

int rowOf(const CThumbListCtrl& list, const QString& name) {
    for (int i = 0; i < list.itemCount(); ++i)
        if (QString::fromStdString(list.recordAt(i)->displayName) == name)
            return i;
    return -1;
}

// A paste that waits on a FIFO or walks without end fails the test instead
// of hanging it.

// A folder on another volume than the scratch folder, so that a move copies.
struct OtherVolumeDir {
    std::string path;
    OtherVolumeDir() {
        const std::string base = fs::exists("/dev/shm") ? "/dev/shm" : fs::temp_directory_path();
        path = base + "/kamelo-tst-fileops-" + std::to_string(::getpid());
        fs::create_directories(path);
    }
    ~OtherVolumeDir() {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
    QString q() const { return QString::fromStdString(path); }
};

bool idle(CThumbListCtrl& list) {
    return QTest::qWaitFor([&] { return !list.isLoading(); }, 10000);
}

} // namespace

class TestFileOps : public QObject {
    Q_OBJECT
    ScratchDir home_;

private slots:
    void initTestCase() {
        qputenv("HOME", QByteArray::fromStdString(home_.path()));
        qputenv("XDG_DATA_HOME", QByteArray::fromStdString(home_.file("data")));
        fs::create_directories(home_.file("Pictures/Trip/Day1"));
    }

    void renamingInTheListKeepsTheExtension() {
        Env e;
        writeFile(e.dir.file("f/photo.jpg"), "jpeg");
        writeFile(e.dir.file("f/other.jpg"), "jpeg");
        fs::create_directories(e.dir.file("f/album"));
        CThumbListCtrl list;
        list.actions()->setUi(&e.ui);
        QVERIFY(list.loadFolder(e.path("f")));
        QVERIFY(idle(list));
        ThumbListModel* m = list.model();
        const QModelIndex photo = m->index(rowOf(list, "photo.jpg"), 0);
        QCOMPARE(m->data(photo, Qt::EditRole).toString(), QStringLiteral("photo"));
        QVERIFY(m->setData(photo, QStringLiteral("trip"), Qt::EditRole));
        QVERIFY(fs::exists(e.dir.file("f/trip.jpg")));
        QVERIFY(!fs::exists(e.dir.file("f/photo.jpg")));
        QVERIFY(rowOf(list, "trip.jpg") > 0);
        QCOMPARE(list.pathAt(rowOf(list, "trip.jpg")), e.path("f/trip.jpg"));
        // The list is in order again: trip.jpg after other.jpg.
        QVERIFY(rowOf(list, "trip.jpg") > rowOf(list, "other.jpg"));

        // A clash keeps the old name and says why.
        const QModelIndex trip = m->index(rowOf(list, "trip.jpg"), 0);
        QVERIFY(!m->setData(trip, QStringLiteral("other"), Qt::EditRole));
        QVERIFY(fs::exists(e.dir.file("f/trip.jpg")));
        QCOMPARE(e.ui.errors.size(), 1);
        QVERIFY(e.ui.errors.first().contains(QStringLiteral("같은 이름")));
        QVERIFY(!m->setData(trip, QStringLiteral("a/b"), Qt::EditRole));

        // Folders take the label as it is.
        const QModelIndex album = m->index(rowOf(list, "album"), 0);
        QVERIFY(m->setData(album, QStringLiteral("album.2024"), Qt::EditRole));
        QVERIFY(fs::is_directory(e.dir.file("f/album.2024")));
        // The parent entry cannot be edited.
        QVERIFY(!(m->flags(m->index(0, 0)) & Qt::ItemIsEditable));
    }

    void deletingSendsTheSelectionToTheTrashOrForGood() {
        Env e;
        writeFile(e.dir.file("d/a.jpg"), "a");
        writeFile(e.dir.file("d/b.jpg"), "b");
        writeFile(e.dir.file("d/c.jpg"), "c");
        CThumbListCtrl list;
        list.actions()->setUi(&e.ui);
        QVERIFY(list.loadFolder(e.path("d")));
        QVERIFY(idle(list));
        list.selectAllFiles();
        list.iconView()->selectionModel()->select(list.model()->index(rowOf(list, "c.jpg"), 0),
                                                  QItemSelectionModel::Deselect |
                                                      QItemSelectionModel::Rows);
        // Declined: nothing happens.
        e.ui.confirmAnswer = false;
        QVERIFY(!list.actions()->deleteSelection(false));
        QVERIFY(fs::exists(e.dir.file("d/a.jpg")));
        e.ui.confirmAnswer = true;
        QVERIFY(list.actions()->deleteSelection(false));
        QCOMPARE(e.ui.confirmations.last(),
                 QStringLiteral("선택한 항목 2개를 휴지통으로 보내시겠습니까?"));
        QVERIFY(!fs::exists(e.dir.file("d/a.jpg")));
        QCOMPARE(rowOf(list, "a.jpg"), -1);
        QCOMPARE(rowOf(list, "b.jpg"), -1);
        QVERIFY(rowOf(list, "c.jpg") > 0);
        const std::string trash = home_.file("data/Trash");
        QCOMPARE(readFile(trash + "/files/a.jpg"), std::string("a"));
        const std::string info = readFile(trash + "/info/a.jpg.trashinfo");
        QVERIFY(info.find("Path=" + e.dir.file("d/a.jpg")) != std::string::npos);

        list.selectIndex(rowOf(list, "c.jpg"));
        QVERIFY(list.actions()->deleteSelection(true));
        QVERIFY(!fs::exists(e.dir.file("d/c.jpg")));
        QVERIFY(!fs::exists(trash + "/files/c.jpg"));
        QCOMPARE(list.itemCount(), 1); // only the parent entry is left

        // The parent entry alone is never deleted.
        list.selectIndex(0);
        QVERIFY(!list.actions()->deleteSelection(false));
    }

    void cutThenPasteMovesAndCopiesStayReadableByFileManagers() {
        Env e;
        writeFile(e.dir.file("src/a.jpg"), "a");
        writeFile(e.dir.file("src/b.jpg"), "b");
        fs::create_directories(e.dir.file("dst"));
        CThumbListCtrl list;
        list.actions()->setUi(&e.ui);
        QVERIFY(list.loadFolder(e.path("src")));
        QVERIFY(idle(list));
        list.selectAllFiles();
        list.actions()->copySelection();
        const QMimeData* data = QGuiApplication::clipboard()->mimeData();
        QVERIFY(data->hasUrls());
        QCOMPARE(data->urls().size(), 2);
        const QByteArray gnome = data->data(QStringLiteral("x-special/gnome-copied-files"));
        QVERIFY(gnome.startsWith("copy\nfile://"));
        QVERIFY(list.actions()->canPaste());

        list.actions()->cutSelection();
        QVERIFY(QGuiApplication::clipboard()
                    ->mimeData()
                    ->data(QStringLiteral("x-special/gnome-copied-files"))
                    .startsWith("cut\n"));
        QVERIFY(list.model()
                    ->data(list.model()->index(rowOf(list, "a.jpg"), 0), ThumbListModel::CutRole)
                    .toBool());
        QSignalSpy changed(list.actions(), &ListFileActions::folderChanged);
        QVERIFY(list.actions()->paste(e.path("dst")));
        QCOMPARE(readFile(e.dir.file("dst/a.jpg")), std::string("a"));
        QCOMPARE(readFile(e.dir.file("dst/b.jpg")), std::string("b"));
        QVERIFY(!fs::exists(e.dir.file("src/a.jpg")));
        QVERIFY(list.actions()->cutPaths().isEmpty());
        QCOMPARE(changed.last().at(0).toString(), e.path("dst"));

        // What a file manager puts there pastes too, and clashes are asked.
        writeFile(e.dir.file("fm/a.jpg"), "from the file manager");
        auto* fm = new QMimeData;
        fm->setData(QStringLiteral("x-special/gnome-copied-files"),
                    "copy\n" + QUrl::fromLocalFile(e.path("fm/a.jpg")).toEncoded());
        QGuiApplication::clipboard()->setMimeData(fm);
        e.ui.clashAnswer = FileOps::Clash::Skip;
        QVERIFY(list.actions()->paste(e.path("dst")));
        QCOMPARE(e.ui.clashes.size(), 1);
        QCOMPARE(readFile(e.dir.file("dst/a.jpg")), std::string("a"));
        e.ui.clashAnswer = FileOps::Clash::Overwrite;
        QVERIFY(list.actions()->paste(e.path("dst")));
        QCOMPARE(readFile(e.dir.file("dst/a.jpg")), std::string("from the file manager"));
        QVERIFY(fs::exists(e.dir.file("fm/a.jpg"))); // a copy leaves the source
    }

    void aPasteThatFailsPartWayLosesNothing() {
        Env e;
        writeFile(e.dir.file("src/a.jpg"), "a");
        fs::create_directories(e.dir.file("dst"));
        QGuiApplication::clipboard()->setMimeData(
            FileClipboard::make({e.path("src/gone.jpg"), e.path("src/a.jpg")}, true));
        CThumbListCtrl list;
        list.actions()->setUi(&e.ui);
        QVERIFY(!list.actions()->paste(e.path("dst")));
        QCOMPARE(e.ui.errors.size(), 1);
        QVERIFY(e.ui.errors.first().contains(QStringLiteral("gone.jpg")));
        QCOMPARE(readFile(e.dir.file("src/a.jpg")), std::string("a"));
    }

    void aFolderPasteThatFailsPartWayKeepsEverySource() {
        Watchdog watchdog(60);
        Env e;
        for (const char* n : {"a.jpg", "b.jpg", "c.jpg"})
            writeFile(e.dir.file(std::string("src/album/") + n), n);
        // At the target a folder stands where b.jpg must go: that file
        // cannot arrive, whatever the answer to the clash.
        writeFile(e.dir.file("dst/album/b.jpg/inside.jpg"), "in");
        QGuiApplication::clipboard()->setMimeData(FileClipboard::make({e.path("src/album")}, true));
        CThumbListCtrl list;
        list.actions()->setUi(&e.ui);
        e.ui.clashAnswer = FileOps::Clash::Overwrite;
        QVERIFY(!list.actions()->paste(e.path("dst")));
        QCOMPARE(e.ui.errors.size(), 1);
        QVERIFY(e.ui.errors.first().contains(QStringLiteral("b.jpg")));
        for (const char* n : {"a.jpg", "b.jpg", "c.jpg"})
            QCOMPARE(readFile(e.dir.file(std::string("src/album/") + n)), std::string(n));
        QCOMPARE(readFile(e.dir.file("dst/album/b.jpg/inside.jpg")), std::string("in"));
        // The cut is still on the clipboard: the paste can be tried again.
        QVERIFY(list.actions()->canPaste());
    }

    void aPasteIntoALinkToTheSameFolderTouchesNothing() {
        Watchdog watchdog(60);
        Env e;
        writeFile(e.dir.file("t/a/sub/p.jpg"), "x");
        writeFile(e.dir.file("t/a/q.jpg"), "q");
        fs::create_directory_symlink(e.dir.file("t/a"), e.dir.file("t/alias"));
        QGuiApplication::clipboard()->setMimeData(
            FileClipboard::make({e.path("t/a/sub"), e.path("t/a/q.jpg")}, true));
        CThumbListCtrl list;
        list.actions()->setUi(&e.ui);
        e.ui.clashAnswer = FileOps::Clash::Overwrite;
        QVERIFY(list.actions()->paste(e.path("t/alias")));
        QVERIFY(e.ui.errors.isEmpty());
        QVERIFY(e.ui.clashes.isEmpty());
        QCOMPARE(readFile(e.dir.file("t/a/sub/p.jpg")), std::string("x"));
        QCOMPARE(readFile(e.dir.file("t/a/q.jpg")), std::string("q"));
    }

    void aFolderWithAFifoMovesWithoutWaitingAndSaysWhatStayed() {
        Watchdog watchdog(60);
        Env e;
        writeFile(e.dir.file("src/album/a.jpg"), "a");
        QCOMPARE(::mkfifo(e.dir.file("src/album/pipe.jpg").c_str(), 0644), 0);
        OtherVolumeDir other;
        QGuiApplication::clipboard()->setMimeData(FileClipboard::make({e.path("src/album")}, true));
        CThumbListCtrl list;
        list.actions()->setUi(&e.ui);
        QVERIFY(list.actions()->paste(other.q()));
        QCOMPARE(e.ui.errors.size(), 1);
        QVERIFY(e.ui.errors.first().contains(QStringLiteral("'pipe.jpg'")));
        QVERIFY(e.ui.errors.first().contains(QStringLiteral("옮기지 않았습니다")));
        QCOMPARE(readFile(other.path + "/album/a.jpg"), std::string("a"));
        QVERIFY(fs::is_fifo(e.dir.file("src/album/pipe.jpg")));
        QVERIFY(!fs::exists(fs::symlink_status(other.path + "/album/pipe.jpg")));
    }

    void dropsFollowTheRulesOfTheTarget() {
        QCOMPARE(dropEffect("/p/a.jpg", "/p", false), DropEffect::None);
        QCOMPARE(dropEffect("/p/a.jpg", "/p/", false), DropEffect::None);
        QCOMPARE(dropEffect("/p/a.jpg", "/p", true), DropEffect::Copy);
        QCOMPARE(dropEffect("/p/album", "/p/album", false), DropEffect::None);
        QCOMPARE(dropEffect("/p/a.jpg", "/q", false), DropEffect::Move);
        QCOMPARE(dropEffect("", "/q", false), DropEffect::None);

        Env e;
        writeFile(e.dir.file("p/a.jpg"), "a");
        fs::create_directories(e.dir.file("p/sub"));
        CThumbListCtrl list;
        list.actions()->setUi(&e.ui);
        QVERIFY(list.loadFolder(e.path("p")));
        QVERIFY(idle(list));
        QVERIFY(list.actions()->drop({e.path("p/a.jpg")}, e.path("p/sub"), DropEffect::Copy));
        QVERIFY(fs::exists(e.dir.file("p/sub/a.jpg")));
        QVERIFY(fs::exists(e.dir.file("p/a.jpg")));
        QVERIFY(!list.actions()->drop({e.path("p/a.jpg")}, e.path("p"), DropEffect::None));
        e.ui.clashAnswer = FileOps::Clash::Overwrite;
        QVERIFY(list.actions()->drop({e.path("p/a.jpg")}, e.path("p/sub"), DropEffect::Move));
        QVERIFY(!fs::exists(e.dir.file("p/a.jpg")));
    }

    void newFoldersAreMadeOnceAndNamesAreChecked() {
        Env e;
        fs::create_directories(e.dir.file("n"));
        CThumbListCtrl list;
        list.actions()->setUi(&e.ui);
        QVERIFY(list.actions()->newFolder(e.path("n"), QStringLiteral("휴가")));
        QVERIFY(fs::is_directory(e.dir.file("n/휴가")));
        QVERIFY(!list.actions()->newFolder(e.path("n"), QStringLiteral("휴가")));
        QVERIFY(e.ui.errors.isEmpty()); // an existing name is not reported
        QVERIFY(!NewFolderDialog::isValidName(QStringLiteral("a/b")));
        QVERIFY(!NewFolderDialog::isValidName(QStringLiteral("  ")));
        QVERIFY(NewFolderDialog::isValidName(QStringLiteral("새 폴더")));
        NewFolderDialog dialog;
        dialog.edit()->setText(QStringLiteral("x/y"));
        QVERIFY(!dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->isEnabled());
        dialog.edit()->setText(QStringLiteral("xy"));
        QVERIFY(dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->isEnabled());
    }

    void theTreeShowsPlacesFoldersAndOnlySafeDeletes() {
        Env e;
        CLeftView tree;
        tree.setFileUi(&e.ui);
        ShellTreeModel* m = tree.shellModel();
        QCOMPARE(tree.windowTitle(), QStringLiteral("ShellTree Control"));
        const QModelIndex desktop = m->root();
        QCOMPARE(m->data(desktop, Qt::DisplayRole).toString(), QStringLiteral("바탕 화면"));
        m->fetchMore(desktop);
        QCOMPARE(m->data(m->index(0, 0, desktop), Qt::DisplayRole).toString(),
                 QStringLiteral("홈"));
        QCOMPARE(m->data(m->index(1, 0, desktop), Qt::DisplayRole).toString(),
                 QStringLiteral("내 컴퓨터"));

        QSignalSpy selected(&tree, &CLeftView::folderSelected);
        const QString day = QString::fromStdString(home_.file("Pictures/Trip/Day1"));
        QVERIFY(tree.selectPath(day));
        QCOMPARE(selected.last().at(0).toString(), day);
        QCOMPARE(tree.currentLabelChain(), QStringLiteral("바탕 화면\\홈\\Pictures\\Trip\\Day1\\"));
        QCOMPARE(m->depthOf(tree.currentIndex()), 4);
        QVERIFY(tree.canDeleteSelection());
        tree.goParent();
        QCOMPARE(tree.currentFolder(), QString::fromStdString(home_.file("Pictures/Trip")));
        tree.goParent();
        QCOMPARE(m->depthOf(tree.currentIndex()), 2); // Pictures: first level of a place
        QVERIFY(!tree.canDeleteSelection());
        QVERIFY(!tree.deleteItem(tree.currentIndex()));
        tree.goParent();
        QVERIFY(!tree.canDeleteSelection()); // the home folder
        tree.selectRoot();
        QVERIFY(!tree.canDeleteSelection());
        QVERIFY(tree.selectPath(QStringLiteral("/")));
        QVERIFY(!tree.canDeleteSelection());

        // Label chains lead back to the same folder (the "Last Folder" walk).
        QVERIFY(tree.selectLabelChain(QStringLiteral("바탕 화면\\홈\\Pictures\\Trip\\")));
        QCOMPARE(tree.currentFolder(), QString::fromStdString(home_.file("Pictures/Trip")));
        QVERIFY(!tree.selectLabelChain(QStringLiteral("바탕 화면\\홈\\없는 폴더\\")));

        // New folder, then its deletion to the trash.
        tree.setNameAsker([] { return QStringLiteral("Day2"); });
        QVERIFY(tree.newFolderIn(tree.currentIndex()));
        QVERIFY(fs::is_directory(home_.file("Pictures/Trip/Day2")));
        QVERIFY(!tree.newFolderIn(tree.currentIndex())); // exists: nothing, silently
        QVERIFY(e.ui.errors.isEmpty());
        const QModelIndex day2 =
            m->indexForPath(QString::fromStdString(home_.file("Pictures/Trip/Day2")));
        QVERIFY(day2.isValid());
        QVERIFY(tree.deleteItem(day2));
        QVERIFY(!fs::exists(home_.file("Pictures/Trip/Day2")));
        QVERIFY(fs::exists(home_.file("data/Trash/files/Day2")));
        QVERIFY(
            !m->indexForPath(QString::fromStdString(home_.file("Pictures/Trip/Day2"))).isValid());

        // Renaming in the tree renames on disk.
        QSignalSpy renamed(&tree, &CLeftView::folderRenamed);
        const QModelIndex day1 = m->indexForPath(day);
        QVERIFY(m->setData(day1, QStringLiteral("First day"), Qt::EditRole));
        QVERIFY(fs::is_directory(home_.file("Pictures/Trip/First day")));
        QCOMPARE(renamed.last().at(1).toString(),
                 QString::fromStdString(home_.file("Pictures/Trip/First day")));
        QVERIFY(!m->setData(m->root(), QStringLiteral("x"), Qt::EditRole)); // places keep names
        fs::rename(home_.file("Pictures/Trip/First day"), home_.file("Pictures/Trip/Day1"));

        // Hidden folders never show.
        fs::create_directories(home_.file("Pictures/.cache"));
        const QModelIndex pictures =
            m->indexForPath(QString::fromStdString(home_.file("Pictures")));
        m->refresh(pictures);
        for (int r = 0; r < m->rowCount(pictures); ++r)
            QVERIFY(!m->data(m->index(r, 0, pictures), Qt::DisplayRole).toString().startsWith('.'));
        QVERIFY(!m->indexForPath(QString::fromStdString(home_.file("Pictures/.cache"))).isValid());
    }

    void clipboardContentsRoundTrip() {
        QMimeData* d = FileClipboard::make({QStringLiteral("/a b/사진.jpg")}, true);
        const FileClipboard::Content c = FileClipboard::read(d);
        QCOMPARE(c.paths, QStringList{QStringLiteral("/a b/사진.jpg")});
        QVERIFY(c.cut);
        QCOMPARE(d->data(QStringLiteral("application/x-kde-cutselection")), QByteArray("1"));
        QVERIFY(d->data(QStringLiteral("text/uri-list")).contains("file:///a%20b/"));
        delete d;
        QMimeData web;
        web.setUrls({QUrl(QStringLiteral("https://example.com/x.jpg"))});
        QVERIFY(!FileClipboard::hasFiles(&web));
    }
};

QTEST_MAIN(TestFileOps)
#include "tst_fileops.moc"
