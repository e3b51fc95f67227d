#include "desktopwallpaperbackend.h"

#include "desktop/gnomewallpaperbackend.h"
#include "desktop/plasmawallpaperbackend.h"
#include "desktop/portalwallpaperbackend.h"
#include "desktop/xfcewallpaperbackend.h"

namespace kamelo::desktop {

DesktopWallpaperBackend::DesktopWallpaperBackend(std::vector<std::string> monitors) {
    // The desktop's own settings first: they take the placement and tell
    // the current wallpaper; the portal last.
    candidates_.push_back(std::make_unique<GnomeWallpaperBackend>());
    candidates_.push_back(std::make_unique<PlasmaWallpaperBackend>());
    candidates_.push_back(std::make_unique<XfceWallpaperBackend>(std::move(monitors)));
    candidates_.push_back(
        std::make_unique<GSettingsWallpaperBackend>(GSettingsWallpaperBackend::kCinnamon));
    candidates_.push_back(
        std::make_unique<GSettingsWallpaperBackend>(GSettingsWallpaperBackend::kMate));
    candidates_.push_back(std::make_unique<PortalWallpaperBackend>());
}

DesktopWallpaperBackend::~DesktopWallpaperBackend() = default;

bool DesktopWallpaperBackend::available() {
    chosen_ = nullptr;
    for (const auto& candidate : candidates_) {
        if (candidate->available()) {
            chosen_ = candidate.get();
            return true;
        }
    }
    return false;
}

bool DesktopWallpaperBackend::read(WallpaperState& out, std::string& error) {
    if (!chosen_ && !available()) {
        error = "no desktop";
        return false;
    }
    return chosen_->read(out, error);
}

bool DesktopWallpaperBackend::write(const WallpaperState& state, std::string& error) {
    if (!chosen_ && !available()) {
        error = "no desktop";
        return false;
    }
    return chosen_->write(state, error);
}

bool DesktopWallpaperBackend::readsCurrent() const {
    return !chosen_ || chosen_->readsCurrent();
}

bool DesktopWallpaperBackend::placesPicture() const {
    return !chosen_ || chosen_->placesPicture();
}

} // namespace kamelo::desktop
