#pragma once

// What the Save As tests share: a home folder of their own, a picture to
// save (made or from a camera), and the user's typing into the dialog.

#include "edit/saveasdialog.h"
#include "edit/saveasjpegpanel.h"
#include "imaging/bitmap.h"
#include "imaging/picturefile.h"
#include "imaging/picturesaver.h"
#include "tests/support/scratchdir.h"
#include "tests/support/testdata.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QByteArray>
#include <QCompleter>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QString>
#include <QtTest>

#include <filesystem>
#include <string>

namespace kamelo::test::saveas {

// Run in a home of its own: the dialog remembers places there.
inline void useOwnHome(const ScratchDir& home) {
    QStandardPaths::setTestModeEnabled(true);
    qputenv("HOME", QByteArray::fromStdString(home.path()));
    qputenv("XDG_DATA_HOME", QByteArray::fromStdString(home.file("data")));
}

// A picture with enough detail that the quality changes the size a lot.
inline imaging::Bitmap generatedPicture(int width, int height) {
    imaging::Bitmap b;
    b.create(width, height);
    uint32_t seed = 99;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            seed = seed * 1664525u + 1013904223u;
            b.setPixel(x, y, (seed >> 8) & 0xFFFFFF);
        }
    return b;
}

inline int kilobytesIn(const QLabel* label) {
    const QRegularExpressionMatch m =
        QRegularExpression(QStringLiteral("(\\d+) KB")).match(label->text());
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

struct Fixture {
    ScratchDir dir;
    QString source;
    imaging::Bitmap picture;
};

// A picture saved as a JPEG file to open from.
inline void makeGeneratedSource(Fixture& f) {
    f.picture = generatedPicture(360, 240);
    f.source = QString::fromStdString(f.dir.file("source.jpg"));
    QVERIFY(imaging::PictureSaver::saveJpeg(f.picture, f.source.toStdString(), 90) >= 1);
}

inline void makeCameraSource(Fixture& f, const std::string& name) {
    const std::string from = testDataFile("camera/" + name);
    f.source = QString::fromStdString(f.dir.file(name));
    std::filesystem::copy_file(from, f.source.toStdString());
    QVERIFY(imaging::PictureFile::load(f.source.toStdString(), f.picture) >= 1);
}

inline QLineEdit* nameEdit(edit::CSaveAsDialog& d) {
    return d.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
}

inline void showAndActivate(edit::CSaveAsDialog& d) {
    d.show();
    d.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&d));
}

// Clicks into an edit and replaces its text by typing.
inline void typeInto(QLineEdit* edit, const QString& text) {
    // A message box or menu that just closed may have left another window
    // active (there is no window manager to settle it).
    QWidget* window = edit->window();
    QVERIFY(QTest::qWaitFor(
        [window] {
            if (QApplication::activeWindow() == window)
                return true;
            window->activateWindow();
            return false;
        },
        5000));
    QTest::mouseClick(edit, Qt::LeftButton);
    QCOMPARE(QApplication::focusWidget(), edit);
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(edit, text);
    if (QCompleter* c = edit->completer(); c && c->popup() && c->popup()->isVisible())
        QTest::keyClick(c->popup(), Qt::Key_Escape);
}

// Types a file name and presses Return, as the user confirms the dialog.
inline void saveUnder(edit::CSaveAsDialog& d, const QString& name) {
    QLineEdit* edit = nameEdit(d);
    QVERIFY(edit);
    typeInto(edit, name);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
}

} // namespace kamelo::test::saveas
