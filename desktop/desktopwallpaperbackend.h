#pragma once

#include "desktop/core/wallpaperbackend.h"

#include <memory>
#include <string>
#include <vector>

namespace kamelo::desktop {

// The running desktop's own back end: GNOME, KDE Plasma, XFCE, Cinnamon or
// MATE as XDG_CURRENT_DESKTOP names it (and its service answers), else the
// desktop portal when one answers on the session bus. The choice is made on
// each available() call; read and write go to the one chosen.
class DesktopWallpaperBackend : public WallpaperBackend {
public:
    // monitors: the screens' connector names, for XFCE.
    explicit DesktopWallpaperBackend(std::vector<std::string> monitors = {});
    ~DesktopWallpaperBackend() override;

    bool available() override;
    bool read(WallpaperState& out, std::string& error) override;
    bool write(const WallpaperState& state, std::string& error) override;
    bool readsCurrent() const override;
    bool placesPicture() const override;

private:
    std::vector<std::unique_ptr<WallpaperBackend>> candidates_;
    WallpaperBackend* chosen_ = nullptr;
};

} // namespace kamelo::desktop
