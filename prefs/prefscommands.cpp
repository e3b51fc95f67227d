#include "prefscommands.h"

#include "base/settingsstore.h"
#include "base/uisettings.h"
#include "prefs/aboutsheet.h"
#include "prefs/preferencessheet.h"

namespace kamelo::prefs {

bool runPreferences(QWidget* parent, CUiSettings& settings, SettingsStore& store,
                    const std::string& programFolder, const std::function<void()>& applied) {
    CPreferencesSheet sheet(settings, store, QString::fromStdString(programFolder + "SAMPLE.JPG"),
                            parent);
    QObject::connect(&sheet, &CPreferencesSheet::applied, &sheet, [&] {
        settings.save(store);
        if (applied)
            applied();
    });
    if (sheet.exec() != QDialog::Accepted)
        return false;
    settings.save(store);
    return true;
}

void runAbout(QWidget* parent) {
    CAboutSheet sheet(parent);
    sheet.exec();
}

} // namespace kamelo::prefs
