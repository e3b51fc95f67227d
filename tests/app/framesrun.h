#pragma once

// What the frame tests share: one program run on a scratch folder with a few
// pictures in "photos", its settings written before it starts and read after
// it ends, and placements relative to the work area.

#include "app/eyeapp.h"
#include "app/frameseams.h"
#include "app/mainframe.h"
#include "app/showframe.h"
#include "base/settingsstore.h"
#include "tests/support/scratchdir.h"
#include "viewer/eyedoc.h"
#include "viewer/showview.h"

#include <QByteArray>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QRect>
#include <QScreen>
#include <QStringList>
#include <QtTest>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kamelo::test::apprun {

// The tree opens the desktop and the home folder: keep them ours.
inline void keepHomeOurs(const ScratchDir& home) {
    qputenv("HOME", QByteArray::fromStdString(home.path()));
    qputenv("XDG_DATA_HOME", QByteArray::fromStdString(home.file("data")));
}

// The program's own frames, with messages recorded instead of shown.
struct TestSeams : FrameSeams {
    QStringList* messages;
    explicit TestSeams(QStringList* m) : messages(m) {}
    void showMessage(const QString& text) override { messages->append(text); }
};

inline QRect workArea() {
    return QGuiApplication::primaryScreen()->availableGeometry();
}

// One program run on a scratch folder with a few pictures in "photos".
struct Run {
    ScratchDir dir;
    QStringList messages;
    std::unique_ptr<CEyeApp> app;

    Run() {
        std::filesystem::create_directories(dir.file("photos/sub"));
        for (const char* name : {"b.png", "a.png", "c.PNG"}) {
            QImage img(40, 30, QImage::Format_RGB32);
            img.fill(Qt::darkCyan);
            img.save(QString::fromStdString(dir.file(std::string("photos/") + name)), "PNG");
        }
        writeFile(dir.file("photos/notes.txt"), "not a picture");
    }
    QString photo(const char* name) const {
        return QString::fromStdString(dir.file(std::string("photos/") + name));
    }
    std::string db() const { return dir.file("config/Kamelo.sqlite"); }
    // Values written before the program starts.
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
        app = std::make_unique<CEyeApp>(std::move(o), std::make_unique<TestSeams>(&messages));
        QVERIFY(app->initInstance());
    }
    // Closes whatever is open and saves the settings, as the program's end does.
    void stop() {
        if (QMainWindow* f = app->browserFrame())
            f->close();
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        app->exitInstance(0);
        app.reset();
    }
    CMainFrame* frame() const { return app->mainFrame(); }
    // Waits for the viewer's first load (started 10 ms after its initial update).
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
                3000);
        return app->viewerFrame();
    }
    int storedInt(const char* section, const char* name, int def) const {
        SettingsStore s(db());
        return s.getInt(section, name, def);
    }
};

inline QRect relative(const QRect& g) {
    return g.translated(-workArea().topLeft());
}

} // namespace kamelo::test::apprun
