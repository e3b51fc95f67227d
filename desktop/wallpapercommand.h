#pragma once

#include <QString>

class QWidget;

namespace kamelo {
class SettingsStore;
namespace imaging {
class Bitmap;
}
} // namespace kamelo

namespace kamelo::desktop {

// Runs one wallpaper command of a menu (1254-1261) on the primary screen and
// shows what went wrong in a message box over parent. The picture is the
// viewer's shown bitmap when given, else the file at path (an empty path is
// an item without a picture).
void runWallpaperCommand(QWidget* parent, SettingsStore& store, int command, const QString& path,
                         const imaging::Bitmap* shown = nullptr);

} // namespace kamelo::desktop
