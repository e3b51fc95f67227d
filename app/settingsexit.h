#pragma once

#include <QStringList>

namespace kamelo {

class CUiSettings;
class SettingsStore;

// Saving the settings when the program ends, while another program may hold
// the database for a while.
class SettingsExit {
public:
    // Writes now (all of it, or only what differs from loaded when the
    // database was locked at start and so never read), waiting up to retryMs
    // for a lock and trying once more as long again. Returns the settings
    // ("Section\Name") whose new values could not be stored; values equal to
    // what was loaded are not lost and not listed.
    static QStringList save(SettingsStore& store, const CUiSettings& now, const CUiSettings& loaded,
                            int retryMs);
    // The message that tells the user, once, what was not saved.
    static QString message(const QStringList& names);
};

} // namespace kamelo
