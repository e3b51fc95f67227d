#pragma once

#include "imaging/bitmap.h"

#include <QString>

#include <functional>
#include <string>
#include <vector>

class QObject;
class QWidget;

namespace kamelo {
class FileUi;
class SettingsStore;
} // namespace kamelo

namespace kamelo::edit {

// "포맷 변환" from the browser (the selected pictures) and from the viewer
// (the shown, possibly edited picture).
class ConversionCommands {
public:
    // The dialog, then a run over sources in their order; onStopped is
    // called on context's thread when the run has stopped.
    static void convertFiles(QWidget* parent, SettingsStore& store,
                             std::vector<std::string> sources, bool upright, QObject* context,
                             std::function<void(int)> onStopped);

    // Writes picture beside path in the chosen format; asks before
    // replacing another existing file. Returns the written path, or "" when
    // nothing was written (cancelled, declined or failed; failures are
    // reported).
    static QString convertPicture(QWidget* parent, SettingsStore& store,
                                  const imaging::Bitmap& picture, const std::string& path,
                                  bool turnedUpright, FileUi& ui);
};

} // namespace kamelo::edit
