#include "wallpapersetter.h"

#include "desktop/core/bmp24.h"
#include "desktop/core/wallpaperrules.h"
#include "desktop/core/wallpaperservice.h"
#include "desktop/desktopwallpaperbackend.h"
#include "imaging/bitmap.h"
#include "imaging/colour/displaycolour.h"
#include "imaging/core/filebytes.h"
#include "imaging/picturefile.h"
#include "imaging/resize.h"
#include "imaging/result.h"
#include "resources/qtstrings.h"

#include <QGuiApplication>
#include <QScreen>

#include <cstdlib>
#include <cstring>
#include <new>

namespace kamelo::desktop {

WallpaperSetter::WallpaperSetter(SettingsStore& store, std::unique_ptr<WallpaperBackend> backend,
                                 std::string dataHome)
    : store_(store), backend_(backend ? std::move(backend)
                                      : std::make_unique<DesktopWallpaperBackend>(monitorNames())),
      dataHome_(dataHome.empty() ? defaultDataHome() : std::move(dataHome)) {}

WallpaperSetter::~WallpaperSetter() = default;

std::vector<std::string> WallpaperSetter::monitorNames() {
    std::vector<std::string> names;
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        for (const QScreen* screen : QGuiApplication::screens())
            if (!screen->name().isEmpty())
                names.push_back(screen->name().toStdString());
    return names;
}

std::string WallpaperSetter::defaultDataHome() {
    const char* xdg = std::getenv("XDG_DATA_HOME");
    if (xdg && xdg[0] == '/')
        return xdg;
    const char* home = std::getenv("HOME");
    return std::string(home ? home : "") + "/.local/share";
}

QSize WallpaperSetter::primaryScreenPixels() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return {};
    return screen->size() * screen->devicePixelRatio();
}

QString WallpaperSetter::setFromFile(const QString& path, int command, QSize screen) {
    return set(nullptr, path, command, screen);
}

QString WallpaperSetter::setFromBitmap(const imaging::Bitmap& picture, int command, QSize screen) {
    return set(&picture, {}, command, screen);
}

QString WallpaperSetter::set(const imaging::Bitmap* picture, const QString& path, int command,
                             QSize screen) {
    lastIsNote_ = false;
    const std::optional<Placement> placement = WallpaperRules::placementForCommand(command);
    if (!placement)
        return res::qtext(res::IDS_MSG_BAD_WALLPAPER_ID);
    auto writer = [&](const std::string& target, std::string& error) {
        imaging::Bitmap loaded;
        const imaging::Bitmap* source = picture;
        if (!source) {
            const int rc = imaging::PictureFile::load(path.toStdString(), loaded);
            if (!imaging::succeeded(rc)) {
                error = path.toStdString() + ": " + imaging::resultText(rc);
                return false;
            }
            source = &loaded;
        }
        if (!source->isAllocated()) {
            error = imaging::resultText(imaging::result::kNoBitmap);
            return false;
        }
        const FitSize size = WallpaperRules::targetSize(
            source->width(), source->height(), screen.width(), screen.height(), *placement);
        // The desktop shows the file as sRGB.
        const imaging::colour::TransformPtr toSrgb =
            imaging::colour::DisplayColour::toSrgb(source->colourProfile());
        imaging::Bitmap resized;
        if (size.width != source->width() || size.height != source->height()) {
            const int rc = imaging::Resize::scaled(*source, size.width, size.height,
                                                   imaging::Resize::kBicubic, resized);
            if (!imaging::succeeded(rc)) {
                error = imaging::resultText(rc);
                return false;
            }
            source = &resized;
        } else if (toSrgb) {
            try {
                resized = *source; // the viewer's picture itself stays as it is
            } catch (const std::bad_alloc&) {
                error = imaging::resultText(imaging::result::kNoMemory);
                return false;
            }
            source = &resized;
        }
        if (toSrgb)
            toSrgb->apply(resized); // at the screen's size
        const std::vector<uint8_t> bytes =
            encodeBmp24(source->width(), source->height(), source->stride(), source->bits());
        if (bytes.empty()) {
            error = imaging::resultText(imaging::result::kTooLarge);
            return false;
        }
        if (!imaging::succeeded(imaging::writeFileAtomically(target, bytes.data(), bytes.size()))) {
            error = target + ": " + std::strerror(imaging::lastWriteError());
            return false;
        }
        return true;
    };
    WallpaperService service(*backend_, store_, dataHome_);
    const WallpaperResult r = service.set(int(*placement), writer);
    switch (r.outcome) {
    case WallpaperOutcome::Done:
        if (backend_->placesPicture() && backend_->readsCurrent())
            return {};
        lastIsNote_ = true;
        return res::qtext(res::IDS_WALLPAPER_PORTAL_NOTE);
    case WallpaperOutcome::BadPlacement:
        return res::qtext(res::IDS_MSG_BAD_WALLPAPER_ID);
    case WallpaperOutcome::NotSupported:
        return res::qtext(res::IDS_WALLPAPER_NOT_SUPPORTED);
    default:
        break;
    }
    QString text = res::qtext(res::IDS_MSG_WALLPAPER_FAILED);
    if (!r.detail.empty())
        text += QLatin1Char('\n') + QString::fromStdString(r.detail);
    return text;
}

QString WallpaperSetter::restore() {
    lastIsNote_ = false;
    WallpaperService service(*backend_, store_, dataHome_);
    const WallpaperResult r = service.restore();
    switch (r.outcome) {
    case WallpaperOutcome::Done:
        if (backend_->placesPicture())
            return {};
        lastIsNote_ = true;
        return res::qtext(res::IDS_WALLPAPER_PORTAL_RESTORE_NOTE);
    case WallpaperOutcome::NotSupported:
        return res::qtext(res::IDS_WALLPAPER_NOT_SUPPORTED);
    case WallpaperOutcome::NoBackup:
        return res::qtext(res::IDS_WALLPAPER_NO_BACKUP);
    default:
        break;
    }
    QString text = res::qtext(res::IDS_WALLPAPER_RESTORE_FAILED);
    if (!r.detail.empty())
        text += QLatin1Char('\n') + QString::fromStdString(r.detail);
    return text;
}

} // namespace kamelo::desktop
