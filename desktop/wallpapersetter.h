#pragma once

#include "desktop/core/wallpaperbackend.h"

#include <QSize>
#include <QString>

#include <memory>
#include <string>
#include <vector>

namespace kamelo {
class SettingsStore;
namespace imaging {
class Bitmap;
}
} // namespace kamelo

namespace kamelo::desktop {

// The wallpaper commands: the picture written as a 24-bit PICWALL.BMP sized
// for the screen and converted to sRGB from its colour profile, the desktop
// pointed at it, and the previous wallpaper put back. Each returns the message for the user, empty
// when all went well.
class WallpaperSetter {
public:
    // Null backend: the running desktop's. Empty dataHome:
    // $XDG_DATA_HOME, else ~/.local/share.
    explicit WallpaperSetter(SettingsStore& store, std::unique_ptr<WallpaperBackend> backend = {},
                             std::string dataHome = {});
    ~WallpaperSetter();

    // command: 1254-1256 or 1258-1260; any other shows the bad id message.
    QString setFromFile(const QString& path, int command, QSize screen);
    // The viewer hands over the picture it shows.
    QString setFromBitmap(const imaging::Bitmap& picture, int command, QSize screen);
    QString restore();
    // Whether the last message only tells how it was done (the desktop
    // could not take all of it) rather than what went wrong.
    bool lastIsNote() const { return lastIsNote_; }

    // The primary screen in device pixels.
    static QSize primaryScreenPixels();
    static std::string defaultDataHome();
    // The screens' connector names, where there is a GUI.
    static std::vector<std::string> monitorNames();

private:
    QString set(const imaging::Bitmap* picture, const QString& path, int command, QSize screen);

    SettingsStore& store_;
    std::unique_ptr<WallpaperBackend> backend_;
    std::string dataHome_;
    bool lastIsNote_ = false;
};

} // namespace kamelo::desktop
