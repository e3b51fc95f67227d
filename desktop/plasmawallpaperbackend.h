#pragma once

#include "desktop/core/wallpaperbackend.h"

#include <string>
#include <vector>

namespace kamelo::desktop {

// KDE Plasma: the shell's scripting interface sets the picture plugin's
// Image and FillMode on every desktop (one per screen and activity).
class PlasmaWallpaperBackend : public WallpaperBackend {
public:
    static constexpr const char* kService = "org.kde.plasmashell";

    // One desktop as the shell reports it.
    struct Desktop {
        std::string id;
        std::string plugin;
        std::string image;
        std::string fillMode;
        bool operator==(const Desktop&) const = default;
    };

    bool available() override;
    bool read(WallpaperState& out, std::string& error) override;
    bool write(const WallpaperState& state, std::string& error) override;

    // The lines the reading script prints, back into desktops.
    static std::vector<Desktop> parseReport(const std::string& printed);
    // The script that writes the entries (an empty id: every desktop).
    static std::string writeScript(const std::vector<Desktop>& entries);
    // The shell's FillMode for picture-options words and back.
    static std::string fillModeFor(const std::string& pictureOptions);
    static std::string optionsFor(const std::string& fillMode);
};

} // namespace kamelo::desktop
