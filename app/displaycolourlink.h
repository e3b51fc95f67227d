#pragma once

#include "platform/displayprofile.h"

#include <QObject>

#include <cstdint>

namespace kamelo {

class CUiSettings;

// Keeps the program's colour state (imaging::colour::DisplayColour) in step
// with the settings and with the screens' profiles, and has every window
// painted again when what is on screen would come out differently.
class DisplayColourLink : public QObject {
    Q_OBJECT
public:
    // Takes the screens' profiles at once.
    explicit DisplayColourLink(QObject* parent = nullptr);

    // The colour management switch and the rendering intent of settings.
    static void applySettings(const CUiSettings& settings);
    // After the settings may have changed: applies them, and repaints when
    // the colour state moved since this link last looked.
    void settingsChanged(const CUiSettings& settings);

    const DisplayProfile& displayProfile() const { return profile_; }

signals:
    // The colour state changed and the windows were asked to paint again.
    void repainted();

private:
    void pushProfiles();
    void repaintIfChanged();

    DisplayProfile profile_;
    uint64_t seenGeneration_ = 0;
    int pushedScreens_ = 0;
};

} // namespace kamelo
