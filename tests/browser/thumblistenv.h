#pragma once

// What the thumbnail list tests share: a settings store and cache folder of
// their own, pictures written on the spot, and a look at the list's cells.

#include "base/settingsstore.h"
#include "base/uisettings.h"
#include "browser/core/cacheindex.h"
#include "browser/thumblistctrl.h"
#include "browser/thumblistmodel.h"
#include "tests/support/scratchdir.h"

#include <QColor>
#include <QImage>
#include <QSignalSpy>
#include <QStringList>
#include <QtTest>

#include <filesystem>
#include <string>

namespace kamelo::test::thumblist {

inline void writePicture(const std::string& path, int w, int h, QColor colour) {
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(colour);
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    QVERIFY(img.save(QString::fromStdString(path)));
}

// A picture with detail in every direction, so that any difference in
// decoding or fitting shows in the cell.
inline void writePattern(const std::string& path, int w, int h, int seed) {
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(
                x, y,
                qRgb((x * 7 + seed * 31) & 255, (y * 5 + x * y) & 255, ((x ^ y) + seed) & 255));
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    QVERIFY(img.save(QString::fromStdString(path)));
}

// A settings store, settings object and cache folder of one test.
struct Env {
    ScratchDir dir;
    SettingsStore store{dir.file("k.sqlite")};
    CUiSettings settings;
    std::string cache = dir.file("cache");
    CacheIndex index{store, cache};

    Env() {
        std::filesystem::create_directories(cache);
        setUiSettings(&settings);
        setSettingsStore(&store);
    }
    ~Env() {
        setUiSettings(nullptr);
        setSettingsStore(nullptr);
    }
    QString folder(const char* name) const { return QString::fromStdString(dir.file(name)); }
};

// Waits for the list's loader to finish and store the folder.
inline bool waitForCache(CThumbListCtrl& list) {
    QSignalSpy saved(&list, &CThumbListCtrl::cacheSaved);
    return QTest::qWaitFor([&] { return !list.isLoading(); }, 20000) &&
           (saved.count() > 0 || saved.wait(2000));
}

inline QStringList names(const CThumbListCtrl& list) {
    QStringList n;
    for (int i = 0; i < list.itemCount(); ++i)
        n << QString::fromStdString(list.recordAt(i)->displayName);
    return n;
}

inline QColor centreOf(const CThumbListCtrl& list, int row) {
    const QImage cell = list.model()
                            ->data(list.model()->index(row, 0), ThumbListModel::CellImageRole)
                            .value<QImage>();
    const CellRect r = list.recordAt(row)->pictureRect;
    return cell.pixelColor((r.left + r.right) / 2, (r.top + r.bottom) / 2);
}

} // namespace kamelo::test::thumblist
