#pragma once

#include "desktop/core/wallpaperbackend.h"

#include <string>
#include <vector>

namespace kamelo::desktop {

// XFCE: the xfce4-desktop channel of xfconf keeps a picture and a style for
// every screen, monitor and workspace, changed through the xfconf-query tool.
class XfceWallpaperBackend : public WallpaperBackend {
public:
    // monitors: the names xfdesktop gives the monitors (connector names),
    // used only when the channel has no backdrop yet.
    explicit XfceWallpaperBackend(std::vector<std::string> monitors = {});

    bool available() override;
    bool read(WallpaperState& out, std::string& error) override;
    bool write(const WallpaperState& state, std::string& error) override;

    // "/backdrop/screenN/monitorX/workspaceN/" of every last-image property
    // in a listing, in listing order.
    static std::vector<std::string> backdrops(const std::string& listing);
    // xfdesktop's image-style for picture-options words and back.
    static std::string styleFor(const std::string& pictureOptions);
    static std::string optionsFor(const std::string& style);

private:
    std::vector<std::string> monitors_;
};

} // namespace kamelo::desktop
