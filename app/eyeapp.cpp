#include "eyeapp.h"

#include "app/core/commandline.h"
#include "app/core/settingskeys.h"
#include "app/core/settingsstore.h"
#include "app/core/thumbcachereset.h"
#include "app/eyeappseams.h"
#include "resources/qtstrings.h"

#include <QMainWindow>

#include <filesystem>
#include <fstream>

namespace kamelo {

namespace {
CEyeApp* g_eyeApp = nullptr;
}

CEyeApp* eyeApp() {
    return g_eyeApp;
}

CEyeApp::CEyeApp(StartupOptions options, std::unique_ptr<EyeAppSeams> seams)
    : options_(std::move(options)), seams_(std::move(seams)) {
    g_eyeApp = this;
}

CEyeApp::~CEyeApp() {
    if (!exited_)
        exitInstance(0);
    if (g_eyeApp == this)
        g_eyeApp = nullptr;
}

void CEyeApp::openSettings() {
    std::string path =
        options_.settingsPath.empty() ? SettingsStore::defaultPath() : options_.settingsPath;
    store_ = std::make_unique<SettingsStore>(path);
}

void CEyeApp::reportStoreProblem() {
    QString shownPath;
    int id = 0;
    switch (store_->openStatus()) {
    case StoreOpenStatus::Ok:
        return;
    case StoreOpenStatus::RecoveredFromDamage:
        id = res::IDS_MSG_SETTINGS_DAMAGED;
        shownPath = QString::fromStdString(store_->damagedCopyPath());
        break;
    case StoreOpenStatus::ReadOnly:
        id = res::IDS_MSG_SETTINGS_READ_ONLY;
        shownPath = QString::fromStdString(store_->path());
        break;
    case StoreOpenStatus::InMemoryOnly:
        id = res::IDS_MSG_SETTINGS_UNAVAILABLE;
        shownPath = QString::fromStdString(store_->path());
        break;
    }
    seams_->showMessage(res::qtext(id).replace(QLatin1String("%s"), shownPath));
}

bool CEyeApp::initInstance() {
    // The settings store comes first: everything after it reads settings.
    openSettings();
    reportStoreProblem();

    settings_.load(*store_);
    setUiSettings(&settings_);
    setSettingsStore(store_.get());

    folders_ = ProgramFolders::prepare(
        options_.programFolder.empty() ? ProgramFolders::executableFolder()
                                       : options_.programFolder,
        options_.userDataFolder.empty() ? ProgramFolders::defaultUserDataFolder()
                                        : options_.userDataFolder);

    cacheInvalidated_ = ThumbCacheReset::clearIfStale(*store_, folders_.cache);

    commandLinePicture_ = CommandLine::picturePath(options_.arguments);
    openedWithFile_ = commandLinePicture_.empty() ? 0 : 1;

    if (openedWithFile_) {
        // Opened for reading only, to refuse a name that cannot be opened
        // before any window appears.
        std::error_code ec;
        std::ifstream probe(commandLinePicture_, std::ios::binary);
        if (!probe || std::filesystem::is_directory(commandLinePicture_, ec)) {
            seams_->showMessage(
                res::qtext(res::IDS_MSG_OPEN_DOCUMENT_FAILED)
                    .replace(QLatin1String("%s"), QString::fromStdString(commandLinePicture_)));
            return false;
        }
    }
    browserFrame_ = seams_->createBrowserFrame(*this);
    if (!browserFrame_)
        return false;

    if (openedWithFile_) {
        seams_->openViewer(*this, 1, 1);
    } else {
        browserFrame_->show();
        browserFrame_->repaint();
    }

    if (seams_->runStartupUpdateCheck(*this, true, true) == 0 &&
        store_->getInt(keys::kGeneralLower, keys::kCheckFileAssociation,
                       keys::kCheckFileAssociationDefault) == 0)
        seams_->runFileAssociationCheck(*this);
    return true;
}

int CEyeApp::exitInstance(int exitCode) {
    if (exited_)
        return exitCode;
    exited_ = true;
    if (store_)
        settings_.save(*store_);
    if (uiSettings() == &settings_)
        setUiSettings(nullptr);
    if (settingsStore() == store_.get())
        setSettingsStore(nullptr);
    return exitCode;
}

} // namespace kamelo
