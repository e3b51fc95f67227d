#include "displaycolourlink.h"

#include "base/uisettings.h"
#include "imaging/colour/displaycolour.h"

#include <QApplication>
#include <QWidget>

namespace kamelo {

using imaging::colour::DisplayColour;

DisplayColourLink::DisplayColourLink(QObject* parent) : QObject(parent) {
    connect(&profile_, &DisplayProfile::changed, this, [this] {
        pushProfiles();
        repaintIfChanged();
    });
    pushProfiles();
    seenGeneration_ = DisplayColour::generation();
}

void DisplayColourLink::applySettings(const CUiSettings& settings) {
    DisplayColour::setEnabled(settings.colourManagement != 0);
    DisplayColour::setIntent(settings.renderingIntent == 1
                                 ? imaging::colour::Intent::RelativeColorimetric
                                 : imaging::colour::Intent::Perceptual);
}

void DisplayColourLink::settingsChanged(const CUiSettings& settings) {
    applySettings(settings);
    repaintIfChanged();
}

void DisplayColourLink::pushProfiles() {
    const int screens = profile_.screenCount();
    for (int i = 0; i < screens; ++i)
        DisplayColour::setScreenProfile(i, profile_.profile(i));
    // A screen that went keeps no profile for the next one in its place.
    for (int i = screens; i < pushedScreens_; ++i)
        DisplayColour::setScreenProfile(i, {});
    pushedScreens_ = screens;
}

void DisplayColourLink::repaintIfChanged() {
    const uint64_t now = DisplayColour::generation();
    if (now == seenGeneration_)
        return;
    seenGeneration_ = now;
    // The views convert as they paint and drop copies made for an older
    // state, so a repaint is all they need: the viewer, the thumbnail lists,
    // the preview pane and the slide show alike.
    for (QWidget* w : QApplication::allWidgets())
        if (w->isVisible())
            w->update();
    emit repainted();
}

} // namespace kamelo
