#pragma once

// A whole program run on a scratch folder for the tests that drive the
// frames with real key and mouse input.

#include "app/eyeapp.h"
#include "app/frameseams.h"
#include "app/mainframe.h"
#include "app/showframe.h"
#include "base/settingsstore.h"
#include "browser/browseview.h"
#include "browser/thumblistctrl.h"
#include "browser/thumblistmodel.h"
#include "tests/support/scratchdir.h"
#include "viewer/eyedoc.h"
#include "viewer/showview.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QImage>
#include <QLabel>
#include <QTimer>
#include <QtTest>

#include <filesystem>
#include <functional>
#include <unistd.h>

namespace kamelo::test {

// The program's own frames, with messages recorded instead of shown.
struct RecordingSeams : FrameSeams {
    QStringList* messages;
    explicit RecordingSeams(QStringList* m) : messages(m) {}
    void showMessage(const QString& text) override { messages->append(text); }
};

// Closes every modal dialog that opens while it lives and counts them, so
// that a message box shown by mistake neither hangs the test nor goes unseen.
class ModalWatch : public QObject {
public:
    ModalWatch() {
        timer_.setInterval(20);
        connect(&timer_, &QTimer::timeout, this, [this] {
            if (QWidget* w = QApplication::activeModalWidget()) {
                ++seen;
                titles.append(w->windowTitle());
                if (auto* d = qobject_cast<QDialog*>(w))
                    d->reject();
                else
                    w->close();
            }
        });
        timer_.start();
    }
    int seen = 0;
    QStringList titles;

private:
    QTimer timer_;
};

struct ProgramRun {
    ScratchDir dir;
    QStringList messages;
    std::unique_ptr<CEyeApp> app;

    // photos/ holds a.png, b.png, c.png (40 x 30), notes.txt and the folder sub/.
    ProgramRun() {
        std::filesystem::create_directories(dir.file("photos/sub"));
        for (const char* name : {"a.png", "b.png", "c.png"}) {
            QImage img(40, 30, QImage::Format_RGB32);
            img.fill(Qt::darkCyan);
            img.save(QString::fromStdString(dir.file(std::string("photos/") + name)), "PNG");
        }
        writeFile(dir.file("photos/notes.txt"), "not a picture");
    }
    QString photo(const char* name = "") const {
        const QString p = QString::fromStdString(dir.file(std::string("photos/") + name));
        return p.endsWith(QLatin1Char('/')) ? p.chopped(1) : p;
    }
    std::string db() const { return dir.file("config/Kamelo.sqlite"); }
    void preset(const std::function<void(SettingsStore&)>& write) {
        std::filesystem::create_directories(dir.file("config"));
        SettingsStore s(db());
        write(s);
    }
    void start(std::vector<std::string> args = {}) {
        StartupOptions o;
        o.programFolder = dir.file("program");
        std::filesystem::create_directories(o.programFolder);
        o.settingsPath = db();
        o.userDataFolder = dir.file("userdata");
        o.arguments = std::move(args);
        app = std::make_unique<CEyeApp>(std::move(o), std::make_unique<RecordingSeams>(&messages));
        QVERIFY(app->initInstance());
    }
    void stop() {
        if (QMainWindow* f = app->browserFrame())
            f->close();
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        app->exitInstance(0);
        app.reset();
    }
    CMainFrame* frame() const { return app->mainFrame(); }
    CThumbListCtrl* list() const { return frame()->browseView()->list(); }
    // Waits for the viewer's first load.
    CShowFrame* viewer() const {
        CShowFrame* v = app->viewerFrame();
        if (v)
            (void)QTest::qWaitFor(
                [&] {
                    if (!app->viewerFrame())
                        return true;
                    const QString name =
                        QFileInfo(QString::fromStdString(app->doc().list().currentPath()))
                            .fileName();
                    return v->view()->hasPicture() && v->statusPane(2)->text() == name;
                },
                5000);
        return app->viewerFrame();
    }
    // The browser active with photos/ listed and its thumbnails done.
    bool browsePhotos() {
        CMainFrame* f = frame();
        f->activateWindow();
        if (!QTest::qWaitForWindowActive(f))
            return false;
        if (!f->browseView()->navigate(photo()))
            return false;
        return QTest::qWaitFor([&] { return !list()->isLoading(); }, 10000);
    }
    int row(const char* name) const {
        for (int i = 0; i < list()->itemCount(); ++i)
            if (list()->pathAt(i) == photo(name))
                return i;
        return -1;
    }
};

// The widget that has the keyboard focus now (keys go there, as from a keyboard).
inline QWidget* focused() {
    return QApplication::focusWidget();
}

// Points HOME and the data folder into the test's own folder, and ends the
// whole run after the given seconds so a drag or menu that never ends cannot
// hold the suite.
inline void useScratchHome(const ScratchDir& home, unsigned seconds) {
    qputenv("HOME", QByteArray::fromStdString(home.path()));
    qputenv("XDG_DATA_HOME", QByteArray::fromStdString(home.file("data")));
    ::alarm(seconds);
}

// Clicks an item of the list's current view, as a user selects it (with
// Ctrl to add it to the selection), and waits until it is selected.
inline void clickItem(CThumbListCtrl* list, int row, Qt::KeyboardModifiers mods = {}) {
    QAbstractItemView* v = list->currentView();
    const QRect r = v->visualRect(list->model()->index(row, 0));
    // Clicks in a row stay apart enough not to make a double click.
    static QElapsedTimer sinceLast;
    const qint64 apart = QApplication::doubleClickInterval() + 50;
    if (sinceLast.isValid() && sinceLast.elapsed() < apart)
        QTest::qWait(int(apart - sinceLast.elapsed()));
    sinceLast.start();
    QTest::mouseClick(v->viewport(), Qt::LeftButton, mods, r.center());
    if (mods & Qt::ControlModifier)
        QTRY_VERIFY(list->selectedIndexes().contains(row));
    else
        QTRY_COMPARE(list->firstSelectedIndex(), row);
}

} // namespace kamelo::test
