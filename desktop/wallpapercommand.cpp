#include "wallpapercommand.h"

#include "desktop/core/wallpaperrules.h"
#include "desktop/wallpapersetter.h"
#include "resources/qtstrings.h"

#include <QMessageBox>

namespace kamelo::desktop {

void runWallpaperCommand(QWidget* parent, SettingsStore& store, int command, const QString& path,
                         const imaging::Bitmap* shown) {
    WallpaperSetter setter(store);
    QString message;
    if (WallpaperRules::isRestoreCommand(command))
        message = setter.restore();
    else if (shown)
        message = setter.setFromBitmap(*shown, command, WallpaperSetter::primaryScreenPixels());
    else if (path.isEmpty() && WallpaperRules::placementForCommand(command))
        message = res::qtext(res::IDS_MSG_WALLPAPER_FAILED);
    else
        message = setter.setFromFile(path, command, WallpaperSetter::primaryScreenPixels());
    if (message.isEmpty())
        return;
    if (setter.lastIsNote())
        QMessageBox::information(parent, res::qtext(res::IDS_APP_TITLE), message);
    else
        QMessageBox::warning(parent, res::qtext(res::IDS_APP_TITLE), message);
}

} // namespace kamelo::desktop
