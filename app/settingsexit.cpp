#include "settingsexit.h"

#include "base/settingsstore.h"
#include "base/uisettings.h"
#include "resources/qtstrings.h"

#include <algorithm>
#include <string>

namespace kamelo {

namespace {

QString shownName(const SettingEntry& e) {
    const std::string root = std::string(SettingsStore::kRootKey) + "\\";
    const std::string key =
        e.key.compare(0, root.size(), root) == 0 ? e.key.substr(root.size()) : e.key;
    return QString::fromStdString(key + "\\" + e.name);
}

} // namespace

QStringList SettingsExit::save(SettingsStore& store, const CUiSettings& now,
                               const CUiSettings& loaded, int retryMs) {
    const std::vector<SettingEntry> before = loaded.entries();
    std::vector<SettingEntry> lost;
    const bool neverRead = store.lockedAtOpen();
    if (neverRead && !store.reopen(retryMs)) {
        // Still locked: whatever changed this run stays unsaved.
        for (const SettingEntry& e : now.entries())
            if (std::find(before.begin(), before.end(), e) == before.end())
                lost.push_back(e);
    } else {
        store.setBusyTimeout(retryMs);
        if (neverRead)
            now.saveChanges(store, loaded); // the file's other values stay as they are
        else
            now.save(store);
        store.flushUnsaved(retryMs);
        for (const SettingEntry& e : store.unsavedWrites())
            if (std::find(before.begin(), before.end(), e) == before.end())
                lost.push_back(e);
    }
    QStringList names;
    for (const SettingEntry& e : lost)
        names << shownName(e);
    return names;
}

QString SettingsExit::message(const QStringList& names) {
    constexpr qsizetype kShown = 15;
    QStringList lines = names.mid(0, kShown);
    if (names.size() > kShown)
        lines << QString::fromUtf8(
            res::format(res::IDS_MSG_SETTINGS_MORE, int(names.size() - kShown)));
    return res::qtext(res::IDS_MSG_SETTINGS_NOT_SAVED)
        .replace(QLatin1String("%s"), lines.join(QLatin1Char('\n')));
}

} // namespace kamelo
