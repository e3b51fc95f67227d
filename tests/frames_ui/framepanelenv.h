#pragma once

// What the frame panel tests share: a scratch folder with three skins (one
// good, one damaged, one without its bitmap), the panel shown in a window of
// its own, and the clicks, typing and message answers of a user.

#include "base/settingsstore.h"
#include "base/uisettings.h"
#include "edit/batchhandover.h"
#include "frames/core/frameskin.h"
#include "frames/framebatch.h"
#include "frames/ui/framepanel.h"
#include "resources/qtstrings.h"
#include "tests/frames_ui/skinwriter.h"
#include "tests/support/modalscript.h"
#include "tests/support/scratchdir.h"
#include "tests/support/testdata.h"
#include "viewer/eyedoc.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QImage>
#include <QLineEdit>
#include <QMessageBox>
#include <QRadioButton>
#include <QVBoxLayout>
#include <QtTest>

#include <csignal>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace kamelo::test::framepanel {

// For every test case's initTestCase: a hang ends the run instead of
// blocking the suite, and the frame tool's batches go through the panel.
inline void prepareRun() {
    std::signal(SIGALRM, SIG_DFL);
    alarm(300);
    edit::BatchHandOver::registerOperation(edit::EditTool::Frame, frames::frameBatchOperation());
}

struct Env {
    ScratchDir dir;
    SettingsStore store{dir.file("k.sqlite")};
    CUiSettings settings;
    CEyeDoc doc;
    std::string skins = dir.file("skin");
    Env() {
        settings.applyOrientation = 1;
        setUiSettings(&settings);
        setSettingsStore(&store);
        writeSkin(skins, "a_wood", {"나무 액자"});
        writeSkin(skins, "b_broken", {"망가진 액자", 0});
        writeSkin(skins, "c_nobitmap", {"그림 없는 액자", 20, false});
    }
    ~Env() {
        setUiSettings(nullptr);
        setSettingsStore(nullptr);
    }
    std::string copy(const std::string& relative, const std::string& name) {
        namespace fs = std::filesystem;
        const std::string to = dir.file(name);
        fs::copy_file(testDataFile(relative), to);
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

inline QWidget* focused() {
    return QApplication::focusWidget();
}

template <class T> T* child(QWidget* w, const char* name) {
    return w->findChild<T*>(QLatin1String(name));
}

inline void click(QAbstractButton* b) {
    QVERIFY(b);
    QVERIFY(b->isEnabled());
    // A check box takes clicks on its box and label, not the empty rest.
    const QPoint at = qobject_cast<QCheckBox*>(b) || qobject_cast<QRadioButton*>(b)
                          ? QPoint(8, b->height() / 2)
                          : b->rect().center();
    QTest::mouseClick(b, Qt::LeftButton, {}, at);
}

// The window manager gives the window the keyboard back after a dialog.
inline void reactivate(QWidget* window) {
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));
}

// Replaces an edit's text the way a user does: click, select all, type.
inline void typeInto(QLineEdit* edit, const QString& text) {
    QVERIFY(edit);
    QTest::mouseClick(edit, Qt::LeftButton);
    QCOMPARE(focused(), static_cast<QWidget*>(edit));
    QTest::keyClick(focused(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(focused(), text);
}

// A message box with this text, answered with Enter.
inline Script::Step answerMessage(int textId, bool* seen) {
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
    frames::FramePanel* panel;
    Shown(const edit::EditContext& c, std::vector<frames::SkinEntry> skins)
        : panel(new frames::FramePanel(c, std::move(skins), &window)) {
        auto* l = new QVBoxLayout(&window);
        l->addWidget(panel);
        window.resize(320, 900);
        window.show();
        window.activateWindow();
        (void)QTest::qWaitForWindowActive(&window);
    }
    template <class T> T* get(const char* name) { return child<T>(panel, name); }
};

} // namespace kamelo::test::framepanel
