#pragma once

#include "desktop/core/wallpaperbackend.h"

#include <QSize>
#include <QString>

#include <memory>
#include <string>

namespace kamelo {
class SettingsStore;
namespace imaging {
class Bitmap;
}
} // namespace kamelo

namespace kamelo::desktop {

// The wallpaper commands: the picture written as a 24-bit PICWALL.BMP sized
// for the screen, the desktop pointed at it, and the previous wallpaper put
// back. Each returns the message for the user, empty when all went well.
class WallpaperSetter {
public:
    // Null backend: the running desktop's (GNOME). Empty dataHome:
    // $XDG_DATA_HOME, else ~/.local/share.
    explicit WallpaperSetter(SettingsStore& store, std::unique_ptr<WallpaperBackend> backend = {},
                             std::string dataHome = {});
    ~WallpaperSetter();

    // command: 1254-1256 or 1258-1260; any other shows the bad id message.
    QString setFromFile(const QString& path, int command, QSize screen);
    // The viewer hands over the picture it shows.
    QString setFromBitmap(const imaging::Bitmap& picture, int command, QSize screen);
    QString restore();

    // The primary screen in device pixels.
    static QSize primaryScreenPixels();
    static std::string defaultDataHome();

private:
    QString set(const imaging::Bitmap* picture, const QString& path, int command, QSize screen);

    SettingsStore& store_;
    std::unique_ptr<WallpaperBackend> backend_;
    std::string dataHome_;
};

} // namespace kamelo::desktop
